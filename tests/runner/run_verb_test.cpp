// check and send in-process against simulated devices: a mixed fleet with a refusal, a busy and
// a silent device, the re-run of exactly the failures, an interrupt in the middle of a run, what
// a send changed (diff and the report's column) and could not serve, every refusal before the
// first device, what went wrong in the middle of a run, and the search.
#include <sys/stat.h>

#include <algorithm>

#include "runner_records.h"
#include "verb_fixture.h"

namespace verbtest {
namespace {

class RunVerb : public VerbTest {
protected:
    void fleet(std::vector<std::string> specs) {
        for (auto& s : specs) s = testsupport::withMac(s);
        devices(specs);
    }
    std::string rec(int no, const std::string& name, int host) const {
        return testsupport::runnerRecord("127.0.0.", no, name, host);
    }
};

TEST_F(RunVerb, MixedFleetThenExactlyTheFailuresAgain) {
    fleet({"127.0.0.81", "127.0.0.82,fault=wrong-password", "127.0.0.83,fault=silent",
           "127.0.0.84,fault=busy", "127.0.0.85"});
    // A name from the list cannot drive the terminal.
    writeList({rec(1, "ok-a", 81), rec(2, "refuse", 82), rec(3, "silent", 83), rec(4, "busy", 84),
               rec(5, "\x1b]0;owned\x07\x1b[31mred", 85)});
    Result first = runner({"check", "--parallel", "3", "--report", "run1.csv"});
    EXPECT_EQ(first.code, 1) << first.errors;
    const std::vector<std::string> expected = {
        text::sj("#000 OK 正常送信"), "#104 NG ID/PASS Login Error", "#404 NG Time Out",
        "#421 NG failure: busy", text::sj("#000 OK 正常送信")};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(message(i), expected[i]) << i;
    EXPECT_NE(first.errors.find("] No.002 refuse 127.0.0.82 #104 NG ID/PASS Login Error"),
              std::string::npos)
        << first.errors;
    EXPECT_NE(first.errors.find("bulk run: 5 device(s) served (succeeded: 2, failed: 3)"),
              std::string::npos);
    EXPECT_EQ(first.errors.find('\x1b'), std::string::npos) << first.errors;
    EXPECT_NE(first.errors.find("No.005 \\x1B]0;owned\\x07\\x1B[31mred 127.0.0.85 #000"),
              std::string::npos);

    // One report row and one transcript per device, failures included.
    auto report = devlist::LineStore::fromFileBytes(readBytes("run1.csv"));
    ASSERT_EQ(report.size(), 6u);
    for (int host = 81; host <= 85; ++host) {
        const fs::path t = fs::path("run1") / ("No00" + std::to_string(host - 80) + "-127.0.0." +
                                               std::to_string(host) + ".txt");
        EXPECT_TRUE(fs::exists(t)) << t;
    }
    EXPECT_NE(readBytes("run1/No002-127.0.0.82.txt").find("Login Incorrect"), std::string::npos);
    EXPECT_TRUE(fs::exists("work/QLX00EE80000081R1.txt"));

    Result again = runner({"check", "--failed", "--parallel", "3", "--report", "run2.json"});
    EXPECT_EQ(again.code, 1) << again.errors;
    const std::string json = readBytes("run2.json");
    for (int no : {2, 3, 4})
        EXPECT_NE(json.find("{\"no\": " + std::to_string(no) + ","), std::string::npos);
    for (int no : {1, 5})
        EXPECT_EQ(json.find("{\"no\": " + std::to_string(no) + ","), std::string::npos);

    // Only the successes: exit 0.
    EXPECT_EQ(runner({"check", "--no", "1,5"}).code, 0);
}

// The first interrupt lets the running device finish and starts no other; a second closes the
// connections. Either way the exit code says the run was interrupted.
TEST_F(RunVerb, AnInterruptLetsTheRunningDeviceFinishAndStartsNoOther) {
    fleet({"127.0.0.86,fault=silent", "127.0.0.87"});
    writeBytes("s.Ini", "[setting]\r\nwait1=0\r\nfile2=common.txt\r\n");
    writeBytes("common.txt", ".sysLocation=hall\r\n");
    struct Case {
        std::vector<uint32_t> at;
        const char* first;  // the silent device's message afterwards
        const char* notServed;
    } cases[] = {{{800}, "#404 NG Time Out", "interrupted, 1 device(s) not served"},
                 {{800, 900}, nullptr, "interrupted, 2 device(s) not served"}};
    for (const auto& c : cases) {
        writeList({rec(1, "silent", 86), rec(2, "later", 87)});
        const std::string before = list()[1];
        m_serving.interruptsAt = c.at;
        Result r = runner({"send"});
        EXPECT_EQ(r.code, 130) << r.errors;
        if (c.first) {
            EXPECT_EQ(message(0), c.first);
        }
        EXPECT_EQ(list()[1], before);  // no new device started
        EXPECT_NE(r.errors.find("stopping after the devices in progress"), std::string::npos);
        EXPECT_NE(r.errors.find(c.notServed), std::string::npos) << r.errors;
    }
}

// A list made by hand has no MAC addresses and each record its own send file: after a first send
// side by side, the report's Changed column and diff read each device's own files; a record
// without its file is passed by and its line left, and a device refused has no dumps to compare.
TEST_F(RunVerb, EachSendShowsWhatItChangedAndWhatItCouldNotServe) {
    devices({"127.0.51.91,mac=00:EE:80:00:51:91,var.trapHost=10.0.0.1",
             "127.0.51.92,fault=wrong-password", "127.0.51.93,mac=", "127.0.51.94"});
    std::vector<std::string> lines;
    for (int host : {91, 92, 93, 94})
        lines.push_back("1,F0000001,r" + std::to_string(host) + ",127.0.51." +
                        std::to_string(host) + ",80,23,,,,admin,plume," +
                        (host == 94 ? "gone.txt" : "change.txt") + ",,");
    writeList(lines);
    writeBytes("s.Ini", "[setting]\r\nwait1=0\r\nfselect=1\r\n");
    writeBytes("change.txt",
               ".ipAdEntNetMask=255.255.0.0\r\n.ntpServer=127.0.0.1\r\nunset .trapHost\r\n");
    Result send = runner({"send", "--all", "--parallel", "3", "--report", "send.json"});
    EXPECT_EQ(send.code, 1) << send.errors;  // the refusal and the missing file
    EXPECT_EQ(message(0), text::sj("#000 OK 正常送信"));
    EXPECT_EQ(list()[3], lines[3]);
    EXPECT_NE(send.errors.find("No.004 r94 127.0.51.94 send file gone.txt is not found."),
              std::string::npos)
        << send.errors;
    const std::string json = readBytes("send.json");
    for (const char* part : {"\"changed\": {\"count\": 3, \"names\": [\".ipAdEntNetMask\", "
                             "\".ntpServer\", \".trapHost\"]}",
                             "\"changed\": {\"count\": 2, \"names\": [\".ipAdEntNetMask\", "
                             "\".ntpServer\"]}",
                             "送信ファイル gone.txt が見つかりません。"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    // Each record's diff finds its own send, or names the dump the refused one never got.
    const std::pair<std::string, std::string> shown[] = {
        {"1",
         "changed .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0\n"
         "added   .ntpServer: 127.0.0.1\n"
         "removed .trapHost: 10.0.0.1\n"},
        {"2", "QLX-No002q1.txt"},
        {"3",
         "changed .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0\n"
         "added   .ntpServer: 127.0.0.1\n"},
    };
    for (const auto& [record, part] : shown) {
        Result diff = runner({"diff", record});
        EXPECT_EQ(diff.code, record == "2" ? 3 : 0) << record << ": " << diff.errors;
        if (record == "2") {
            EXPECT_NE(diff.errors.find(part), std::string::npos) << diff.errors;
        } else {
            EXPECT_EQ(diff.output, part) << record;
        }
    }

    // The same settings again: both dumps agree.
    send = runner({"send", "--no", "1", "--report", "again.csv"});
    ASSERT_EQ(send.code, 0) << send.errors;
    Result diff = runner({"diff", "1"});
    EXPECT_EQ(diff.code, 0) << diff.errors;
    EXPECT_EQ(diff.output, "no change\n");
    EXPECT_TRUE(readBytes("again.csv").ends_with(",0,yes\r\n"));

    // A check writes only the dump after: nothing to compare, and an empty column.
    Result check = runner({"check", "--no", "4", "--report", "check.csv"});
    ASSERT_EQ(check.code, 0) << check.errors;
    EXPECT_TRUE(readBytes("check.csv").ends_with("QLX00EE8000335ER1.txt,,yes\r\n"));
    diff = runner({"diff", "4"});
    EXPECT_EQ(diff.code, 3);
    EXPECT_NE(diff.errors.find("QLX00EE8000335Eq1.txt"), std::string::npos) << diff.errors;
    EXPECT_EQ(runner({"diff", "5"}).code, 2);
}

// Nothing is connected when a place to write is unusable or the settings file or the common send
// file is missing.
TEST_F(RunVerb, UnusablePlacesAreRefusedBeforeTheFirstDevice) {
    // Nobody answers there: a device that was served would end as a time-out in the list.
    writeBytes("afile", "x");
    ::mkfifo("fifo", 0600);
    fs::create_directories("folder");
    fs::create_symlink(m_dir / "list.csv", "link.csv");
    // A list with a second name would part from it at the first result; a search is refused
    // before it opens a port or sends anything.
    enum Obstacle { kNone, kFifoLock, kHardLink, kNoSettings };
    struct Case {
        std::vector<std::string> args;  // after "check", unless they name the command
        int code;
        Obstacle obstacle = kNone;
        const char* said = "";
        const char* settings = "";  // after "wait1=0"
    } cases[] = {
        {{"--work", "afile"}, 3},
        {{"--work", "afile/sub"}, 3},
        {{"--report", "nodir/r.csv"}, 3},
        {{"--report", "folder"}, 3},
        {{"--report", "/dev/full"}, 3},
        {{"--report", "fifo"}, 3},
        {{"--report", "list.csv"}, 2},
        {{"--report", "link.csv"}, 2},
        {{"--report", "s.Ini"}, 2},
        {{"--work", "work"}, 3, kFifoLock, "list.csv.lock is not a plain file"},
        {{"--work", "work"}, 3, kHardLink, "has 2 names (hard links)"},
        {{"search", "--apply", "--own-address", "127.0.0.1"}, 3, kHardLink, "has 2 names"},
        // The common send file missing, or none named.
        {{"send", "--all"}, 3, kNone, "send file nope.txt", "file2=nope.txt\r\n"},
        {{"send", "--all"}, 3, kNone, "send file"},
        {{"--all"}, 3, kNoSettings, "s.Ini"},
    };
    for (const auto& c : cases) {
        fs::remove("other.csv");
        writeBytes("s.Ini", std::string("[setting]\r\nwait1=0\r\n") + c.settings);
        writeList({rec(1, "nobody", 99)});
        fs::remove("list.csv.lock");
        if (c.obstacle == kFifoLock) ::mkfifo("list.csv.lock", 0600);
        if (c.obstacle == kHardLink) fs::create_hard_link("list.csv", "other.csv");
        if (c.obstacle == kNoSettings) fs::remove("s.Ini");
        const std::string before = readBytes("list.csv");
        std::vector<std::string> args = {"check"};
        if (!c.args[0].starts_with("--")) args.clear();
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result r = runner(args);
        EXPECT_EQ(r.code, c.code) << c.args.back() << r.errors;
        EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
        EXPECT_EQ(readBytes("list.csv"), before) << c.args.back();
        EXPECT_NE(r.errors.find(c.said), std::string::npos) << r.errors;
        EXPECT_EQ(fs::hard_link_count("list.csv"), c.obstacle == kHardLink ? 2u : 1u);
    }
    EXPECT_EQ(readBytes("afile"), "x");
    EXPECT_TRUE(m_network.connections().empty());
    EXPECT_TRUE(m_udp.sent.empty());
}

// What went wrong in the middle of a run ends it with 3, says so and shows in the report's counts:
// a work folder that cannot take the first device's dump (no further device is served), a list
// cut to 0 bytes while the device answers (its success never reached the list).
TEST_F(RunVerb, TheReportSaysWhatTheRunServedAndWhatReachedTheList) {
    fleet({"127.0.0.81,slow=300", "127.0.0.82", "127.0.0.83"});
    struct Case {
        bool blockedDump;  // else the list is cut
        std::vector<std::string> said;
        const char* counts;
    } cases[] = {
        {true,
         {"QLX00EE80000081q2.txt: Is a directory"},
         "\"selected\": 3, \"served\": 1, \"ok\": 0, \"failed\": 1, \"unrecorded\": 0}"},
        {false,
         {"bulk run: 1 device(s) served (succeeded: 0, failed: 1)",
          "1 result(s) did not reach the list"},
         "\"selected\": 1, \"served\": 1, \"ok\": 1, \"failed\": 0, \"unrecorded\": 1}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counts);
        fs::remove_all("work");
        if (c.blockedDump) {
            writeList({rec(1, "first", 81), rec(2, "second", 82), rec(3, "third", 83)});
            fs::create_directories("work/QLX00EE80000081q2.txt");
        } else {
            writeList({rec(1, "slow", 81)});
            m_serving.events.push_back({1000, [] { writeBytes("list.csv", ""); }});
        }
        Result r = runner({"check", "--all", "--report", "r.json"});
        EXPECT_EQ(r.code, 3) << r.errors;
        for (const auto& part : c.said)
            EXPECT_NE(r.errors.find(part), std::string::npos) << r.errors;
        EXPECT_EQ(c.blockedDump ? message(0) : readBytes("list.csv"),
                  c.blockedDump ? "#508 NG File Save Error" : "");
        EXPECT_NE(readBytes("r.json").find(c.counts), std::string::npos) << readBytes("r.json");
    }
}

// A run that serves nobody is a mistake in the command line, and says why: the option that
// matched nothing and the records it looked at.
TEST_F(RunVerb, SelectingNothingIsAUsageError) {
    std::string unchecked = rec(4, "d", 91);
    unchecked.replace(unchecked.find("F0000001"), 8, "F0000000");
    const std::vector<std::string> four = {rec(1, "a", 91), rec(2, "b", 91), rec(3, "c", 91),
                                           unchecked};
    std::string done = unchecked + text::sj("#000 OK 正常送信");
    done.replace(done.find("F0000000"), 8, "F0000100");  // group 2
    std::string first = rec(1, "a", 91);
    first.replace(first.find("F0000001"), 8, "F0001001");  // group 1
    struct Case {
        std::vector<std::string> list, args;
        std::string why;
        std::string before = "";  // what the error stream says first
    } cases[] = {
        {four, {"check", "--no", "999"}, "--no 999: the list holds records 1 to 4 only"},
        {four, {"send", "--no", "5-9"}, "--no 5-9: the list holds records 1 to 4 only"},
        {four,
         {"check", "--match", "nowhere"},
         "--match nowhere: none of the 4 records shows that word"},
        {four, {"check", "--group", "2"}, "--group 2: none of the 4 records is in that group"},
        {{first, done},
         {"check", "--group", "1", "--group", "2"},
         "--group 1 --group 2: each option matches records, but no record matches them all"},
        {{unchecked}, {"check"}, "--checked: none of the 1 records is checked"},
        {{unchecked, done}, {"check", "--checked"}, "--checked: none of the 2 records is checked"},
        {{done}, {"send", "--failed"}, "--failed: none of the 1 records has a failed result"},
        {{"x,F0000001,heading"},
         {"check", "--all"},
         "the list holds no record",
         "list.csv: line(s) 1 have no number in the number field (a heading row?): they are not "
         "devices.\n"},
    };
    for (const auto& c : cases) {
        writeList(c.list);
        Result r = runner(c.args);
        EXPECT_EQ(r.code, 2) << c.why;
        EXPECT_EQ(r.errors, c.before + "qlx-setting-cli: no record selected: " + c.why + "\n");
        EXPECT_EQ(readBytes("list.csv"), devlist::LineStore(c.list).toBytes()) << c.why;
    }
}

// The search: each device once, no login, and only --apply stores.
TEST_F(RunVerb, SearchPrintsEachDeviceOnceAndStoresOnlyWhenAsked) {
    devices({"127.0.0.93,mac=00:ee:80:e2:10:93,model=AB12-NODE93",
             "127.0.0.94,mac=00:ee:80:e2:10:94,model=AB12-NODE94"});
    std::string moved = rec(1, "moved", 99);
    moved.replace(moved.find("00:EE:80:00:00:99"), 17, "00:EE:80:E2:10:93");
    writeList({moved});
    const std::string before = readBytes("list.csv");

    Result look = runner({"search", "--own-address", "127.0.0.1"});
    ASSERT_EQ(look.code, 0) << look.errors;
    auto count = [&](const std::string& what) {
        size_t n = 0;
        for (size_t at = look.output.find(what); at != std::string::npos;
             at = look.output.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("found 127.0.0.93 00:EE:80:E2:10:93 AB12-NODE93"), 1u) << look.output;
    EXPECT_EQ(count("found 127.0.0.94 00:EE:80:E2:10:94 AB12-NODE94"), 1u) << look.output;
    EXPECT_EQ(count("admin"), 0u) << look.output;
    EXPECT_EQ(count("plume"), 0u) << look.output;
    EXPECT_EQ(count("No.001 would change: address 127.0.0.99 -> 127.0.0.93\n"), 1u) << look.output;
    EXPECT_EQ(count("would be added: 127.0.0.94 00:EE:80:E2:10:94 AB12-NODE94\n"), 1u)
        << look.output;
    EXPECT_EQ(readBytes("list.csv"), before);

    look = runner({"search", "--own-address", "127.0.0.1", "--apply"});
    ASSERT_EQ(look.code, 0) << look.errors;
    EXPECT_EQ(count("No.001 changes: address 127.0.0.99 -> 127.0.0.93\n"), 1u) << look.output;
    EXPECT_EQ(devlist::FieldGet(devlist::kIpAddress, list()[0]), "127.0.0.93");
}

}  // namespace
}  // namespace verbtest
