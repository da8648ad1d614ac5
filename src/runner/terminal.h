// What the runner prints: lines for scripts on its output, and progress and complaints one line
// at a time on its error stream, flushed at once so that a line is whole on the terminal or in a
// log even when the run is stopped right after it. Every text from the list or from a device is
// made harmless for the terminal first.
#pragma once

#include <cstdio>
#include <string>

namespace runner {

// Code page 932 text as the terminal shows it: bytes that are no character as "?", control
// bytes as \xNN, so that a name or a device's reply cannot move the cursor, recolour the
// terminal or retitle its window.
std::string Shown(const std::string& cp932);

class Terminal {
public:
    // The process's own are stdout and stderr; the streams stay the caller's.
    Terminal(std::FILE* out, std::FILE* err) : m_out(out), m_err(err) {}
    // A line (UTF-8) on the error stream.
    void say(const std::string& utf8) const;
    // The same, as the program's complaint: "qlx-setting-cli: " before it.
    void complain(const std::string& utf8) const;
    // A line on the output, as it stands (a newline added).
    void print(const std::string& line) const;
    // Bytes on the output, as they stand.
    void write(const std::string& bytes) const;
    // Flushes the output; true when anything written to it was lost.
    bool outputFailed() const;
    std::FILE* out() const { return m_out; }

private:
    std::FILE* m_out;
    std::FILE* m_err;
};

}  // namespace runner
