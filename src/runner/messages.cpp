#include "runner/messages.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <vector>

namespace runner {

void OpenCatalogue() {
    std::setlocale(LC_ALL, "");
    std::string folder;
    if (const char* given = std::getenv("QLX_LOCALEDIR"); given && *given) {
        folder = given;
    } else {
        std::error_code ec;
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
        if (!ec) folder = (self.parent_path().parent_path() / "share" / "locale").string();
    }
    if (!folder.empty()) bindtextdomain(kCatalogue, folder.c_str());
    // The runner prints UTF-8 whatever the locale's own character set.
    bind_textdomain_codeset(kCatalogue, "UTF-8");
}

std::string Tr(const char* english) {
    return dgettext(kCatalogue, english);
}

std::string Fill(const std::string& pattern, const std::vector<std::string>& values) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const size_t n = static_cast<size_t>(pattern[i + 1] - '1');
            if (n < values.size()) {
                out += values[n];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

}  // namespace runner
