#include "history/device_history.h"

#include <cstdio>

#include "devlist/fields.h"
#include "fleet/dump_diff.h"
#include "fleet/run_report.h"

namespace history {
namespace {

constexpr size_t kShortId = 7;

std::string firstLine(const std::string& message) {
    return message.substr(0, message.find('\n'));
}

std::string jsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i)
        out += (i == 0 ? "" : ", ") + fleet::JsonString(items[i]);
    return out + "]";
}

}  // namespace

std::vector<HistoryEntry> EntriesOf(const std::vector<Revision>& revisions) {
    std::vector<HistoryEntry> out;
    for (const Revision& r : revisions) {
        HistoryEntry e{r.commit, !r.before, {}, {}};
        if (r.before) {
            const auto changes = fleet::CompareDumps(*r.before, r.after);
            if (changes.empty()) continue;
            e.names = fleet::ChangedNames(changes);
            e.changes = fleet::DiffLines(changes);
        }
        out.push_back(std::move(e));
    }
    return out;
}

std::string CommitTimeText(const CommitInfo& commit) {
    const time_t local = static_cast<time_t>(commit.time + int64_t{commit.utcOffsetMinutes} * 60);
    struct tm t {};
    gmtime_r(&local, &t);
    const int offset =
        commit.utcOffsetMinutes < 0 ? -commit.utcOffsetMinutes : commit.utcOffsetMinutes;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d %c%02d%02d", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                  commit.utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return buf;
}

std::vector<std::string> HistoryLines(const DeviceHistory& d) {
    std::vector<std::string> out{"No." + devlist::ZeroPad(d.number, 3) + " " + d.name + " " +
                                 d.address + " (" + d.file + ")"};
    if (d.entries.empty()) out.push_back("  no recorded change");
    for (const HistoryEntry& e : d.entries) {
        out.push_back("  " + CommitTimeText(e.commit) + " " + e.commit.author + " " +
                      e.commit.id.substr(0, kShortId) + " " + firstLine(e.commit.message));
        if (e.first) out.push_back("    first dump");
        for (const std::string& c : e.changes) out.push_back("    " + c);
    }
    return out;
}

std::string HistoryCsv(const std::vector<DeviceHistory>& devices) {
    std::string out = "No,Name,Address,Time,Commit,Author,Count,Names\r\n";
    for (const DeviceHistory& d : devices) {
        for (const HistoryEntry& e : d.entries) {
            out += fleet::CsvField(devlist::ZeroPad(d.number, 3)) + ',' + fleet::CsvField(d.name) +
                   ',' + fleet::CsvField(d.address) + ',' + CommitTimeText(e.commit) + ',' +
                   e.commit.id + ',' + fleet::CsvField(e.commit.author) + ',' +
                   (e.first ? std::string() : std::to_string(e.names.size())) + ',' +
                   fleet::CsvField(fleet::NamesColumn(e.names)) + "\r\n";
        }
    }
    return out;
}

std::string HistoryJson(const std::string& selection, const std::vector<DeviceHistory>& devices,
                        const std::string& version) {
    std::string out =
        "{\n  \"run\": {\"verb\": \"history\", \"selection\": " + fleet::JsonString(selection) +
        ", \"selected\": " + std::to_string(devices.size()) +
        ", \"version\": " + fleet::JsonString(version) + "},\n  \"devices\": [";
    for (size_t i = 0; i < devices.size(); ++i) {
        const DeviceHistory& d = devices[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"number\": " + std::to_string(d.number) +
               ", \"name\": " + fleet::JsonString(d.name) +
               ", \"address\": " + fleet::JsonString(d.address) +
               ", \"file\": " + fleet::JsonString(d.file) + ", \"runs\": [";
        for (size_t k = 0; k < d.entries.size(); ++k) {
            const HistoryEntry& e = d.entries[k];
            out += std::string(k == 0 ? "" : ", ") + "{\"time\": \"" + CommitTimeText(e.commit) +
                   "\", \"commit\": \"" + e.commit.id +
                   "\", \"author\": " + fleet::JsonString(e.commit.author) +
                   ", \"first\": " + (e.first ? "true" : "false") +
                   ", \"names\": " + jsonArray(e.names) + ", \"changes\": " + jsonArray(e.changes) +
                   "}";
        }
        out += "]}";
    }
    return out + (devices.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace history
