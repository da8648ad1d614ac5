// The communication log the operator reads below the terminal: time-stamped lines, trimmed to
// what the log shows. It wraps long lines, so a line can take several displayed lines, and the
// eleven displayed lines it keeps are counted as shown. Nothing of it is written to a file.
#pragma once

#include <cstddef>
#include <string_view>

#include "devlist/line_store.h"
#include "platform/clock.h"

namespace shell {

constexpr size_t kCommLogShown = 11;  // displayed lines left after each new line
// The log's width in cells of the window's cell font, where each byte of code page 932 takes
// one cell. The window's widget wraps at exactly this width.
constexpr size_t kCommLogColumns = 69;

// The displayed lines a line of text takes in a log `columns` cells wide: it wraps at any
// character, a double-byte character that would straddle the edge starts the next line, and
// blanks past the edge hang there.
size_t DisplayedLines(std::string_view line, size_t columns = kCommLogColumns);

// Appends "yyyy/mm/dd hh:nn:ss " + text, then drops the oldest lines until at most eleven
// displayed lines remain; the new line stays whole whatever it takes.
void LogMessage(devlist::LineStore& view, const platform::LocalTime& now, std::string_view text);

}  // namespace shell
