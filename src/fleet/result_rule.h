// What the result of one device's session does to its record, as a pure function from the
// record line and the outcome to the new line. It is the window's rule (the result text per
// code, "(CPURESET)" after a success with a reset, the time of the result, the values the device
// reported made safe for a record); only the result fields change, so the line can be written
// into a list that someone else edited meanwhile.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "session/session_state.h"

namespace fleet {

// How much of each value a device reports goes into a record: with these lengths, the longest
// message and the operator's fields at their usual sizes, every field still reads back.
constexpr size_t kVersionBytes = 32;      // "model / Ver"
constexpr size_t kMacBytes = 17;          // six two-digit groups with their ":"
constexpr size_t kNameBytes = 30;         // as long as the "機器名称" box takes
constexpr size_t kFailureTextBytes = 30;  // the device's failure reply in the message

// The one rule for text from a device going into a record field: at most maxBytes, cut before
// a two-byte character that would not fit whole; a comma, every control byte (CR and LF too)
// and a lead byte without its trail byte become a blank, so the value can neither split the
// record nor break its line.
std::string RecordSafe(std::string_view text, size_t maxBytes);

struct Outcome {
    int result = session::kResultPending;
    std::string failureText;  // for kResultFailure
    bool resetPending = false;
    // What the device reported, when the dialogue got that far; nullopt leaves the field alone.
    std::optional<std::string> modelVersion;
    std::optional<std::string> macAddress;
    std::optional<std::string> deviceName;
    std::string lastSend;  // "yyyy/mm/dd hh:nn:ss", when the result was recorded
};

// The record's message for a result; nullopt for a result without one (the record keeps its
// message).
std::optional<std::string> ResultMessage(const Outcome& outcome);

// A stored message counts as a success when it starts "#000".
bool IsSuccessMessage(std::string_view message);

// line with the result fields (LastSend, Message and the reported device values) replaced and
// every other byte kept; a line with fewer than 14 fields first gets the missing empty ones.
std::string ApplyOutcome(std::string_view line, const Outcome& outcome);

}  // namespace fleet
