// Check marks and group flags in the records' flags field.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devlist/line_store.h"
#include "devlist/list_view.h"

namespace devlist {

// Stores the check-box state of row `row` into the check mark of record line `line` of store
// (the row's ListEntry::line); bytes 1..7 of the flags come from groupStore line `row`, as the
// view was drawn. False when the row or line leads to no record (nothing changes).
bool CheckStatusSave(const LineStore& groupStore, int row, int line, bool checked,
                     LineStore& store);

// Sets the check mark (byte 8 of the flags) of line `line` of store and keeps bytes 1..7 as
// that line holds them: for a store whose groups may have changed since the view was drawn.
// False when the line is no record (nothing changes).
bool StoreCheckMark(LineStore& store, int line, bool checked);

// Whether the record shown in groupStore line `row` is a member of group g (1..3).
bool RowInGroup(const LineStore& groupStore, int row, int g);

// Bytes 1..4 of the flags, the three group marks ("1" ticked, "0" not), then byte 8.
std::string AssignGroupFlags(std::string_view flags, bool g1, bool g2, bool g3);

// Sets the group flags of the view line of every checked entry.
void AssignGroups(const std::vector<ListEntry>& entries, LineStore& view, bool g1, bool g2,
                  bool g3);

// The view store without the lines of the checked entries.
LineStore WithoutChecked(const std::vector<ListEntry>& entries, const LineStore& view);

size_t CountChecked(const std::vector<ListEntry>& entries);

}  // namespace devlist
