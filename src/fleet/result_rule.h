// What the result of one device's session does to its record, as a pure function from the
// record line and the outcome to the new line. It is the window's rule (the result text per
// code, "(CPURESET)" after a success with a reset, the time of the result, the values the device
// reported made safe for a record by session::RecordValue); only the result fields change, so the
// line can be written into a list that someone else edited meanwhile.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "session/result_record.h"
#include "session/session_state.h"

namespace fleet {

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

// How a record written with its result is numbered. Whatever stood before ",F" other than the
// number would shift the fields, so such a record is always numbered by its place, as a load
// numbers it. A plain number is the window's to set: it numbers every record it writes by its
// place, as its record editor does, while a runner leaves the number the file gave the record.
enum class Numbering { KeepNumber, ByPlace };

// The record at 0-based place `place` of a list with its result (ApplyOutcome's fields). Every
// writer of a result, the list file's and the window's lines, writes it so.
std::string ResultLine(std::string_view line, int place, const Outcome& outcome,
                       Numbering numbering);

}  // namespace fleet
