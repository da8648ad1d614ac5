// The fleet core without a network: which records a run serves, what a result does to a
// record line, which send file a device gets, the report files and the run's settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "file_bytes.h"
#include "fleet/result_rule.h"
#include "fleet/run_report.h"
#include "fleet/run_settings.h"
#include "fleet/selection.h"
#include "fleet/send_file.h"
#include "scratch_dir.h"
#include "session/session_state.h"
#include "text/cp932.h"

namespace {

using devlist::LineStore;
using fleet::Outcome;

std::string rec(int no, const std::string& flags, const std::string& name, const std::string& ip,
                const std::string& message) {
    char num[8];
    std::snprintf(num, sizeof num, "%03d", no);
    return std::string(num) + "," + flags + "," + name + "," + ip + ",80,23,00:ee:80:00:00:0" +
           std::to_string(no % 10) + ",,,admin,plume,defalt.txt,," + message;
}

LineStore fleetList() {
    return LineStore(std::vector<std::string>{
        rec(1, "F0001001", "alpha", "127.0.0.1", "#000 OK"),          // checked, group 1
        rec(2, "F0000100", "beta", "127.0.0.2", "#404 NG Time Out"),  // group 2
        rec(3, "F0000011", "gamma", "127.0.0.3", ""),                 // checked, group 3
        rec(4, "F0000001", "delta", "127.0.0.4", "#104 NG ID/PASS Login Error"),
        rec(5, "F0000000", "room-a", "10.1.1.5", "#000 OK"),
    });
}

TEST(Selection, OptionsNarrowTheRecordsServed) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> options;
        std::vector<int> expected;  // record numbers
    } cases[] = {
        {{}, {1, 3, 4}},  // the checked ones by default
        {{{"--checked", ""}}, {1, 3, 4}},
        {{{"--all", ""}}, {1, 2, 3, 4, 5}},
        {{{"--group", "2"}}, {2}},
        {{{"--group", "1"}, {"--checked", ""}}, {1}},
        {{{"--no", "2,4-5"}}, {2, 4, 5}},
        {{{"--no", "1-4"}, {"--group", "3"}}, {3}},
        // --failed and --match select on their own, from every record; a further option narrows.
        {{{"--failed", ""}}, {2, 3, 4}},
        {{{"--failed", ""}, {"--checked", ""}}, {3, 4}},
        {{{"--all", ""}, {"--failed", ""}}, {2, 3, 4}},
        {{{"--match", "room"}}, {5}},
        {{{"--match", "a"}, {"--group", "1"}}, {1}},
        {{{"--no", "5-9"}}, {5}},
        {{{"--no", "6-9"}}, {}},
        {{{"--all", ""}, {"--match", "127.0.0"}}, {1, 2, 3, 4}},
        {{{"--all", ""}, {"--match", "room"}, {"--match", "10.1"}}, {5}},
        {{{"--all", ""}, {"--match", "plume"}}, {}},  // the password is never shown
        {{{"--all", ""}, {"--match", "005"}}, {5}},   // the shown number matches
    };
    for (const auto& c : cases) {
        fleet::Selection s;
        std::string label;
        for (const auto& [option, value] : c.options) {
            label += option + " " + value + " ";
            ASSERT_EQ(fleet::AddSelectionOption(s, option, value), "") << label;
        }
        std::vector<int> numbers;
        for (int i : fleet::Select(s, fleetList())) numbers.push_back(i + 1);
        EXPECT_EQ(numbers, c.expected) << label;
    }
}

TEST(Selection, SaysWhatItSelected) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> options;
        std::string text;
    } cases[] = {
        {{}, "--checked"},
        {{{"--all", ""}, {"--failed", ""}}, "--all --failed"},
        {{{"--no", "3,7-12"}, {"--match", "room a"}}, "--no 3,7-12 --match room a"},
    };
    for (const auto& c : cases) {
        fleet::Selection s;
        for (const auto& [option, value] : c.options) fleet::AddSelectionOption(s, option, value);
        EXPECT_EQ(fleet::SelectionText(s), c.text);
    }
}

TEST(Selection, RefusesMalformedValues) {
    for (const auto& [option, value] :
         std::vector<std::pair<std::string, std::string>>{{"--group", "4"},
                                                          {"--group", ""},
                                                          {"--no", "3,"},
                                                          {"--no", "7-3"},
                                                          {"--no", "0"},
                                                          {"--no", "1000"},
                                                          {"--no", "a"},
                                                          {"--match", ""}}) {
        fleet::Selection s;
        EXPECT_NE(fleet::AddSelectionOption(s, option, value), "") << option << " " << value;
    }
}

TEST(ResultRule, ChangesOnlyTheResultFields) {
    const std::string line =
        "003,F0000001,gamma,127.0.0.3,80,23,00:ee:80:00:00:03,V1,N1,admin,"
        "plume,defalt.txt,2020/01/01 00:00:00,old,QLXsave";
    const std::string stamp = "2024/05/06 07:08:09";
    // The line with the stamp, message and the MAC address, version and name given.
    auto after = [&](const std::string& message,
                     const std::string& values = "00:ee:80:00:00:03,V1,N1") {
        return "003,F0000001,gamma,127.0.0.3,80,23," + values + ",admin,plume,defalt.txt," + stamp +
               "," + message + ",QLXsave";
    };
    const std::string okText = text::sj("#000 OK 正常送信");
    struct Case {
        const char* what;
        Outcome outcome;
        std::string expected;
    } cases[] = {
        {"success with values",
         {session::kResultOk, "", false, "V2 x", "00:11:22:33:44:55", "ROOM-A", stamp},
         after(okText, "00:11:22:33:44:55,V2 x,ROOM-A")},
        {"success with reset",
         {session::kResultOk, "", true, {}, {}, {}, stamp},
         after(okText + "(CPURESET)")},
        {"time-out ignores the reset",
         {session::kResultTimeOut, "", true, {}, {}, {}, stamp},
         after("#404 NG Time Out")},
        {"login error",
         {session::kResultLoginError, "", false, {}, {}, {}, stamp},
         after("#104 NG ID/PASS Login Error")},
        {"in use",
         {session::kResultExists, "", false, {}, {}, {}, stamp},
         after("#108 NG already exists.")},
        {"failure text made safe",
         {session::kResultFailure, "failure: a,b\r\nc", false, {}, {}, {}, stamp},
         after("#421 NG failure: a b  c")},
        // The line break the reply ended with leaves no blanks behind, whatever it was.
        {"failure text without its line break",
         {session::kResultFailure, "failure: busy\r\n", false, {}, {}, {}, stamp},
         after("#421 NG failure: busy")},
        {"failure text of blanks only",
         {session::kResultFailure, "\r\n\t ", false, {}, {}, {}, stamp},
         after("#421 NG")},
        {"pending keeps the message",
         {session::kResultPending, "", false, {}, {}, {}, stamp},
         after("old")},
        {"hostile values bounded",
         {session::kResultOk, "", false, std::string(200, 'v'), "a,b\nc",
          "n\x01"
          "e",
          stamp},
         after(okText, "a b c," + std::string(32, 'v') + ",n e")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fleet::ApplyOutcome(line, c.outcome), c.expected) << c.what;

    // A short line gets its missing fields first.
    Outcome ok{session::kResultOk, "", false, {}, {}, {}, stamp};
    EXPECT_EQ(fleet::ApplyOutcome("001,F0000001,x", ok),
              "001,F0000001,x,,,,,,,,,,2024/05/06 07:08:09," + text::sj("#000 OK 正常送信"));
}

// The window numbers every record it writes by its place; a runner keeps the file's number unless
// something before ",F" would shift the fields.
TEST(ResultRule, NumbersARecordByPlaceOnlyWhereItsWriterDoes) {
    using fleet::Numbering;
    const Outcome ok{session::kResultOk, "", false, {}, {}, {}, "2024/05/06 07:08:09"};
    const std::string tail = ",,,,,,,,,,2024/05/06 07:08:09," + text::sj("#000 OK 正常送信");
    struct Case {
        const char* line;
        Numbering numbering;
        std::string expected;  // at place 1
    } cases[] = {
        {"003,F0000001,x", Numbering::KeepNumber, "003,F0000001,x" + tail},
        {"003,F0000001,x", Numbering::ByPlace, "002,F0000001,x" + tail},
        {"7,F0000001,x", Numbering::KeepNumber, "7,F0000001,x" + tail},
        {"a,003,F0000001,x", Numbering::KeepNumber, "002,F0000001,x" + tail},
        {"a,003,F0000001,x", Numbering::ByPlace, "002,F0000001,x" + tail},
        {"003,G0000001,x", Numbering::KeepNumber, "002,," + tail},
        {"003,G0000001,x", Numbering::ByPlace, "003,G0000001,x" + tail},
    };
    for (const auto& c : cases)
        EXPECT_EQ(fleet::ResultLine(c.line, 1, ok, c.numbering), c.expected) << c.line;
}

// Which settings file a device is sent, by the send method: the common one or the record's own.
// A send without it is refused with the reason; a check streams no file and needs none.
TEST(SendFile, TheMethodChoosesTheFileAndOnlyASendNeedsIt) {
    const testsupport::ScratchDir dir;
    const std::string there = (dir / "there.txt").string();
    testsupport::writeBytes(there, "L1\r\nL2\r\n");
    struct Case {
        int method;
        std::string common, own;
        bool check;
        const char* missing;  // the path the refusal names; nullptr: none
        size_t lines;
    } cases[] = {
        {0, there, "gone.txt", false, nullptr, 2},    {1, "gone.txt", there, false, nullptr, 2},
        {0, "nope.txt", there, false, "nope.txt", 0}, {0, "", there, false, "", 0},
        {1, there, "gone.txt", false, "gone.txt", 0}, {1, there, "", false, "", 0},
        {1, there, "gone.txt", true, nullptr, 0},     {0, "", there, true, nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.method) + " " + c.common + " " + c.own);
        const fleet::SendFileLoad load =
            fleet::LoadSendFile(fleet::SendFilePath(c.method, c.common, c.own), c.check);
        EXPECT_EQ(load.missing, c.missing ? text::sj("送信ファイル ") + c.missing +
                                                text::sj(" が見つかりません。")
                                          : "");
        EXPECT_EQ(load.lines.lines.size(), c.lines);
    }
}

TEST(RunReport, CsvAndJsonGolden) {
    fleet::ReportRow r;
    r.number = 17;
    r.name = text::sj("会議室B");
    r.address = "127.0.0.18";
    r.port = 23;
    r.start = {2024, 5, 6, 7, 8, 9};
    r.end = {2024, 5, 6, 7, 8, 10};
    r.durationMs = 1234;
    r.message = text::sj("#000 OK 正常送信");
    r.files = {"QLXq2.txt", "QLXR1.txt"};
    r.recorded = true;
    fleet::ReportRow f = r;
    f.recorded = false;
    f.number = 18;
    f.name = "a,\"b\"";
    f.message = "#421 NG failure: busy";
    f.files = {};
    f.changed = std::vector<std::string>{".sysName", text::sj("機器")};
    EXPECT_EQ(fleet::ReportCsv({r, f}),
              "No,Name,Address,Port,Start,End,Seconds,Code,Result,Files,Changed,Recorded\r\n"
              "017," +
                  text::sj("会議室B") +
                  ",127.0.0.18,23,2024/05/06 07:08:09,2024/05/06 07:08:10,1.234,000,OK " +
                  text::sj("正常送信") +
                  ",QLXq2.txt;QLXR1.txt,,yes\r\n"
                  "018,\"a,\"\"b\"\"\",127.0.0.18,23,2024/05/06 07:08:09,2024/05/06 07:08:10,"
                  "1.234,421,NG failure: busy,,2: .sysName;" +
                  text::sj("機器") + ",no\r\n");
    fleet::RunSummary run{"check",
                          "--all --match " + text::sj("会議"),
                          {2024, 5, 6, 7, 8, 0, 32400},
                          {2024, 5, 6, 7, 9, 0, 32400},
                          3,
                          1,
                          1,
                          0,
                          "1.0"};
    r.start.utcOffsetSeconds = r.end.utcOffsetSeconds = 32400;
    f.start.utcOffsetSeconds = f.end.utcOffsetSeconds = -18000;
    EXPECT_EQ(
        fleet::ReportJson(run, {r, f}),
        "{\n  \"run\": {\"verb\": \"check\", \"selection\": \"--all --match 会議\", "
        "\"start\": \"2024-05-06T07:08:00+09:00\", \"end\": \"2024-05-06T07:09:00+09:00\", "
        "\"counts\": {\"selected\": 3, \"served\": 2, \"ok\": 1, \"failed\": 1, "
        "\"unrecorded\": 0}, \"version\": \"1.0\"},\n  \"devices\": [\n"
        "    {\"no\": 17, \"name\": \"会議室B\", \"address\": \"127.0.0.18\", \"port\": 23, "
        "\"start\": \"2024-05-06T07:08:09+09:00\", \"end\": \"2024-05-06T07:08:10+09:00\", "
        "\"seconds\": 1.234, \"code\": \"000\", \"result\": \"OK 正常送信\", \"ok\": true, "
        "\"files\": "
        "[\"QLXq2.txt\", \"QLXR1.txt\"], \"changed\": null, \"recorded\": true},\n"
        "    {\"no\": 18, \"name\": \"a,\\\"b\\\"\", \"address\": \"127.0.0.18\", \"port\": 23, "
        "\"start\": \"2024-05-06T07:08:09-05:00\", \"end\": \"2024-05-06T07:08:10-05:00\", "
        "\"seconds\": 1.234, \"code\": \"421\", \"result\": \"NG failure: busy\", "
        "\"ok\": false, "
        "\"files\": [], \"changed\": {\"count\": 2, \"names\": [\".sysName\", \"機器\"]}, "
        "\"recorded\": false}\n  "
        "]\n}\n");
    EXPECT_EQ(fleet::ReportJson(run, {}).substr(fleet::ReportJson(run, {}).find("\"devices\"")),
              "\"devices\": []\n}\n");
    // A send that changed nothing says so; only a row without a send's dumps stays empty.
    EXPECT_EQ(fleet::ChangedColumn(std::vector<std::string>{}), "0");
    EXPECT_EQ(fleet::ChangedColumn(std::nullopt), "");
    // A run that records nothing in the list (a plan) leaves the column empty.
    EXPECT_EQ(fleet::RecordedColumn(std::nullopt), "");
    EXPECT_TRUE(fleet::IsJsonReport("x/run.JSON"));
    EXPECT_EQ(fleet::TranscriptFolder("x/run.csv"), std::filesystem::path("x/run"));
    EXPECT_EQ(fleet::TranscriptName(3, "../x"), "No003-___x.txt");
}

// Whatever a device or the list holds, the CSV opens in a spreadsheet as text: valid code page
// 932, no formula, the changed names told apart.
TEST(RunReport, CsvFieldsASpreadsheetCanTrust) {
    struct Case {
        std::string name, message;
        std::vector<std::string> changed;
        std::string row;  // Name, Code, Result, Files, Changed
    } cases[] = {
        {"=HYPERLINK(\"x\")", "#000 OK", {}, "\"'=HYPERLINK(\"\"x\"\")\",000,OK,,0"},
        {"+1", "#421 NG failure: -x", {}, "'+1,421,NG failure: -x,,0"},
        {"-2", "@SUM(A1)", {}, "'-2,,'@SUM(A1),,0"},  // a message without a code
        {"@me", "#421 NG failure: \x80\xff", {}, "'@me,421,NG failure: ??,,0"},
        {"a\x82", "#404 NG Time Out", {}, "a?,404,NG Time Out,,0"},
        {"x", "#000 OK", {"a;b", "c", "d\"e"}, "x,000,OK,,\"3: \"\"a;b\"\";c;\"\"d\"\"\"\"e\"\"\""},
    };
    for (const auto& c : cases) {
        fleet::ReportRow r;
        r.number = 1;
        r.name = c.name;
        r.address = "127.0.0.1";
        r.message = c.message;
        r.changed = c.changed;
        std::string csv = fleet::ReportCsv({r});
        csv = csv.substr(csv.find("\r\n") + 2);
        const size_t name = c.row.find(',');
        EXPECT_EQ(csv, "001," + c.row.substr(0, name) +
                           ",127.0.0.1,0,2000/01/01 00:00:00,2000/01/01 00:00:00,0.000" +
                           c.row.substr(name) + ",\r\n")  // no Recorded: nothing recorded
            << c.name;
        EXPECT_EQ(text::decode(csv, "#").find('#'), std::string::npos) << c.name;
    }
}

TEST(RunSettings, ReadsTheWindowsKeysWithItsRules) {
    auto s = fleet::ReadRunSettings(
        "[other]\r\nwait1=9\r\n[SETTING]\r\n WAIT1 = 5 \r\nlistcsv=\"my list.csv\"\r\n"
        "fselect=7\r\nchk2=0\r\nchk3=0x2\r\nchk6=yes\r\nfile2=c.txt\r\nPace = "
        "prompt\r\n[setting]\r\n"
        "chk7=1\r\n");
    EXPECT_EQ(s.endWait, "5");
    EXPECT_EQ(s.listFile, "my list.csv");
    EXPECT_EQ(s.sendMethod, 1);
    EXPECT_FALSE(s.setTime);
    EXPECT_TRUE(s.registerName);
    EXPECT_TRUE(s.write);      // not a number: the default
    EXPECT_FALSE(s.cpuReset);  // only the first section counts
    EXPECT_EQ(s.commonSendFile, "c.txt");
    EXPECT_EQ(s.pace, session::Pace::Prompt);
    auto o = fleet::ReadRunSettings("[setting]\r\nwait1=x5\r\nchk4=1\r\nchk6=0\r\n");
    EXPECT_EQ(o.endWait, "x5");  // a text stays as it stands
    EXPECT_TRUE(o.registerIp);
    EXPECT_FALSE(o.write);
    EXPECT_EQ(fleet::ReadRunSettings("[setting]\r\npace=fast\r\n").pace,
              session::Pace::Prescribed);  // unknown: the window's own pace
    auto d = fleet::ReadRunSettings("");
    EXPECT_EQ(d.pace, session::Pace::Prescribed);
    EXPECT_EQ(d.listFile, "list.csv");
    EXPECT_EQ(d.endWait, "2");
}

}  // namespace
