// The verb diff: what the last send to one record changed, from the two dumps the dialogue left
// in the work folder, printed for the terminal.
#pragma once

#include "runner/command.h"

namespace runner {

class DiffCommand : public Command {
public:
    using Command::Command;

private:
    Prologue prologue() const override { return {false, ListUse::Quiet, false}; }
    int body() override;
};

}  // namespace runner
