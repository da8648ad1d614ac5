// The verb search: the window's LAN search (four requests 200 ms apart to the own network's
// broadcast address, one more second for the replies), each device found printed once (never
// the login a new record gets), then what merging them into the list would change; --apply
// stores the merged list and says what it changed.
#pragma once

#include "runner/cli_options.h"

namespace runner {

class SearchCommand {
public:
    explicit SearchCommand(const CliOptions& options) : m_options(options) {}
    int run();  // inside a QCoreApplication; the exit code

private:
    const CliOptions& m_options;
};

}  // namespace runner
