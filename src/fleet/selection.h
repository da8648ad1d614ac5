// Which records of the list a fleet run serves. Every option selects records on its own and
// every further option narrows the set, so combining them gives the intersection. Only a command
// line without any selection option serves what the window's bulk run serves, the checked
// records: "--failed" alone means every failed record, not only the checked ones, so a re-run
// of the failures after "--all" reaches all of them.
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
    std::vector<std::string> given;  // the options as given ("--no 3,7-12"), code page 932
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

// The options as given, separated by blanks; "--checked" when none was given.
std::string SelectionText(const Selection& selection);

}  // namespace fleet
