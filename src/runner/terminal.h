// What the runner prints: one line at a time to standard error, flushed at once so that a line
// is whole on the terminal or in a log even when the run is stopped right after it, and every
// text from the list or from a device made harmless for the terminal first.
#pragma once

#include <string>

namespace runner {

// Code page 932 text as the terminal shows it: bytes that are no character as "?", control
// bytes as \xNN, so that a name or a device's reply cannot move the cursor, recolour the
// terminal or retitle its window.
std::string Shown(const std::string& cp932);

// A line (UTF-8) on standard error.
void Say(const std::string& utf8);
// The same, as the program's complaint: "qlx-setting-cli: " before it.
void Complain(const std::string& utf8);

}  // namespace runner
