// Which records of the list a fleet run serves. The base options name records (--checked, the
// default; --all; --group; --no) and the narrowing ones filter them (--failed, --match); every
// option given narrows the set further, so combining them gives the intersection.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "devlist/line_store.h"

namespace fleet {

struct Selection {
    bool checked = false;     // --checked: the check mark is set
    bool all = false;         // --all
    std::vector<int> groups;  // --group 1|2|3 (each given one narrows)
    std::vector<std::vector<std::pair<int, int>>> numbers;  // --no 3,7-12: ranges of numbers
    bool failed = false;             // --failed: the stored message is not a success
    std::vector<std::string> words;  // --match WORD (code page 932 bytes)
};

// Whether option (as "--group") is a selection option, and whether it takes a value.
bool IsSelectionOption(std::string_view option, bool& takesValue);

// Adds one option with its value (empty for those without); an error text, empty when fine.
std::string AddSelectionOption(Selection& selection, std::string_view option,
                               std::string_view value);

// The 0-based indexes of the selected records of store, in list order. The records are those
// the list view shows (it stops at the first line without flags); a record's number is its
// 1-based position, as the list view numbers it.
std::vector<int> Select(const Selection& selection, const devlist::LineStore& store);

}  // namespace fleet
