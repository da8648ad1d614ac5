// The closing commands: what the six check boxes ask of a device once its log is in. They are
// read at that moment, not at session start, so the operator may still change them meanwhile.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devlist/device_record.h"
#include "platform/clock.h"
#include "session/session_context.h"
#include "session/session_state.h"

namespace session {

struct ClosingCommands {
    // In the order sent: the clock, then for a send the address, DHCP, the name and "WRITE".
    std::vector<std::string> commands;
    bool write = false;     // a send writes the settings
    bool cpuReset = false;  // a send ends with "CPURESET" instead of "q"
};

// reportedName is the name as the device reported it, which ".sysName=" repeats; the clock is
// read only when the time is set.
ClosingCommands ClosingCommandsOf(const SessionOptions& options, SessionMode mode,
                                  const devlist::DeviceRecord& rec, std::string_view reportedName,
                                  platform::Clock& clock);

}  // namespace session
