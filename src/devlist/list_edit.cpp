// Reordering the working copy of the list. Every operation here ends with the numbers equal to
// the positions again (except a plain delete, which the window does itself), because the view
// and the check marks reach records through those numbers.
#include "devlist/list_edit.h"

#include <algorithm>

#include "devlist/fields.h"

namespace devlist {

namespace {

constexpr size_t kKeyWidth = 16;
constexpr size_t kKeyPadding = 22;
// "001," at the start of a record line.
constexpr size_t kNumberPart = 4;
// The key, its blank and the old "001," in front of a line being sorted.
constexpr size_t kSortedPrefix = kKeyWidth + 1 + kNumberPart;

std::string numberedLine(size_t position, std::string_view body) {
    std::string out = ZeroPad(static_cast<long long>(position), 3);
    out += ',';
    out.append(body.substr(0, kRecordCut));
    return out;
}

std::string_view from(std::string_view s, size_t offset) {
    return offset < s.size() ? s.substr(offset) : std::string_view{};
}

void renumberAt(LineStore& view, size_t index) {
    view[index] = FieldSet(kNo, ZeroPad(static_cast<long long>(index) + 1, 3), view[index]);
}

}  // namespace

bool MoveUp(LineStore& view, int s) {
    if (s <= 0 || static_cast<size_t>(s) >= view.size()) return false;
    size_t i = static_cast<size_t>(s);
    std::swap(view[i - 1], view[i]);
    renumberAt(view, i - 1);
    renumberAt(view, i);
    return true;
}

bool MoveDown(LineStore& view, int s) {
    if (s < 0 || static_cast<size_t>(s) + 1 >= view.size()) return false;
    size_t i = static_cast<size_t>(s);
    std::swap(view[i], view[i + 1]);
    renumberAt(view, i);
    renumberAt(view, i + 1);
    return true;
}

LineStore Renumber(const std::vector<ListEntry>& entries, const LineStore& view) {
    LineStore out;
    for (const auto& e : entries) {
        if (e.line < 0 || static_cast<size_t>(e.line) >= view.size()) continue;
        // Ranks count the lines kept, so a skipped entry leaves no gap in the new numbers.
        out.lines().push_back(
            numberedLine(out.size() + 1, from(view[static_cast<size_t>(e.line)], kNumberPart)));
    }
    return out;
}

std::string SortKeyOf(SortColumn column, std::string_view line) {
    std::string text;
    switch (column) {
        case SortColumn::Name:
            text = FieldGet(kListName, line);
            break;
        case SortColumn::IpAddress:
            text = IpSortKey(FieldGet(kIpAddress, line));
            break;
        case SortColumn::File:
            text = FileNameOf(FieldGet(kSendFile, line));
            break;
        case SortColumn::Model:
            text = FieldGet(kModelVersion, line);
            break;
        case SortColumn::Time:
            text = FieldGet(kLastSend, line);
            break;
        case SortColumn::Message:
            text = FieldGet(kMessage, line);
            break;
        default:
            return std::string(kKeyWidth, ' ');
    }
    text.append(kKeyPadding, ' ');
    text.resize(kKeyWidth);
    return text;
}

LineStore SortRecords(const LineStore& view, SortColumn column, SortOrder order) {
    std::vector<std::string> prefixed;
    prefixed.reserve(view.size());
    for (const auto& line : view.lines()) {
        std::string p = SortKeyOf(column, line);
        p += ' ';
        p += line;
        prefixed.push_back(std::move(p));
    }
    // std::string compares through char_traits<char>, which orders bytes as unsigned values.
    if (order == SortOrder::Descending)
        std::stable_sort(prefixed.begin(), prefixed.end(), std::greater<>());
    else if (order == SortOrder::Ascending)
        std::stable_sort(prefixed.begin(), prefixed.end());
    LineStore out;
    out.lines().reserve(prefixed.size());
    for (const auto& p : prefixed)
        out.lines().push_back(numberedLine(out.size() + 1, from(p, kSortedPrefix)));
    return out;
}

}  // namespace devlist
