#include "shell/comm_log.h"

#include <string>

namespace shell {

void LogMessage(devlist::LineStore& view, const platform::LocalTime& now, std::string_view text) {
    // At most six lines go per message, as the log has always trimmed itself.
    for (int i = 0; i < 6 && view.size() > kCommLogKeep; ++i) view.removeFirst();
    std::string line = platform::dateText(now) + " " + platform::timeText(now) + " ";
    line.append(text);
    view.append(line);
}

}  // namespace shell
