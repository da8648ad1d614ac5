// The window's save merged with what another writer put into the file since the window read it:
// what comes from the file, and what the window keeps as its own.
#include <gtest/gtest.h>

#include "devlist/fields.h"
#include "shell/list_merge.h"

namespace {

using devlist::LineStore;

std::string line(const std::string& no, const std::string& flags, const std::string& name,
                 const std::string& mac = "00:ee:80:00:00:01", const std::string& ver = "V1.00",
                 const std::string& last = "", const std::string& msg = "") {
    return no + "," + flags + "," + name + ",127.0.0.1,80,23," + mac + "," + ver +
           ",dev,admin,plume,defalt.txt," + last + "," + msg;
}
const std::string kA = line("001", "F0000000", "a");
const std::string kB = line("002", "F0000000", "b");
const std::string kAran =
    line("001", "F0000000", "a", "00:11:22:33:44:55", "V2.00", "2026/12/07 09:00:00", "#000 OK");
const std::string kBran = line("002", "F0000000", "b", "00:ee:80:00:00:01", "V1.00",
                               "2026/12/07 09:00:01", "#404 NG Time Out");
const std::string kB7 = devlist::FieldSet(devlist::kIpAddress, "127.0.0.7", kB);
const std::string kB9 = devlist::FieldSet(devlist::kIpAddress, "127.0.0.9", kB);
const std::string kC = devlist::FieldSet(devlist::kIpAddress, "127.0.0.3",
                                         line("003", "F0000000", "c", "00:ee:80:00:00:03"));
const std::string kArenamed = line("001", "F0000000", "A-renamed");

TEST(CarryResults, TakesWhatTheFileGainedAndKeepsWhatTheWindowChanged) {
    std::vector<std::string> full;
    for (int i = 1; i <= devlist::kMaxRecords; ++i)
        full.push_back(devlist::FieldSet(devlist::kListName, "n" + std::to_string(i), kA));
    std::vector<std::string> grown = full;
    grown.push_back(kC);
    struct Case {
        const char* name;
        std::vector<std::string> mine, base, disk, want;
        size_t leftOut = 0;  // records another writer added past a full list
    };
    const Case cases[] = {
        {"results of unchanged records", {kA, kB}, {kA, kB}, {kAran, kBran}, {kAran, kBran}},
        {"nothing new on disk", {kA, kB}, {kA, kB}, {kA, kB}, {kA, kB}},
        {"the window's check mark and number stay",
         {line("005", "F0000001", "a"), kB},
         {kA, kB},
         {kAran, kB},
         {line("005", "F0000001", "a", "00:11:22:33:44:55", "V2.00", "2026/12/07 09:00:00",
               "#000 OK"),
          kB}},
        {"the window's order and deletions stay", {kB}, {kA, kB}, {kAran, kBran}, {kBran}},
        {"a record the window added is its own",
         {kA, line("003", "F0000000", "c")},
         {kA},
         {kAran},
         {kAran, line("003", "F0000000", "c")}},
        {"a record the window renamed takes the runner's result",
         {line("001", "F0000000", "renamed"), kB},
         {kA, kB},
         {kAran, kBran},
         {line("001", "F0000000", "renamed", "00:11:22:33:44:55", "V2.00", "2026/12/07 09:00:00",
               "#000 OK"),
          kBran}},
        {"a search's work beside the window's check mark",
         {line("001", "F0000001", "a"), kB},
         {kA, kB},
         {kA, kB9, kC},
         {line("001", "F0000001", "a"), kB9, kC}},
        {"a field both changed is the window's", {kB7}, {kB}, {kB9}, {kB7}},
        {"a record added after the window's delete takes its place's number",
         {kB},
         {kA, kB},
         {kA, kB, kC},
         {kB, "002" + kC.substr(3)}},
        {"another writer's rename comes", {kA, kB}, {kA, kB}, {kArenamed, kB}, {kArenamed, kB}},
        {"a result field the operator edited wins, the others come",
         {line("001", "F0000000", "a", "00:00:00:00:00:09"), kB},
         {kA, kB},
         {kAran, kB},
         {line("001", "F0000000", "a", "00:00:00:00:00:09", "V2.00", "2026/12/07 09:00:00",
               "#000 OK"),
          kB}},
        {"two records alike pair in order", {kA, kA}, {kA, kA}, {kA, kAran}, {kA, kAran}},
        // Twins: record a entered twice, told apart only by the MAC address and the number.
        {"a twin moved above the other takes its own result",
         {line("001", "F0000000", "a", "00:ee:80:00:00:02"), line("002", "F0000000", "a")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02", "V2.00", "", "#000 OK")},
         {line("001", "F0000000", "a", "00:ee:80:00:00:02", "V2.00", "", "#000 OK"),
          line("002", "F0000000", "a")}},
        {"the other twin deleted",
         {line("002", "F0000000", "a", "00:ee:80:00:00:02")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02", "V2.00", "", "#000 OK")},
         {line("002", "F0000000", "a", "00:ee:80:00:00:02", "V2.00", "", "#000 OK")}},
        {"twins told apart by their MAC after the window checked both",
         {line("001", "F0000001", "a"), line("002", "F0000001", "a", "00:ee:80:00:00:02")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02", "V2.00", "", "#000 OK")},
         {line("001", "F0000001", "a"),
          line("002", "F0000001", "a", "00:ee:80:00:00:02", "V2.00", "", "#000 OK")}},
        {"twins that cannot be told apart get nothing",
         {line("001", "F0000001", "a"), line("002", "F0000001", "a", "00:ee:80:00:00:02")},
         {kA, line("002", "F0000000", "a", "00:ee:80:00:00:02")},
         {kAran, line("002", "F0000000", "a", "00:ee:80:00:00:09", "V2.00", "", "#000 OK")},
         {line("001", "F0000001", "a"), line("002", "F0000001", "a", "00:ee:80:00:00:02")}},
        {"a short record gets its fields",
         {"001,F0000000,a"},
         {"001,F0000000,a"},
         {"001,F0000000,a,,,,,,,,,,2026/12/07 09:00:00,#000 OK"},
         {"001,F0000000,a,,,,,,,,,,2026/12/07 09:00:00,#000 OK"}},
        {"without a base the file's records are another writer's",
         {kA},
         {},
         {kAran},
         {kA, "002" + kAran.substr(3)}},
        {"lines that are no record are left alone",
         {"note", kA},
         {"note", kA},
         {"other", kAran},
         {"note", kAran}},
        {"a full list takes no more records", full, full, grown, full, 1},
    };
    for (const auto& c : cases) {
        const shell::SaveMerge merged =
            shell::MergeSave(LineStore(c.mine), LineStore(c.base), LineStore(c.disk));
        EXPECT_EQ(merged.lines.lines(), c.want) << c.name;
        EXPECT_EQ(merged.leftOut, c.leftOut) << c.name;
    }
}

}  // namespace
