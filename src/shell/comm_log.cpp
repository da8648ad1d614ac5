#include "shell/comm_log.h"

#include <string>

namespace shell {

namespace {

bool isLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

size_t displayedLines(const devlist::LineStore& view) {
    size_t n = 0;
    for (const std::string& line : view.lines()) n += DisplayedLines(line);
    return n;
}

}  // namespace

size_t DisplayedLines(std::string_view line, size_t columns) {
    if (columns == 0) return 1;
    size_t lines = 1;
    size_t used = 0;
    for (size_t i = 0; i < line.size();) {
        // A blank past the edge hangs there, as the widget lays text out: it starts no line.
        if (line[i] == ' ' && used >= columns) {
            ++i;
            continue;
        }
        const size_t width =
            isLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
        if (used + width > columns && used > 0) {
            ++lines;
            used = 0;
        }
        used += width;
        i += width;
    }
    return lines;
}

void LogMessage(devlist::LineStore& view, const platform::LocalTime& now, std::string_view text) {
    std::string line = platform::dateText(now) + " " + platform::timeText(now) + " ";
    line.append(text);
    const size_t before = view.size();
    view.append(line);  // a text with line breaks adds several lines
    const size_t added = view.size() - before;
    // Whole lines go, oldest first: a line cut at a wrap would show a tail without its time.
    size_t shown = displayedLines(view);
    while (shown > kCommLogShown && view.size() > added) {
        shown -= DisplayedLines(view[0]);
        view.removeFirst();
    }
}

}  // namespace shell
