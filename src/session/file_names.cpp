#include "session/file_names.h"

#include "devlist/edit_panel.h"
#include "devlist/fields.h"
#include "text/cp932.h"

namespace session {
namespace {

constexpr char kReplacement = '_';
constexpr std::string_view kRecordMark = ",F";
constexpr std::string_view kUniquePrefix = "QLX-No";
constexpr int kNumberDigits = 3;

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

// A file name as a case-blind file system compares it: ASCII letters folded, the bytes of a
// two-byte character kept as they are.
std::string folded(std::string_view name) {
    std::string out(name);
    for (size_t i = 0; i < out.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(out[i]);
        if (text::isLeadByte(b)) {
            ++i;
        } else if (b >= 'A' && b <= 'Z') {
            out[i] = static_cast<char>(b - 'A' + 'a');
        }
    }
    return out;
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

std::string Log20FileName(std::string_view saveName, std::string_view reportedMac,
                          std::string_view unique) {
    if (!saveName.empty() && (reportedMac.empty() || saveName == unique))
        return SafeFileName(std::string(saveName) + "l20.txt");
    return Log20Name(reportedMac);
}

std::string RecordSaveName(std::string_view line) {
    devlist::EditPanel panel;
    devlist::EditData(panel, 0, devlist::LineStore(std::vector<std::string>{std::string(line)}));
    return panel.saveName;
}

std::string ReportedSaveName(std::string_view reportedMac, std::string_view unique) {
    if (reportedMac.empty()) return std::string(unique);
    return "QLX" + devlist::MacDigits(reportedMac);
}

SaveNames::SaveNames(const devlist::LineStore& list) {
    for (const std::string& line : list.lines()) {
        if (line.find(kRecordMark) == std::string::npos) continue;
        std::string name = RecordSaveName(line);
        if (!name.empty()) m_taken.insert(folded(CommLogName(name)));
    }
}

std::string SaveNames::unique(int number) const {
    std::string name = std::string(kUniquePrefix) + devlist::ZeroPad(number, kNumberDigits);
    while (m_taken.count(folded(CommLogName(name)))) name += kReplacement;
    return name;
}

std::string SaveNames::of(std::string_view line, int number) const {
    std::string name = RecordSaveName(line);
    return name.empty() ? unique(number) : name;
}

}  // namespace session
