// The values a device reports, made fit for a field of a record line, so that every front end
// records results the same way. Which record a result belongs to is the fleet core's
// (fleet/record_identity.h).
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

// The value of a reply line "query" + separator + value (+ closing byte) + CR: the bytes
// between the skipped lead and the first CR, less the closing bytes; empty when too short.
std::string ReplyValue(std::string_view chunk, size_t skip, size_t closing);

// The head of a text, at most maxBytes, without half a two-byte character at its end.
std::string TextHead(std::string_view text, size_t maxBytes);

}  // namespace session
