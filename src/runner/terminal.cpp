#include "runner/terminal.h"

#include <cstdio>

#include "text/cp932.h"

namespace runner {

std::string Shown(const std::string& cp932) {
    return text::decode(text::escapeControls(text::validOnly(cp932, '?')), "?");
}

void Say(const std::string& utf8) {
    std::fprintf(stderr, "%s\n", utf8.c_str());
    std::fflush(stderr);
}

void Complain(const std::string& utf8) {
    Say("qlx-setting-cli: " + utf8);
}

}  // namespace runner
