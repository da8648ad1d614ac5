#include "fleet/selection.h"

#include <algorithm>
#include <charconv>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "devlist/list_view.h"
#include "fleet/result_rule.h"

namespace fleet {
namespace {

std::optional<int> recordNumber(std::string_view s) {
    int v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (v < 1 || v > devlist::kMaxRecords) return std::nullopt;
    return v;
}

// "3,7-12" as ranges; nullopt when any piece is not a number or a rising range of them.
std::optional<std::vector<std::pair<int, int>>> parseNumbers(std::string_view text) {
    std::vector<std::pair<int, int>> ranges;
    while (true) {
        size_t comma = text.find(',');
        std::string_view piece = text.substr(0, comma);
        size_t dash = piece.find('-');
        auto first = recordNumber(piece.substr(0, dash));
        auto last = dash == std::string_view::npos ? first : recordNumber(piece.substr(dash + 1));
        if (!first || !last || *last < *first) return std::nullopt;
        ranges.emplace_back(*first, *last);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    return ranges;
}

bool inRanges(const std::vector<std::pair<int, int>>& ranges, int number) {
    return std::any_of(ranges.begin(), ranges.end(),
                       [number](const auto& r) { return number >= r.first && number <= r.second; });
}

std::string addOption(Selection& s, std::string_view option, std::string_view value) {
    if (option == "--checked") {
        s.checked = true;
    } else if (option == "--all") {
        s.all = true;
    } else if (option == "--failed") {
        s.failed = true;
    } else if (option == "--group") {
        if (value != "1" && value != "2" && value != "3") return "--group takes 1, 2 or 3";
        s.groups.push_back(value[0] - '0');
    } else if (option == "--no") {
        auto ranges = parseNumbers(value);
        if (!ranges) return "--no takes record numbers such as 3,7-12 (1 to 999)";
        s.numbers.push_back(std::move(*ranges));
    } else if (option == "--match") {
        if (value.empty()) return "--match takes a word";
        s.words.emplace_back(value);
    } else {
        return "unknown selection option " + std::string(option);
    }
    return {};
}

}  // namespace

bool IsSelectionOption(std::string_view option, bool& takesValue) {
    takesValue = option == "--group" || option == "--no" || option == "--match";
    return takesValue || option == "--checked" || option == "--all" || option == "--failed";
}

std::string AddSelectionOption(Selection& s, std::string_view option, std::string_view value) {
    std::string error = addOption(s, option, value);
    if (error.empty())
        s.given.push_back(std::string(option) + (value.empty() ? "" : " ") + std::string(value));
    return error;
}

std::vector<int> Select(const Selection& s, const devlist::LineStore& store) {
    const bool checked = s.checked || (!s.all && s.groups.empty() && s.numbers.empty() &&
                                       !s.failed && s.words.empty());
    std::vector<bool> keep;
    devlist::ListRender shown = devlist::RenderList("", store);
    keep.assign(store.size(), false);
    for (const auto& e : shown.entries) keep[static_cast<size_t>(e.line)] = true;
    for (const std::string& word : s.words) {
        std::vector<bool> matched(store.size(), false);
        for (const auto& e : devlist::RenderList(word, store).entries)
            matched[static_cast<size_t>(e.line)] = true;
        for (size_t i = 0; i < keep.size(); ++i) keep[i] = keep[i] && matched[i];
    }
    std::vector<int> out;
    for (size_t i = 0; i < store.size(); ++i) {
        if (!keep[i]) continue;
        const std::string& line = store[i];
        const std::string flags = devlist::FieldGet(devlist::kFlags, line);
        const int number = static_cast<int>(i) + 1;
        if (checked && !devlist::IsChecked(flags)) continue;
        if (!std::all_of(s.groups.begin(), s.groups.end(),
                         [&](int g) { return devlist::IsGroupMember(flags, g); }))
            continue;
        if (!std::all_of(s.numbers.begin(), s.numbers.end(),
                         [&](const auto& r) { return inRanges(r, number); }))
            continue;
        if (s.failed && IsSuccessMessage(devlist::FieldGet(devlist::kMessage, line))) continue;
        out.push_back(static_cast<int>(i));
    }
    return out;
}

std::string SelectionText(const Selection& s) {
    if (s.given.empty()) return "--checked";
    std::string out;
    for (const std::string& option : s.given) out += (out.empty() ? "" : " ") + option;
    return out;
}

}  // namespace fleet
