// A device's settings history as the operator reads it: the runs in which its settings changed,
// each with what changed in the words of diff, newest first.
#pragma once

#include <string>
#include <vector>

#include "history/history_store.h"
#include "platform/clock.h"

namespace history {

struct HistoryEntry {
    CommitInfo commit;
    bool first = false;                // the device's first dump: nothing to compare with
    std::vector<std::string> names;    // the variables that changed
    std::vector<std::string> changes;  // "changed NAME: OLD -> NEW", …
};

struct DeviceHistory {
    int number = 0;
    std::string name;     // code page 932
    std::string address;  //
    std::string file;     // in the repository
    std::vector<HistoryEntry> entries;
};

// The revisions in which the device's variables changed; a revision that changed only the first
// line (a list name, an address) is left out.
std::vector<HistoryEntry> EntriesOf(const std::vector<Revision>& revisions);

// "2026-12-08 15:30:01 +0900", the commit's own time zone.
std::string CommitTimeText(const CommitInfo& commit);

// Standard output's lines: a heading per device, then per run its time, author, short commit
// name and the first line of its message, and its changes (code page 932).
std::vector<std::string> HistoryLines(const DeviceHistory& device);

// CSV (code page 932): No,Name,Address,Time,Commit,Author,Count,Names, one row per run and device.
std::string HistoryCsv(const std::vector<DeviceHistory>& devices);
std::string HistoryJson(const std::string& selection, const std::vector<DeviceHistory>& devices,
                        const std::string& version);

}  // namespace history
