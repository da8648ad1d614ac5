// The verbs check and send: load the list, pick the records, serve them with a fleet run on the
// Qt loop, print a line per device and the summary, write the report, and tell the exit code.
#pragma once

#include "runner/cli_options.h"

namespace runner {

class RunCommand {
public:
    explicit RunCommand(const CliOptions& options) : m_options(options) {}
    // Runs to the end inside the Qt loop (a QCoreApplication must exist); the exit code.
    int run();

private:
    const CliOptions& m_options;
};

}  // namespace runner
