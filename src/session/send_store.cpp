#include "session/send_store.h"

#include "devlist/fields.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace session {
namespace {

constexpr std::string_view kReset = "CPURESET";
constexpr size_t kResetWindow = 5;
constexpr size_t kResetMinLines = 6;

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Only at character starts: the trail byte of a two-byte character may be an ASCII letter.
bool containsReset(std::string_view line) {
    for (size_t i = 0; i + kReset.size() <= line.size(); ++i) {
        size_t k = 0;
        while (k < kReset.size() && upper(line[i + k]) == kReset[k]) ++k;
        if (k == kReset.size()) return true;
        if (text::isLeadByte(static_cast<unsigned char>(line[i]))) ++i;
    }
    return false;
}

}  // namespace

SendLines LoadSendStore(std::string_view fileBytes, bool checkMode) {
    SendLines out;
    out.lines = devlist::LineStore::fromFileBytes(fileBytes);
    auto& lines = out.lines.lines();
    if (lines.size() >= kResetMinLines) {
        // Going backwards keeps the indexes of the lines still to be looked at.
        for (size_t i = lines.size(), seen = 0; seen < kResetWindow; ++seen) {
            --i;
            if (containsReset(lines[i])) {
                lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
                out.resetPending = true;
            }
        }
    }
    if (checkMode) out.resetPending = false;
    return out;
}

SendLines LoadSendStoreFile(std::string_view path, bool checkMode) {
    auto bytes = platform::readFile(path);
    return LoadSendStore(bytes ? std::string_view(*bytes) : std::string_view(), checkMode);
}

long long TelnetPortOf(std::string_view telnetPort) {
    return devlist::ParseNumber(telnetPort, kDefaultTelnetPort);
}

}  // namespace session
