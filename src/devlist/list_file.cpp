// Turning the lines of a list file into records. A line is a record when it holds ",F" (the
// comma after the number and the F of the flags); its number is its position in the file, so
// the stored numbers never need to be trusted.
#include "devlist/list_file.h"

#include <algorithm>

#include "devlist/fields.h"

namespace devlist {

namespace {

constexpr std::string_view kRecordMark = ",F";
constexpr size_t kMarkWindow = 10;

bool allDigits(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool HasRecordMark(const LineStore& raw) {
    if (raw.empty()) return false;
    std::string_view head = std::string_view(raw[0]).substr(0, kMarkWindow);
    return head.find(kRecordMark) != std::string_view::npos;
}

ListBuild BuildListRecords(const LineStore& raw) {
    ListBuild build;
    build.accepted = HasRecordMark(raw);
    if (!build.accepted) {
        // An empty file has nothing to lose; anything else that is refused is kept aside.
        build.lossy = std::any_of(raw.lines().begin(), raw.lines().end(),
                                  [](const std::string& l) { return !l.empty(); });
        return build;
    }
    size_t count = std::min(raw.size(), static_cast<size_t>(kMaxRecords));
    build.records.lines().reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::string_view line = raw[i];
        size_t mark = line.find(kRecordMark);
        if (mark == std::string_view::npos) {
            // A blank line carries nothing; any other dropped line is a loss.
            if (!line.empty()) build.lossy = true;
            continue;
        }
        std::string_view body = line.substr(mark + 1);
        // What stood before ",F" is normally the old number; anything else is dropped text.
        if (body.size() > kRecordCut || !allDigits(line.substr(0, mark))) build.lossy = true;
        std::string rec = ZeroPad(static_cast<long long>(i) + 1, 3);
        rec += ',';
        rec.append(body.substr(0, kRecordCut));
        build.records.lines().push_back(std::move(rec));
    }
    for (size_t i = count; i < raw.size() && !build.lossy; ++i)
        if (!raw[i].empty()) build.lossy = true;
    return build;
}

}  // namespace devlist
