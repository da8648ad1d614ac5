// The window saves its whole list, but a runner may have written results into the same file
// since the window last read it. Before a save, the results the file gained meanwhile are carried
// into the window's lines, so neither side loses the other's changes.
#pragma once

#include <string_view>

#include "devlist/edit_panel.h"
#include "devlist/line_store.h"

namespace shell {

// mine with, in each record, every result field (MacAddress, ModelVersion, DeviceName, LastSend,
// Message) that disk changed since base and mine did not, taken from disk. Everything else is
// mine: the order, the numbers, the check marks and groups, records added or deleted, and any
// result field the operator changed. A record is found in the three stores by its identity
// (fleet::PairRecords); a record that cannot be told from its twins there gets nothing.
devlist::LineStore CarryResults(const devlist::LineStore& mine, const devlist::LineStore& base,
                                const devlist::LineStore& disk);

// The record editor holding a record that a carry changed from before to after: each result box
// the operator left as the record held it takes the carried value, so that "設定保存" without
// any typing does not write the old values back over another writer's result.
void FollowCarry(devlist::EditPanel& editor, std::string_view before, std::string_view after);

}  // namespace shell
