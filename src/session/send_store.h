// The settings lines a session streams to its device, and the connection target of a record.
#pragma once

#include <string>
#include <string_view>

#include "devlist/line_store.h"

namespace session {

struct SendLines {
    devlist::LineStore lines;
    bool resetPending = false;  // the dialogue ends with "CPURESET" instead of "q"
};

// The lines of a settings file (split at CR LF, lone CR or lone LF). When there are at least six,
// every one of the last five that contains "CPURESET" (any letter case) is taken out and turns
// into the closing reset, so the reset is never streamed in the middle of the settings. Check
// mode never resets.
SendLines LoadSendStore(std::string_view fileBytes, bool checkMode);

// The same for a file path: a path that names no readable file gives no lines.
SendLines LoadSendStoreFile(std::string_view path, bool checkMode);

// The port of a record's TelnetPort text; 23 when it is not a decimal number.
long long TelnetPortOf(std::string_view telnetPort);

constexpr long long kDefaultTelnetPort = 23;

}  // namespace session
