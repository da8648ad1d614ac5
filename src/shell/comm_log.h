// The communication log the operator reads below the terminal: time-stamped lines, of which only
// the newest eleven are kept. Nothing of it is written to a file.
#pragma once

#include <string_view>

#include "devlist/line_store.h"
#include "platform/clock.h"

namespace shell {

constexpr size_t kCommLogKeep = 10;  // lines kept before a new one is added

// Appends "yyyy/mm/dd hh:nn:ss " + text, after dropping the oldest lines down to ten.
void LogMessage(devlist::LineStore& view, const platform::LocalTime& now, std::string_view text);

}  // namespace shell
