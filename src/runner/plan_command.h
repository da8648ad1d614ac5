// The verb plan: what a send would change on each selected device, learnt from a check. The
// check dialogue writes nothing to the device; its dump is compared with the settings lines a
// send would stream. Nothing is recorded in the list and the work folder is left alone: the
// dialogue's files go into the report's folder (or a scratch folder removed at the end).
#pragma once

#include "runner/cli_options.h"

namespace runner {

class PlanCommand {
public:
    explicit PlanCommand(const CliOptions& options) : m_options(options) {}
    // Runs to the end inside the Qt loop (a QCoreApplication must exist); the exit code.
    int run();

private:
    const CliOptions& m_options;
};

}  // namespace runner
