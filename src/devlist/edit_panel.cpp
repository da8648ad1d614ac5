// The record editor's working copy: loading a record into the boxes, the record defaults, and
// the record line written back from the boxes.
#include "devlist/edit_panel.h"

#include "devlist/check_marks.h"
#include "devlist/fields.h"

namespace devlist {

namespace {

// The 15th field begins after the 14th comma.
constexpr int kCommasBeforeSaveName = kSaveName;

size_t nthComma(std::string_view line, int n) {
    size_t pos = std::string_view::npos;
    for (int i = 0; i < n; ++i) {
        pos = line.find(',', pos == std::string_view::npos ? 0 : pos + 1);
        if (pos == std::string_view::npos) return pos;
    }
    return pos;
}

}  // namespace

void EditData(EditPanel& panel, int index, const LineStore& listStore) {
    std::string_view line;
    if (index >= 0 && static_cast<size_t>(index) < listStore.size())
        line = listStore[static_cast<size_t>(index)];
    panel.numberLabel = std::to_string(index < 0 ? 0 : index + 1);
    panel.rec = DeviceRecord::fromLine(line);
    for (int g = 1; g <= 3; ++g) panel.group[g - 1] = IsGroupMember(panel.rec.flags, g);
    panel.saveName = panel.rec.saveName.value_or("");
    if (panel.saveName.empty() && !panel.rec.macAddress.empty())
        panel.saveName = "QLX" + MacDigits(panel.rec.macAddress);
}

void DefaltData(EditPanel& panel) {
    panel.rec = DeviceRecord{};
}

std::string RecordLineFromPanel(long long number, const EditPanel& panel,
                                std::string_view replacedLine) {
    DeviceRecord r = panel.rec;
    r.no = ZeroPad(number, 3);
    std::string line = r.toLine();
    // The boxes hold 14 fields; a 15th the stored line had (the save name) is kept as it was.
    size_t tail = nthComma(replacedLine, kCommasBeforeSaveName);
    if (tail != std::string_view::npos) line.append(replacedLine.substr(tail));
    return line;
}

std::string FlagsFromGroupBoxes(std::string_view flags, const bool group[3]) {
    return AssignGroupFlags(flags, group[0], group[1], group[2]);
}

}  // namespace devlist
