// The verb diff: what the last send to one record changed, from the two dumps the dialogue left
// in the work folder, printed for the terminal.
#pragma once

#include "runner/cli_options.h"

namespace runner {

class DiffCommand {
public:
    explicit DiffCommand(const CliOptions& options) : m_options(options) {}
    int run();  // the exit code; needs no event loop

private:
    const CliOptions& m_options;
};

}  // namespace runner
