#include "session/closing_commands.h"

namespace session {

ClosingCommands ClosingCommandsOf(const SessionOptions& o, SessionMode mode,
                                  const devlist::DeviceRecord& rec, std::string_view reportedName,
                                  platform::Clock& clock) {
    ClosingCommands out;
    if (o.setTime) {
        platform::LocalTime now = clock.now();
        out.commands.push_back("DATE " + platform::shortDateText(now));
        out.commands.push_back("TIME " + platform::timeText(now));
    }
    if (IsSendMode(mode)) {
        if (o.registerIp) out.commands.push_back(".ipAdEntAddr=" + rec.ipAddress);
        if (o.disableDhcp) out.commands.push_back(".dhcpEnabled=0");
        if (o.registerName)
            out.commands.push_back(".sysName=\"" + std::string(reportedName) + "\"");
        out.write = o.write;
        out.cpuReset = o.cpuReset;
    }
    if (out.write) out.commands.push_back("WRITE");
    return out;
}

}  // namespace session
