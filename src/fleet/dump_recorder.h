// Where a run hands the dumps its devices sent, for the settings history: the front end gives
// the run a recorder as it gives it a list writer, and says when the run's record is complete.
#pragma once

#include <string>
#include <string_view>

#include "devlist/fields.h"

namespace fleet {

struct RecordedDump {
    std::string file;    // the device's file in the history (history::DumpFileName)
    std::string label;   // the device as a message names it: "No.003 NAME", code page 932
    std::string before;  // a send's dump before its settings; empty for a check
    std::string after;   // the dump the session ended with; empty when it wrote none
};

// The file a device's dumps go into in the history: named by the MAC address the device reports
// ("QLX" and its digits, ".txt"), which stays when the list is edited; else by the record's own
// unique name ("QLX-No003.txt"), as its device files are.
inline std::string HistoryFileName(std::string_view reportedMac, std::string_view unique) {
    const std::string digits = devlist::MacDigits(reportedMac);
    return (digits.empty() ? std::string(unique) : "QLX" + digits) + ".txt";
}

class DumpRecorder {
public:
    virtual ~DumpRecorder() = default;
    // On the loop, at a device's result: must not block.
    virtual void add(RecordedDump dump) = 0;
};

}  // namespace fleet
