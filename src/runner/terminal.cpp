#include "runner/terminal.h"

#include "text/cp932.h"

namespace runner {

std::string Shown(const std::string& cp932) {
    return text::decode(text::escapeControls(text::validOnly(cp932, '?')), "?");
}

void Terminal::say(const std::string& utf8) const {
    std::fprintf(m_err, "%s\n", utf8.c_str());
    std::fflush(m_err);
}

void Terminal::complain(const std::string& utf8) const {
    say("qlx-setting-cli: " + utf8);
}

void Terminal::print(const std::string& line) const {
    std::fprintf(m_out, "%s\n", line.c_str());
}

void Terminal::write(const std::string& bytes) const {
    std::fwrite(bytes.data(), 1, bytes.size(), m_out);
}

bool Terminal::outputFailed() const {
    std::fflush(m_out);
    return std::ferror(m_out) != 0;
}

}  // namespace runner
