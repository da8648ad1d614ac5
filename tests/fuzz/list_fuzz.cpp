// Any bytes as a list file: loading, rendering, filtering, sorting, moving, renumbering and the
// check-mark store must neither crash nor break the record rules.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "devlist/check_marks.h"
#include "devlist/edit_panel.h"
#include "devlist/fields.h"
#include "devlist/list_edit.h"
#include "devlist/list_file.h"
#include "devlist/list_view.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    devlist::LineStore raw = devlist::LineStore::fromFileBytes(bytes);
    devlist::ListBuild build = devlist::BuildListRecords(raw);
    devlist::LineStore& list = build.records;
    if (list.size() > 999) __builtin_trap();
    if (build.fileLine.size() != list.size()) __builtin_trap();
    for (int line : build.fileLine) {
        if (!devlist::HasRecordNumber(raw[static_cast<size_t>(line)])) __builtin_trap();
    }
    for (const auto& line : list.lines()) {
        if (line.size() > 4 + 255) __builtin_trap();
    }

    std::string word = size > 2 ? std::string(bytes.substr(0, 2)) : std::string();
    devlist::ListRender r = devlist::RenderList(word, list);
    devlist::RenderList("", list);
    for (size_t k = 0; k < r.entries.size(); ++k) {
        devlist::CheckStatusSave(r.groupStore, static_cast<int>(k), r.entries[k].line, k % 2 == 0,
                                 list);
        devlist::RowInGroup(r.groupStore, static_cast<int>(k), 1 + static_cast<int>(k % 3));
    }
    devlist::AssignGroups(r.entries, list, true, false, true);
    devlist::WithoutChecked(r.entries, list);
    devlist::Renumber(r.entries, list);
    for (int c = 0; c < devlist::kSortColumns; ++c) {
        devlist::SortRecords(list, static_cast<devlist::SortColumn>(c),
                             devlist::SortOrder::Descending);
    }
    devlist::MoveUp(list, 1);
    devlist::MoveDown(list, 0);
    if (!r.entries.empty()) {
        devlist::EditPanel panel;
        devlist::EditData(panel, r.entries[0].line, list);
        devlist::RecordLineFromPanel(1, panel, list.empty() ? std::string_view() : list[0]);
    }
    for (int n = -1; n < 16; ++n) {
        devlist::FieldGet(n, bytes);
        devlist::FieldSet(n, "x", bytes.substr(0, 600));
    }
    devlist::IpSortKey(bytes.substr(0, 64));
    devlist::FilterHistory::fromFileBytes(bytes).toFileBytes();
    return 0;
}
