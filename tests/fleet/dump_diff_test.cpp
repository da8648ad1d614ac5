// What a send changed and what it would change: the two dumps compared by name, a plan's settings
// against a check's dump, the lines shown for the terminal, and the dumps read from the work
// folder only when they belong to the last send.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_bytes.h"
#include "fleet/dump_diff.h"
#include "scratch_dir.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;

// A dump file as the dialogue writes it: header (ending CR CR LF), the "&save" echo, the lines.
std::string dump(const std::string& title, const std::vector<std::string>& lines) {
    std::string out = "//--- " + title + " DATA roomIP:127.0.0.5 MAC:00:EE:80:00:00:05 " +
                      (title == "LOAD" ? "24/05/06 07:08:09" : "24/05/06 07:08:11") + "\r\r\n" +
                      "&save\r\n";
    for (const auto& l : lines) out += l + "\r\n";
    return out;
}

TEST(DumpDiff, VariablesMatchByNameLinesWhole) {
    const std::string sj = text::sj("会議室");
    struct Case {
        const char* what;
        std::vector<std::string> before, after;
        std::vector<std::string> expected;  // DiffLines
    } cases[] = {
        {"identical", {".a=1", ".b=2"}, {".a=1", ".b=2"}, {"no change"}},
        {"order does not matter", {".a=1", ".b=2", "x"}, {"x", ".b=2", ".a=1"}, {"no change"}},
        {"changed, added, removed, by name",
         {".sysName=\"A\"", ".mask=255.0.0.0", ".trap=10.0.0.1"},
         {".mask=255.255.0.0", ".ntp=127.0.0.1", ".sysName=\"B\""},
         {"changed .mask: 255.0.0.0 -> 255.255.0.0", "added   .ntp: 127.0.0.1",
          "changed .sysName: \"A\" -> \"B\"", "removed .trap: 10.0.0.1"}},
        {"empty values",
         {".a=", ".b=1"},
         {".a=1", ".b="},
         {"changed .a: (empty) -> 1", "changed .b: 1 -> (empty)"}},
        {"only the first = ends the name",
         {".url=a=b"},
         {".url=a=c"},
         {"changed .url: a=b -> a=c"}},
        {"not name=value: whole lines",
         {"unknown command", "=x", "a b=1"},
         {"=x", "a b=2"},
         {"removed line: unknown command", "removed line: a b=1", "added   line: a b=2"}},
        {"a name twice: values paired in order",
         {".r=1", ".r=2", ".r=3"},
         {".r=3", ".r=4"},
         {"changed .r: 1 -> 4", "removed .r: 2"}},
        {"repeated whole lines counted", {"x", "x"}, {"x"}, {"removed line: x"}},
        {"control bytes shown, never sent to the terminal",
         {".e=\x1b[2J"},
         {".e=\x7f"},
         {"changed .e: \\x1B[2J -> \\x7F"}},
        {"code page 932 kept",
         {"." + sj + "=1"},
         {"." + sj + "=2"},
         {"changed ." + sj + ": 1 -> 2"}},
        // A device may store a value in its own form, quoted: no change, neither here nor in the
        // plan before it, so that a second plan finds nothing to do.
        {"quoted after the send", {".sysName=SIM"}, {".sysName=\"SIM\""}, {"no change"}},
        {"empty quotes are empty", {".a=\"\""}, {".a="}, {"no change"}},
        {"quoted and changed", {".a=\"x\""}, {".a=\"y\""}, {"changed .a: \"x\" -> \"y\""}},
        {"a quote at one end", {".a=x"}, {".a=x\""}, {"changed .a: x -> x\""}},
    };
    for (const auto& c : cases) {
        auto changes = fleet::CompareDumps(dump("LOAD", c.before), dump("SEND", c.after));
        EXPECT_EQ(fleet::DiffLines(changes), c.expected) << c.what;
    }
}

// What a send would change, judged from a check's dump: assignments against the device's
// variables by name (with or without the leading "."), the other lines sent as they are.
TEST(PlanSend, AssignmentsAgainstTheDumpOtherLinesSent) {
    const std::string sj = text::sj("会議室");
    struct Case {
        const char* what;
        std::vector<std::string> device, settings;
        std::vector<std::string> expected;  // PlanLines
        std::vector<std::string> names;     // PlanNames
    } cases[] = {
        {"every assignment holds", {".a=1", ".b=2"}, {".b=2", ".a=1"}, {"no change"}, {}},
        {"no settings lines", {".a=1"}, {}, {"no change"}, {}},
        {"changed and added, by name whatever the order",
         {".mask=255.0.0.0", ".sysName=\"A\""},
         {".sysName=\"B\"", ".ntp=127.0.0.1", ".mask=255.255.0.0"},
         {"would change .mask: 255.0.0.0 -> 255.255.0.0", "would add .ntp: 127.0.0.1",
          "would change .sysName: \"A\" -> \"B\""},
         {".mask", ".ntp", ".sysName"}},
        {"names compared without the leading dot",
         {"mask=255.0.0.0", "ntp=1.2.3.4"},
         {".mask=255.0.0.0", ".ntp=127.0.0.1"},
         {"would change .ntp: 1.2.3.4 -> 127.0.0.1"},
         {".ntp"}},
        {"the settings may leave the dot out too",
         {".a=1"},
         {"a=2"},
         {"would change a: 1 -> 2"},
         {"a"}},
        {"the last assignment of a name is what the device keeps",
         {".a=1"},
         {".a=2", ".a=1", ".b=1", ".b=3"},
         {"would add .b: 3"},
         {".b"}},
        {"other lines are sent, not compared, in file order",
         {".trap=10.0.0.1"},
         {"unset .trap", "", "DATE 24/01/01", "a b=c"},
         {"no change", "would send: unset .trap", "would send: (empty)",
          "would send: DATE 24/01/01", "would send: a b=c"},
         {}},
        {"empty values and control bytes shown as diff shows them",
         {".a=", ".b=x"},
         {".a=\x1b[2J", ".b="},
         {"would change .a: (empty) -> \\x1B[2J", "would change .b: x -> (empty)"},
         {".a", ".b"}},
        {"a name listed twice holds only when both values are the new one",
         {".a=1", ".a=2", ".b=5", ".b=5"},
         {".a=2", ".b=5"},
         {"would change .a: 1 -> 2"},
         {".a"}},
        {"code page 932 values kept as bytes",
         {".sysName=\"" + sj + "\""},
         {".sysName=\"" + sj + "A\""},
         {"would change .sysName: \"" + sj + "\" -> \"" + sj + "A\""},
         {".sysName"}},
        {"the dump's own lines are no variables",
         {"LOAD_END garbage", ".a=1"},
         {"&save"},
         {"no change", "would send: &save"},
         {}},
        {"sent bare, stored quoted", {".sysName=\"SIM\""}, {".sysName=SIM"}, {"no change"}, {}},
        {"no dot, stored quoted", {"sysName=\"SIM\""}, {".sysName=SIM"}, {"no change"}, {}},
        {"sent quoted, stored quoted", {".a=\"x\""}, {".a=\"x\""}, {"no change"}, {}},
        {"another value", {".a=\"S\""}, {".a=S2"}, {"would change .a: \"S\" -> S2"}, {".a"}},
        {"single quotes are the value's",
         {".a='x'"},
         {".a=x"},
         {"would change .a: 'x' -> x"},
         {".a"}},
        {"one pair only", {".a=\"\"x\"\""}, {".a=x"}, {"would change .a: \"\"x\"\" -> x"}, {".a"}},
        {"a lone quote", {".a=\""}, {".a="}, {"would change .a: \" -> (empty)"}, {".a"}},
    };
    for (const Case& c : cases) {
        auto plan = fleet::PlanSend(dump("SEND", c.device), c.settings);
        EXPECT_EQ(fleet::PlanLines(plan), c.expected) << c.what;
        EXPECT_EQ(fleet::PlanNames(plan), c.names) << c.what;
    }
}

TEST(DumpDiff, HeaderLineBreaksAndChunkBlanksAreNotChanges) {
    // Other time stamps, CR LF against CR CR LF, a blank line a chunk end left, no final line
    // break.
    auto changes = fleet::CompareDumps(dump("LOAD", {".a=1", ".b=2"}),
                                       "//--- SEND DATA x 99/01/01 00:00:00\r\n&save\r\r\n\r\n"
                                       ".a=1\r\n\r\n.b=2");
    EXPECT_TRUE(changes.empty());
    // A header line further down is the device's text and counts.
    changes = fleet::CompareDumps(dump("LOAD", {}), dump("SEND", {"//--- LOAD DATA z"}));
    EXPECT_EQ(fleet::DiffLines(changes),
              std::vector<std::string>{"added   line: //--- LOAD DATA z"});
    // Arbitrary bytes never break the reading.
    std::string noise;
    for (int i = 0; i < 256; ++i) noise += static_cast<char>(i);
    EXPECT_FALSE(fleet::CompareDumps(noise, noise + "=").empty());
}

TEST(DumpDiff, ChangedNamesListEachVariableOnce) {
    auto changes = fleet::CompareDumps(dump("LOAD", {".r=1", ".r=2", ".a=1", "old"}),
                                       dump("SEND", {".r=3", ".b=1", "new"}));
    EXPECT_EQ(fleet::ChangedNames(changes),
              (std::vector<std::string>{".a", ".b", ".r", "old", "new"}));
    EXPECT_TRUE(fleet::ChangedNames({}).empty());
}

class SendDumpFiles : public ::testing::Test {
protected:
    void write(const std::string& name, const std::string& bytes, int ageSeconds) {
        testsupport::writeBytes(m_dir / name, bytes);
        fs::last_write_time(m_dir / name,
                            fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
    }
    testsupport::ScratchDir m_scratch;
    const fs::path& m_dir = m_scratch.path();
};

TEST_F(SendDumpFiles, OnlyTheDumpsOfTheLastSendAreCompared) {
    const auto since = fs::file_time_type::clock::now() - std::chrono::seconds(30);
    // A check writes only the dump after.
    write("QLX05q2.txt", dump("SEND", {".a=1"}), 10);
    EXPECT_NE(fleet::ReadSendDumps(m_dir, "QLX05").error.find("QLX05q1.txt"), std::string::npos);
    using Kind = fleet::DumpProblem::Kind;
    auto problem = [&] { return fleet::ReadSendDumps(m_dir, "QLX05").problem; };
    EXPECT_EQ(problem().kind, Kind::NoBefore);
    EXPECT_EQ(problem().file, m_dir / "QLX05q1.txt");
    EXPECT_FALSE(fleet::SendChanges(m_dir, "QLX05", since));

    // A send that stopped before its second dump: the dump after is an older session's.
    write("QLX05q1.txt", dump("LOAD", {".a=1"}), 5);
    EXPECT_NE(fleet::ReadSendDumps(m_dir, "QLX05").error.find("older"), std::string::npos);
    EXPECT_EQ(problem().kind, Kind::AfterOlder);
    EXPECT_EQ(problem().file, m_dir / "QLX05q2.txt");
    EXPECT_EQ(problem().other, m_dir / "QLX05q1.txt");
    write("QLX05q2.txt", dump("SEND", {".a=2"}), 60);
    EXPECT_FALSE(fleet::SendChanges(m_dir, "QLX05", since));  // not written since the start

    write("QLX05q2.txt", dump("SEND", {".a=2", ".b=1"}), 1);
    auto dumps = fleet::ReadSendDumps(m_dir, "QLX05");
    EXPECT_EQ(dumps.error, "");
    EXPECT_EQ(dumps.note, "");
    EXPECT_EQ(fleet::DiffLines(fleet::CompareDumps(dumps.before, dumps.after)),
              (std::vector<std::string>{"changed .a: 1 -> 2", "added   .b: 1"}));
    EXPECT_EQ(fleet::SendChanges(m_dir, "QLX05", since), (std::vector<std::string>{".a", ".b"}));

    // A check after the send rewrote the dump after, later than one dialogue lasts.
    write("QLX05q1.txt", dump("LOAD", {".a=1"}), 20);
    dumps = fleet::ReadSendDumps(m_dir, "QLX05");
    EXPECT_EQ(dumps.error, "");
    EXPECT_NE(dumps.note.find("later session"), std::string::npos);
    EXPECT_EQ(dumps.notice.kind, Kind::LaterCheck);
    EXPECT_FALSE(dumps.problem);

    // A file far larger than any dump is not read.
    testsupport::writeBytes(m_dir / "bigq1.txt", "");
    testsupport::writeBytes(m_dir / "bigq2.txt", "");
    fs::resize_file(m_dir / "bigq2.txt", fleet::kMaxDumpBytes + 1);
    EXPECT_NE(fleet::ReadSendDumps(m_dir, "big").error.find("too large"), std::string::npos);
    EXPECT_EQ(fleet::ReadSendDumps(m_dir, "big").problem.kind, Kind::TooLarge);
}

// Records that share a save name write the same dump files: a record is shown only dumps whose
// header names it, never the dumps another record's session left under its name.
TEST_F(SendDumpFiles, ARecordIsShownOnlyDumpsThatNameIt) {
    devlist::DeviceRecord room;
    room.listName = "room";
    room.ipAddress = "127.0.0.5";
    room.macAddress = "00:EE:80:00:00:05";
    auto other = [&](std::string devlist::DeviceRecord::*field, const std::string& value) {
        devlist::DeviceRecord r = room;
        r.*field = value;
        return r;
    };
    using R = devlist::DeviceRecord;
    struct Case {
        const char* what;
        devlist::DeviceRecord owner;
        std::string before;  // "" : the dump as written for room
        bool shown;
    } cases[] = {
        {"the record's own", room, "", true},
        {"a list name that only starts the same", other(&R::listName, "roo"), "", false},
        {"another address", other(&R::ipAddress, "127.0.0.50"), "", false},
        {"another MAC address", other(&R::macAddress, ""), "", false},
        {"a mark line before the header", room, "// cut\r\n" + dump("LOAD", {".a=1"}), true},
        {"no header at all", room, "&save\r\n.a=1\r\n", false},
    };
    for (const Case& c : cases) {
        write("QLXq1.txt", c.before.empty() ? dump("LOAD", {".a=1"}) : c.before, 2);
        write("QLXq2.txt", dump("SEND", {".a=2"}), 1);
        fleet::SendDumps dumps = fleet::ReadSendDumps(m_dir, "QLX", &c.owner);
        EXPECT_EQ(dumps.error.empty(), c.shown) << c.what << ": " << dumps.error;
        EXPECT_EQ(dumps.problem.kind,
                  c.shown ? fleet::DumpProblem::Kind::None : fleet::DumpProblem::Kind::Foreign)
            << c.what;
        EXPECT_EQ(dumps.after.empty(), !c.shown) << c.what;
    }
}

}  // namespace
