// The verb search: the window's LAN search (four requests 200 ms apart to the own network's
// broadcast address, one more second for the replies), every reply printed, then what merging
// them into the list would change; --apply stores the merged list.
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
