// Check marks and group flags live in bytes 5 to 8 of each record's flags. A row of the view
// reaches its record through the index of the line it was drawn from, never its stored number.
#include "devlist/check_marks.h"

#include "devlist/fields.h"

namespace devlist {

namespace {

// "001,F0000000": the number, its comma and the flags.
constexpr size_t kHeadBytes = 12;
constexpr size_t kMarkedBytes = 7;

std::string groupMarks(bool g1, bool g2, bool g3) {
    return {g1 ? '1' : '0', g2 ? '1' : '0', g3 ? '1' : '0'};
}

std::string* lineAt(LineStore& store, int line) {
    if (line < 0 || static_cast<size_t>(line) >= store.size()) return nullptr;
    return &store[static_cast<size_t>(line)];
}

}  // namespace

bool CheckStatusSave(const LineStore& groupStore, int row, int index, bool checked,
                     LineStore& store) {
    if (row < 0 || static_cast<size_t>(row) >= groupStore.size()) return false;
    std::string_view head =
        std::string_view(groupStore[static_cast<size_t>(row)]).substr(0, kHeadBytes);
    std::string* line = lineAt(store, index);
    if (!line) return false;
    std::string mark = FieldGet(kFlags, head).substr(0, kMarkedBytes);
    mark += checked ? '1' : '0';
    *line = FieldSet(kFlags, mark, *line);
    return true;
}

bool StoreCheckMark(LineStore& store, int index, bool checked) {
    std::string* line = lineAt(store, index);
    if (!line) return false;
    std::string flags = FieldGet(kFlags, *line);
    if (flags.empty()) return false;
    std::string mark = flags.substr(0, kMarkedBytes);
    mark += checked ? '1' : '0';
    *line = FieldSet(kFlags, mark, *line);
    return true;
}

bool RowInGroup(const LineStore& groupStore, int row, int g) {
    if (row < 0 || static_cast<size_t>(row) >= groupStore.size() || g < 1 || g > 3) return false;
    std::string flags = FieldGet(kFlags, groupStore[static_cast<size_t>(row)]);
    size_t at = 3 + static_cast<size_t>(g);
    return at < flags.size() && flags[at] == '1';
}

std::string AssignGroupFlags(std::string_view flags, bool g1, bool g2, bool g3) {
    std::string out(flags.substr(0, 4));
    out += groupMarks(g1, g2, g3);
    // Byte 8 only: the flags field is 8 bytes, whatever a longer one held after it.
    if (flags.size() > kMarkedBytes) out += flags[kMarkedBytes];
    return out;
}

void AssignGroups(const std::vector<ListEntry>& entries, LineStore& view, bool g1, bool g2,
                  bool g3) {
    for (const auto& e : entries) {
        if (!e.checked) continue;
        std::string* line = lineAt(view, e.line);
        if (!line) continue;
        std::string flags = FieldGet(kFlags, *line);
        // No flags to amend: writing marks there would overwrite a field that is no flags field.
        if (flags.empty()) continue;
        *line = FieldSet(kFlags, AssignGroupFlags(flags, g1, g2, g3), *line);
    }
}

LineStore WithoutChecked(const std::vector<ListEntry>& entries, const LineStore& view) {
    std::vector<bool> drop(view.size(), false);
    for (const auto& e : entries)
        if (e.checked && e.line >= 0 && static_cast<size_t>(e.line) < view.size())
            drop[static_cast<size_t>(e.line)] = true;
    LineStore out;
    out.lines().reserve(view.size());
    for (size_t k = 0; k < view.size(); ++k)
        if (!drop[k]) out.lines().push_back(view[k]);
    return out;
}

size_t CountChecked(const std::vector<ListEntry>& entries) {
    size_t n = 0;
    for (const auto& e : entries)
        if (e.checked) ++n;
    return n;
}

}  // namespace devlist
