// What a session's result does to the device list, with no window involved, so that every front
// end records results the same way: the values a device reports, made fit for a field of a
// record line, and the record line a result belongs to, found again by its identity.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "devlist/edit_panel.h"
#include "devlist/line_store.h"

namespace session {

// How much of each value a device reports goes into a record. A record holds at most 255 bytes
// after its number (the field accessors read no further), so the device's share is fixed: with
// these lengths, the longest message and the operator's fields at their usual sizes, every
// field of the line still reads back.
constexpr size_t kVersionBytes = 32;      // "model / Ver"
constexpr size_t kMacBytes = 17;          // six two-digit groups with their ":"
constexpr size_t kNameBytes = 30;         // as long as the "機器名称" box takes
constexpr size_t kFailureTextBytes = 30;  // the device's failure reply in the message

// text as one field of a record: at most maxBytes, cut before a two-byte character that would
// not fit whole; a comma, every control byte and a lead byte without its trail byte become a
// blank, so the value can neither split the record nor break its line.
std::string RecordValue(std::string_view text, size_t maxBytes);

// The record a session serves, as the list held it when the session started.
struct RecordTarget {
    int line = -1;      // its 0-based line in the committed list
    std::string bytes;  // that line's bytes
};

RecordTarget TargetOf(const devlist::LineStore& store, int line);

// The line that holds the target's record now: its own line while that still holds the same
// bytes, otherwise the one line that holds them (the list was edited around it); -1 when no line
// or several do (the record was deleted or changed).
int FindRecord(const devlist::LineStore& store, const RecordTarget& target);

// Writes the record from served (the session's copy of the record's boxes) into the target's
// line, numbered by its position; a save name the line has is kept. The line written, or -1
// when the record is gone and nothing was written.
int WriteResult(devlist::LineStore& store, const RecordTarget& target,
                const devlist::EditPanel& served);

}  // namespace session
