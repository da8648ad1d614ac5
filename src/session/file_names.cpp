#include "session/file_names.h"

#include "devlist/fields.h"
#include "text/cp932.h"

namespace session {
namespace {

constexpr char kReplacement = '_';

bool forbidden(unsigned char b) {
    if (b < 0x20 || b == 0x7f) return true;
    switch (b) {
        case '/':
        case '\\':
        case '<':
        case '>':
        case ':':
        case '"':
        case '|':
        case '?':
        case '*':
            return true;
        default:
            return false;
    }
}

}  // namespace

std::string SafeFileName(std::string_view name) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(out[i]);
        if (text::isLeadByte(b)) {
            if (i + 1 < out.size() && text::isTrailByte(static_cast<unsigned char>(out[i + 1]))) {
                ++i;
            } else {
                out[i] = kReplacement;
            }
            continue;
        }
        if (forbidden(b)) out[i] = kReplacement;
    }
    // ".." only after the bytes above are settled: a trail byte is never a dot.
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == '.' && out[i + 1] == '.') {
            size_t j = i;
            while (j < out.size() && out[j] == '.') out[j++] = kReplacement;
            i = j;
        }
    }
    return out;
}

std::string PreWriteDumpName(std::string_view saveName) {
    return SafeFileName(std::string(saveName) + "q1.txt");
}
std::string PostWriteDumpName(std::string_view saveName) {
    return SafeFileName(std::string(saveName) + "q2.txt");
}
std::string Log20Name(std::string_view macAddress) {
    return SafeFileName("QLX" + devlist::MacDigits(macAddress) + "l20.txt");
}
std::string CommLogName(std::string_view saveName) {
    return SafeFileName(std::string(saveName) + "R1.txt");
}

}  // namespace session
