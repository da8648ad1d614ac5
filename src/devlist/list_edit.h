// Reordering the working copy of the list: move, delete, renumber and sort. Pure operations on
// line stores; the window's operations around them ask the questions and keep the flags.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devlist/line_store.h"
#include "devlist/list_view.h"

namespace devlist {

enum class SortColumn { No = 0, Name, IpAddress, File, Model, Time, Message };
constexpr int kSortColumns = 7;
// Unchanged: no order selected (only a hand-edited settings file leaves none); the lines keep
// their order and are only renumbered.
enum class SortOrder { Ascending = 0, Descending = 1, Unchanged };

// Swaps lines s-1 and s and numbers them s and s+1. False (nothing changed) when s <= 0 or s
// is past the end.
bool MoveUp(LineStore& view, int s);
// Swaps lines s and s+1 and numbers them s+1 and s+2. False when s < 0 or s+1 is past the end.
bool MoveDown(LineStore& view, int s);

// The renumbered list of the shown entries: for each entry at 1-based rank k, ZeroPad(k, 3) +
// "," + at most 255 bytes of the entry's view line from byte 5 on. Entries that lead to no
// line are left out.
LineStore Renumber(const std::vector<ListEntry>& entries, const LineStore& view);

// The 16-byte sort key of a line for a column: 16 blanks for No; else the column text followed
// by 22 blanks, cut to 16 bytes (IP address through IpSortKey, File the file-name part).
std::string SortKeyOf(SortColumn column, std::string_view line);

// Sorts by key + " " + whole line, compared byte-wise as unsigned bytes (descending reverses
// the comparison; Unchanged leaves the order as it is), then numbers the lines 001, 002, ...
// keeping at most 255 bytes after the number's comma.
LineStore SortRecords(const LineStore& view, SortColumn column, SortOrder order);

}  // namespace devlist
