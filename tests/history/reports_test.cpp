// What history and drift make of recorded dumps: which devices drift and in which words, the
// runs a device's history lists, and the report rows a spreadsheet or a script reads.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "history/device_history.h"
#include "history/drift.h"

namespace {

using history::DriftRow;

const std::string kDump =
    "//--- SEND DATA dev1IP:127.0.0.2 MAC:00:EE:80:00:00:01\r\r\n&save\r\n"
    ".sysName=\"SIM-1\"\r\n.ipAdEntNetMask=255.0.0.0\r\n";

TEST(Drift, ComparesTheLastDumpWithWhatTheFileWouldSet) {
    struct Case {
        std::optional<std::string> dump;
        std::vector<std::string> golden;
        DriftRow::State state;
        std::vector<std::string> changes;
    };
    const std::vector<Case> cases = {
        {std::nullopt, {".sysName=SIM-1"}, DriftRow::State::NoDump, {}},
        // The device's own quotes are no change; lines that are no assignment are not compared.
        {kDump, {".sysName=SIM-1", "unset .trapHost", "DATE 24/01/01"}, DriftRow::State::Same, {}},
        {kDump,
         {"ipAdEntNetMask=255.255.0.0", ".ntpServer=127.0.0.1"},
         DriftRow::State::Drifted,
         {"would change ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0",
          "would add .ntpServer: 127.0.0.1"}},
        {kDump, {}, DriftRow::State::Same, {}},
    };
    for (const auto& c : cases) {
        const DriftRow row = history::DriftOf(3, "dev", "127.0.0.2", c.dump, c.golden);
        EXPECT_EQ(row.state, c.state) << c.golden.size();
        EXPECT_EQ(row.changes, c.changes);
        EXPECT_EQ(row.names.size(), c.changes.size());
    }
}

TEST(Drift, ReportRowsCarryTheNames) {
    std::vector<DriftRow> rows = {
        {1, "hall", "127.0.0.2", DriftRow::State::Same, {}, {}},
        {2, "=cmd", "127.0.0.3", DriftRow::State::Drifted, {".a;b", ".c"}, {"would add .c: 1"}},
        {3, "dock", "127.0.0.4", DriftRow::State::NoDump, {}, {}},
    };
    EXPECT_EQ(history::DriftCsv(rows),
              "No,Name,Address,State,Count,Names\r\n"
              "001,hall,127.0.0.2,same,0,\r\n"
              "002,'=cmd,127.0.0.3,drifted,2,\"\"\".a;b\"\";.c\"\r\n"
              "003,dock,127.0.0.4,no dump,0,\r\n");
    const std::string json = history::DriftJson(
        {"--all", "site \"a\".txt", {2026, 12, 8, 9, 10, 11, 32400}, {}, "1.0"}, rows);
    for (const char* part :
         {"\"verb\": \"drift\", \"selection\": \"--all\", \"golden\": \"site \\\"a\\\".txt\"",
          "\"start\": \"2026-12-08T09:10:11+09:00\"",
          "\"selected\": 3, \"drifted\": 1, \"noDump\": 1",
          "{\"number\": 2, \"name\": \"=cmd\", \"address\": \"127.0.0.3\", \"state\": \"drifted\", "
          "\"names\": [\".a;b\", \".c\"], \"changes\": [\"would add .c: 1\"]}",
          "\"state\": \"no dump\""})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
}

TEST(DeviceHistory, ListsTheRunsThatChangedTheVariables) {
    std::string renamed = kDump;
    renamed.replace(renamed.find("dev1"), 4, "hall");
    std::string masked = renamed;
    masked.replace(masked.find("255.0.0.0"), 9, "255.255.0.0");
    history::CommitInfo c3{"c3c3c3c3c3", 1765185011, 540, "op",
                           "send --no 1: 1 selected\n\nchanged:"};
    history::CommitInfo c2{"c2", 1765185000, 540, "op", "check --all"};
    history::CommitInfo c1{"c1", 1765184000, 540, "op", "check --all"};
    // Newest first, as the store gives them: a send, a renamed record, the first dump.
    const auto entries = history::EntriesOf(
        {{c3, renamed, masked}, {c2, kDump, renamed}, {c1, std::nullopt, kDump}});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].names, std::vector<std::string>{".ipAdEntNetMask"});
    EXPECT_TRUE(entries[1].first);
    const history::DeviceHistory device{1, "hall", "127.0.0.2", "QLX00EE80000001.txt", entries};
    EXPECT_EQ(history::HistoryLines(device),
              (std::vector<std::string>{
                  "No.001 hall 127.0.0.2 (QLX00EE80000001.txt)",
                  "  2025-12-08 18:10:11 +0900 op c3c3c3c send --no 1: 1 selected",
                  "    changed .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0",
                  "  2025-12-08 17:53:20 +0900 op c1 check --all", "    first dump"}));
    EXPECT_EQ(history::HistoryCsv({device}),
              "No,Name,Address,Time,Commit,Author,Count,Names\r\n"
              "001,hall,127.0.0.2,2025-12-08 18:10:11 +0900,c3c3c3c3c3,op,1,.ipAdEntNetMask\r\n"
              "001,hall,127.0.0.2,2025-12-08 17:53:20 +0900,c1,op,,\r\n");
}

}  // namespace
