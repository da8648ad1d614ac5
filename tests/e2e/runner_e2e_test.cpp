// qlx-setting-cli as operators run it, against qlx-devsim on loopback: a mixed fleet with a
// refusal, a busy and a silent device, the re-run of exactly the failures, Ctrl-C in the middle
// of a run, the exit codes, and what a send changed (diff and the report's column).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "devlist/line_store.h"
#include "devsim_process.h"
#include "file_bytes.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readBytes;
using testsupport::writeBytes;

constexpr int kRunnerPort = 2391;

// net: "127.0.N.", the loopback range of one test, so that tests run side by side.
std::string rec(const std::string& net, int no, const std::string& name, int host) {
    char num[8];
    std::snprintf(num, sizeof num, "%03d", no);
    return std::string(num) + ",F0000001," + name + "," + net + std::to_string(host) + ",80," +
           std::to_string(kRunnerPort) + ",00:EE:80:00:00:" + std::to_string(host) +
           ",,,admin,plume,defalt.txt,,";
}

// The MAC address the device would report on 127.0.0.x, whatever the test's range: a send
// records it, and the save name (the dump files' names) follows it.
std::string withMac(const std::string& device) {
    if (device.find("mac=") != std::string::npos) return device;
    const std::string address = device.substr(0, device.find(','));
    const int host = std::stoi(address.substr(address.rfind('.') + 1));
    char mac[32];
    std::snprintf(mac, sizeof mac, ",mac=00:EE:80:00:00:%02X", host);
    return device + mac;
}

struct Result {
    int code = -1;
    std::string errors;  // standard error, UTF-8
    std::string output;  // standard output, UTF-8
};

class RunnerE2e : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-runner-XXXXXX";
        m_dir = mkdtemp(tmpl);
        writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\n");
    }
    void TearDown() override {
        m_sim.stop();
        fs::remove_all(m_dir);
    }

    void startFleet(const std::vector<std::string>& devices) {
        std::vector<std::string> args = {"--no-search", "--port", std::to_string(kRunnerPort)};
        for (const auto& d : devices) args.insert(args.end(), {"--device", withMac(d)});
        ASSERT_TRUE(m_sim.start(args, static_cast<int>(devices.size()))) << m_sim.errors();
    }
    void writeList(const std::vector<std::string>& lines) {
        writeBytes(m_dir / "list.csv", devlist::LineStore(lines).toBytes());
    }
    devlist::LineStore list() {
        return devlist::LineStore::fromFileBytes(readBytes(m_dir / "list.csv"));
    }
    std::string message(size_t line) { return devlist::FieldGet(devlist::kMessage, list()[line]); }

    // Runs the program in the test folder; interruptAfterMs > 0 sends the signal then.
    Result runner(std::vector<std::string> args, int interruptAfterMs = 0, int signal = SIGINT) {
        QStringList list;
        for (const auto& a : args) list << QString::fromStdString(a);
        for (const char* a : {"--list", "list.csv", "--ini", "s.Ini"}) list << QString::fromUtf8(a);
        if (std::find(args.begin(), args.end(), "--work") == args.end())
            list << QStringLiteral("--work") << QStringLiteral("work");
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(m_dir.string()));
        p.start(QStringLiteral(QLX_RUNNER_PATH), list);
        Result r;
        if (!p.waitForStarted(5000)) return r;
        if (interruptAfterMs > 0) {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < interruptAfterMs) p.waitForFinished(20);
            ::kill(static_cast<pid_t>(p.processId()), signal);
        }
        p.waitForFinished(60000);
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.errors = p.readAllStandardError().toStdString();
        r.output = p.readAllStandardOutput().toStdString();
        return r;
    }

    std::string rec(int no, const std::string& name, int host) const {
        return ::rec(m_net, no, name, host);
    }

    fs::path m_dir;
    e2e::DevSim m_sim;
    // The search answers on 127.0.0.255 only; every other test sets a range of its own.
    std::string m_net = "127.0.0.";
};

TEST_F(RunnerE2e, MixedFleetThenExactlyTheFailuresAgain) {
    m_net = "127.0.30.";
    startFleet({"127.0.30.81", "127.0.30.82,fault=wrong-password", "127.0.30.83,fault=silent",
                "127.0.30.84,fault=busy", "127.0.30.85"});
    writeList({rec(1, "ok-a", 81), rec(2, "refuse", 82), rec(3, "silent", 83), rec(4, "busy", 84),
               rec(5, "ok-b", 85)});
    Result first = runner({"check", "--parallel", "3", "--report", "run1.csv"});
    EXPECT_EQ(first.code, 1) << first.errors;
    const std::vector<std::string> expected = {
        text::sj("#000 OK 正常送信"), "#104 NG ID/PASS Login Error", "#404 NG Time Out",
        "#421 NG failure: busy", text::sj("#000 OK 正常送信")};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(message(i), expected[i]) << i;
    EXPECT_NE(first.errors.find("] No.002 refuse 127.0.30.82 #104 NG ID/PASS Login Error"),
              std::string::npos)
        << first.errors;
    EXPECT_NE(first.errors.find("bulk run: 5 device(s) served (succeeded: 2, failed: 3)"),
              std::string::npos);

    // One report row and one transcript per device, failures included.
    auto report = devlist::LineStore::fromFileBytes(readBytes(m_dir / "run1.csv"));
    ASSERT_EQ(report.size(), 6u);
    for (int host = 81; host <= 85; ++host) {
        auto t =
            m_dir / "run1" /
            ("No00" + std::to_string(host - 80) + "-127.0.30." + std::to_string(host) + ".txt");
        EXPECT_TRUE(fs::exists(t)) << t;
    }
    EXPECT_NE(readBytes(m_dir / "run1" / "No002-127.0.30.82.txt").find("Login Incorrect"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(m_dir / "work" / "QLX00EE80000081R1.txt"));

    Result again = runner({"check", "--failed", "--parallel", "3", "--report", "run2.json"});
    EXPECT_EQ(again.code, 1) << again.errors;
    const std::string json = readBytes(m_dir / "run2.json");
    for (int no : {2, 3, 4})
        EXPECT_NE(json.find("{\"no\": " + std::to_string(no) + ","), std::string::npos);
    for (int no : {1, 5})
        EXPECT_EQ(json.find("{\"no\": " + std::to_string(no) + ","), std::string::npos);

    // Only the successes: exit 0.
    Result ok = runner({"check", "--no", "1,5"});
    EXPECT_EQ(ok.code, 0) << ok.errors;
}

TEST_F(RunnerE2e, CtrlCLetsTheRunningDeviceFinishAndStartsNoOther) {
    m_net = "127.0.31.";
    startFleet({"127.0.31.86,fault=silent", "127.0.31.87"});
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfile2=common.txt\r\n");
    writeBytes(m_dir / "common.txt", ".sysLocation=hall\r\n");
    // A terminal or ssh session that goes away stops the run as Ctrl-C does.
    for (int signal : {SIGINT, SIGHUP}) {
        writeList({rec(1, "silent", 86), rec(2, "later", 87)});
        const std::string before = list()[1];
        Result r = runner({"send"}, 800, signal);
        EXPECT_EQ(r.code, 130) << signal << r.errors;
        EXPECT_EQ(message(0), "#404 NG Time Out");  // the running dialogue ended and was recorded
        EXPECT_EQ(list()[1], before);               // no new device started
    }
}

// The prompt pace, from the command line or the settings file, over the real loop and sockets:
// the same results and values as the prescribed pace.
TEST_F(RunnerE2e, PromptPaceRecordsWhatThePrescribedPaceRecords) {
    startFleet({"127.0.0.91", "127.0.0.92,fault=wrong-password", "127.0.0.93,fault=busy",
                "127.0.0.94,fault=in-use", "127.0.0.95,name=ROOM-95"});
    const std::vector<std::string> records = {rec(1, "a", 91), rec(2, "b", 92), rec(3, "c", 93),
                                              rec(4, "d", 94), rec(5, "e", 95)};
    auto fields = [this] {
        std::vector<std::string> out;
        const devlist::LineStore store = list();
        for (const auto& line : store.lines()) {
            std::string f;
            for (int k : {devlist::kMacAddress, devlist::kModelVersion, devlist::kDeviceName,
                          devlist::kMessage})
                f += devlist::FieldGet(k, line) + "|";
            out.push_back(f);
        }
        return out;
    };
    writeList(records);
    Result prescribed = runner({"check", "--all", "--parallel", "5"});
    EXPECT_EQ(prescribed.code, 1) << prescribed.errors;
    const auto expected = fields();
    EXPECT_EQ(expected[4],
              "00:EE:80:00:00:5F|1.05a 240331|ROOM-95|" + text::sj("#000 OK 正常送信") + "|");
    for (bool fromSettings : {false, true}) {
        writeList(records);
        if (fromSettings) writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\npace=prompt\r\n");
        Result prompt =
            runner(fromSettings ? std::vector<std::string>{"check", "--all", "--parallel", "5"}
                                : std::vector<std::string>{"check", "--all", "--parallel", "5",
                                                           "--pace", "prompt"});
        EXPECT_EQ(prompt.code, 1) << prompt.errors;
        EXPECT_EQ(fields(), expected) << fromSettings;
    }
}

TEST_F(RunnerE2e, ExitCodesForUsageAndUnreadableFiles) {
    m_net = "127.0.32.";
    writeList({rec(1, "a", 88)});
    EXPECT_EQ(runner({"check", "--group", "5"}).code, 2);
    EXPECT_EQ(runner({"frobnicate"}).code, 2);
    EXPECT_EQ(runner({"check", "--parallel", "129"}).code, 2);
    EXPECT_EQ(runner({"check", "--pace", "fast"}).code, 2);
    writeBytes(m_dir / "list.csv", "No,Name\r\n");
    EXPECT_EQ(runner({"check"}).code, 3);
    EXPECT_EQ(readBytes(m_dir / "list.csv"), "No,Name\r\n");
    fs::remove(m_dir / "s.Ini");
    writeList({rec(1, "a", 88)});
    EXPECT_EQ(runner({"check"}).code, 3);  // the settings file named is missing
}

TEST_F(RunnerE2e, DiffShowsWhatTheLastSendChanged) {
    m_net = "127.0.33.";
    startFleet({"127.0.33.89,var.trapHost=10.0.0.1", "127.0.33.90"});
    // The MAC addresses the devices report, so that the files keep their names after the run.
    std::string room = rec(1, "room", 89), hall = rec(2, "hall", 90);
    room.replace(room.find(":00:89,"), 7, ":00:59,");
    hall.replace(hall.find(":00:90,"), 7, ":00:5A,");
    writeList({room, hall});
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfselect=0\r\nfile2=change.txt\r\n");
    writeBytes(m_dir / "change.txt",
               ".ipAdEntNetMask=255.255.0.0\r\n.ntpServer=127.0.0.1\r\nunset .trapHost\r\n");

    Result send = runner({"send", "--no", "1", "--report", "send.json"});
    ASSERT_EQ(send.code, 0) << send.errors;
    Result diff = runner({"diff", "1"});
    EXPECT_EQ(diff.code, 0) << diff.errors;
    EXPECT_EQ(diff.output,
              "changed .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0\n"
              "added   .ntpServer: 127.0.0.1\n"
              "removed .trapHost: 10.0.0.1\n");
    EXPECT_NE(readBytes(m_dir / "send.json")
                  .find("\"changed\": {\"count\": 3, \"names\": [\".ipAdEntNetMask\", "
                        "\".ntpServer\", \".trapHost\"]}"),
              std::string::npos);

    // The same settings again: both dumps agree.
    send = runner({"send", "--no", "1", "--report", "again.csv"});
    ASSERT_EQ(send.code, 0) << send.errors;
    diff = runner({"diff", "1"});
    EXPECT_EQ(diff.code, 0) << diff.errors;
    EXPECT_EQ(diff.output, "no change\n");
    EXPECT_TRUE(readBytes(m_dir / "again.csv").ends_with(",0,yes\r\n"));

    // A check writes only the dump after: nothing to compare, and an empty column.
    Result check = runner({"check", "--no", "2", "--report", "check.csv"});
    ASSERT_EQ(check.code, 0) << check.errors;
    EXPECT_TRUE(readBytes(m_dir / "check.csv").ends_with("QLX00EE8000005AR1.txt,,yes\r\n"));
    diff = runner({"diff", "2"});
    EXPECT_EQ(diff.code, 3);
    EXPECT_NE(diff.errors.find("QLX00EE8000005Aq1.txt"), std::string::npos) << diff.errors;
    EXPECT_EQ(runner({"diff", "3"}).code, 2);
    EXPECT_EQ(runner({"diff"}).code, 2);
}

TEST_F(RunnerE2e, ASendWithoutItsSettingsFileServesNobodyItCannotServe) {
    m_net = "127.0.34.";
    startFleet({"127.0.34.91", "127.0.34.92"});
    writeBytes(m_dir / "own.txt", ".sysLocation=hall\r\n");
    std::string served = rec(1, "served", 91), skipped = rec(2, "skipped", 92);
    served.replace(served.find("defalt.txt"), 10, "own.txt");
    skipped.replace(skipped.find("defalt.txt"), 10, "gone.txt");

    // The common file missing, or none named: refused before any device is connected.
    for (const char* common : {"file2=nope.txt\r\n", ""}) {
        writeBytes(m_dir / "s.Ini", std::string("[setting]\r\nwait1=0\r\n") + common);
        writeList({served, skipped});
        const std::string before = readBytes(m_dir / "list.csv");
        Result r = runner({"send", "--all"});
        EXPECT_EQ(r.code, 3) << r.errors;
        EXPECT_NE(r.errors.find("send file"), std::string::npos) << r.errors;
        EXPECT_EQ(readBytes(m_dir / "list.csv"), before);
    }

    // A record's own file missing: the others are served, its line stays, its row says why.
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfselect=1\r\n");
    writeList({served, skipped});
    Result r = runner({"send", "--all", "--report", "send.csv"});
    EXPECT_EQ(r.code, 1) << r.errors;
    EXPECT_EQ(message(0), text::sj("#000 OK 正常送信"));
    EXPECT_EQ(list()[1], skipped);
    const std::string reason = text::sj("送信ファイル gone.txt が見つかりません。");
    EXPECT_NE(readBytes(m_dir / "send.csv").find(reason), std::string::npos);
    EXPECT_NE(r.errors.find("No.002 skipped 127.0.34.92 send file gone.txt is not found."),
              std::string::npos)
        << r.errors;
}

TEST_F(RunnerE2e, UnusablePlacesAreRefusedBeforeTheFirstDevice) {
    m_net = "127.0.35.";
    // Nobody listens there: a device that was served would end as a time-out in the list.
    writeBytes(m_dir / "afile", "x");
    ::mkfifo((m_dir / "fifo").c_str(), 0600);
    fs::create_directories(m_dir / "folder");
    fs::create_symlink(m_dir / "list.csv", m_dir / "link.csv");
    // A list with a second name would part from it at the first result; a search is refused
    // before it opens a port or sends anything.
    enum Obstacle { kNone, kFifoLock, kHardLink };
    struct Case {
        std::vector<std::string> args;  // after "check", unless they name the command
        int code;
        Obstacle obstacle = kNone;
        const char* said = "";
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
    };
    for (const auto& c : cases) {
        fs::remove(m_dir / "other.csv");
        writeList({rec(1, "nobody", 99)});
        fs::remove(m_dir / "list.csv.lock");
        if (c.obstacle == kFifoLock) ::mkfifo((m_dir / "list.csv.lock").c_str(), 0600);
        if (c.obstacle == kHardLink) fs::create_hard_link(m_dir / "list.csv", m_dir / "other.csv");
        const std::string before = readBytes(m_dir / "list.csv");
        std::vector<std::string> args = {"check"};
        if (!c.args[0].starts_with("--")) args.clear();
        args.insert(args.end(), c.args.begin(), c.args.end());
        Result r = runner(args);
        EXPECT_EQ(r.code, c.code) << c.args.back() << r.errors;
        EXPECT_EQ(std::count(r.errors.begin(), r.errors.end(), '\n'), 1) << r.errors;
        EXPECT_EQ(readBytes(m_dir / "list.csv"), before) << c.args.back();
        EXPECT_NE(r.errors.find(c.said), std::string::npos) << r.errors;
        EXPECT_EQ(fs::hard_link_count(m_dir / "list.csv"), c.obstacle == kHardLink ? 2u : 1u);
    }
    EXPECT_EQ(readBytes(m_dir / "afile"), "x");
}

// The work folder cannot take the first device's dump: the run exits 3 naming the file and why.
TEST_F(RunnerE2e, AFailedSaveStopsTheRunAndNamesItsFile) {
    m_net = "127.0.71.";
    startFleet({"127.0.71.81", "127.0.71.82", "127.0.71.83"});
    writeList({rec(1, "first", 81), rec(2, "second", 82), rec(3, "third", 83)});
    fs::create_directories(m_dir / "work" / "QLX00EE80000081q2.txt");
    Result r = runner({"check", "--all", "--report", "r.json"});
    EXPECT_EQ(r.code, 3) << r.errors;
    EXPECT_NE(r.errors.find("QLX00EE80000081q2.txt: Is a directory"), std::string::npos)
        << r.errors;
    EXPECT_EQ(message(0), "#508 NG File Save Error");
    EXPECT_NE(readBytes(m_dir / "r.json").find("\"selected\": 3, \"served\": 1"),
              std::string::npos);
}

// The list is cut to 0 bytes while the device answers: its success never reached the list.
TEST_F(RunnerE2e, TheReportSaysWhatReachedTheList) {
    m_net = "127.0.72.";
    startFleet({"127.0.72.81,slow=300"});
    writeList({rec(1, "slow", 81)});
    std::thread cut([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        writeBytes(m_dir / "list.csv", "");
    });
    Result r = runner({"check", "--all", "--report", "r.json"});
    cut.join();
    EXPECT_EQ(r.code, 3) << r.errors;
    EXPECT_EQ(readBytes(m_dir / "list.csv"), "");
    EXPECT_NE(r.errors.find("bulk run: 1 device(s) served (succeeded: 0, failed: 1)"),
              std::string::npos)
        << r.errors;
    EXPECT_NE(r.errors.find("1 result(s) did not reach the list"), std::string::npos) << r.errors;
    EXPECT_NE(readBytes(m_dir / "r.json").find("\"ok\": 1, \"failed\": 0, \"unrecorded\": 1}"),
              std::string::npos);
}

// The progress goes to a reader that is gone (`| head -0`, a closed terminal): the run goes on
// to its end and its exit code. The first line is written before any connection is made.
TEST_F(RunnerE2e, AProgressReaderThatWentAwayDoesNotEndTheRun) {
    m_net = "127.0.36.";
    startFleet({"127.0.36.93"});
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfselect=1\r\n");
    writeBytes(m_dir / "own.txt", ".sysLocation=hall\r\n");
    std::string served = rec(2, "served", 93);
    served.replace(served.find("defalt.txt"), 10, "own.txt");
    writeList({rec(1, "no-file", 92), served});
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[0]);  // nobody will ever read
    const int writeEnd = pipeFds[1];
    QProcess p;
    p.setWorkingDirectory(QString::fromStdString(m_dir.string()));
    p.setChildProcessModifier([writeEnd] { ::dup2(writeEnd, STDERR_FILENO); });
    p.start(QStringLiteral(QLX_RUNNER_PATH),
            {QStringLiteral("send"), QStringLiteral("--all"), QStringLiteral("--list"),
             QStringLiteral("list.csv"), QStringLiteral("--ini"), QStringLiteral("s.Ini"),
             QStringLiteral("--work"), QStringLiteral("work")});
    ASSERT_TRUE(p.waitForFinished(60000));
    ::close(writeEnd);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);  // the record without its file
    EXPECT_EQ(message(1), text::sj("#000 OK 正常送信"));
}

// A run that serves nobody is a mistake in the command line, and says why.
TEST_F(RunnerE2e, SelectingNothingIsAUsageError) {
    m_net = "127.0.37.";
    std::string unchecked = rec(4, "d", 91);
    unchecked.replace(unchecked.find("F0000001"), 8, "F0000000");
    writeList({rec(1, "a", 91), rec(2, "b", 91), rec(3, "c", 91), unchecked});
    struct Case {
        std::vector<std::string> args;
        std::string why;
    } cases[] = {
        {{"check", "--no", "999"},
         "no record selected: --no 999: the list holds records 1 to 4 only"},
        {{"send", "--no", "5-9"},
         "no record selected: --no 5-9: the list holds records 1 to 4 only"},
        {{"check", "--match", "nowhere"},
         "no record selected: --match nowhere: none of the 4 records shows that word"},
        {{"check", "--group", "2"},
         "no record selected: --group 2: none of the 4 records is in that group"},
    };
    for (const auto& c : cases) {
        Result r = runner(c.args);
        EXPECT_EQ(r.code, 2) << c.args[1];
        EXPECT_EQ(r.errors, "qlx-setting-cli: " + c.why + "\n") << c.args[1];
    }
    writeList({unchecked});
    Result r = runner({"check"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.errors,
              "qlx-setting-cli: no record selected: --checked: none of the 1 records is checked\n");
    EXPECT_EQ(readBytes(m_dir / "list.csv"), devlist::LineStore({unchecked}).toBytes());
}

// What the runner makes holds logins and settings: none of it is open to other users, whatever
// the umask; a name from the list cannot drive the terminal; the JSON report tells the run.
TEST_F(RunnerE2e, PrivateFilesHarmlessProgressAndTheRunInTheReport) {
    m_net = "127.0.38.";
    startFleet({"127.0.38.92"});
    writeList({rec(1, "\x1b]0;owned\x07\x1b[31mred", 92)});
    const mode_t old = ::umask(022);
    Result r = runner({"check", "--all", "--report", "run.json"});
    ::umask(old);
    ASSERT_EQ(r.code, 0) << r.errors;
    EXPECT_EQ(r.errors.find('\x1b'), std::string::npos) << r.errors;
    EXPECT_NE(r.errors.find("No.001 \\x1B]0;owned\\x07\\x1B[31mred 127.0.38.92 #000"),
              std::string::npos)
        << r.errors;

    auto mode = [](const fs::path& p) {
        return static_cast<int>(fs::status(p).permissions() & fs::perms::all);
    };
    EXPECT_EQ(mode(m_dir / "work"), 0700);
    EXPECT_EQ(mode(m_dir / "work" / "QLX00EE80000092R1.txt"), 0600);
    EXPECT_EQ(mode(m_dir / "run.json"), 0600);
    EXPECT_EQ(mode(m_dir / "run"), 0700);
    EXPECT_EQ(mode(m_dir / "run" / "No001-127.0.38.92.txt"), 0600);

    const std::string json = readBytes(m_dir / "run.json");
    EXPECT_TRUE(
        json.starts_with("{\n  \"run\": {\"verb\": \"check\", \"selection\": \"--all\", "
                         "\"start\": \""))
        << json;
    EXPECT_NE(json.find("\"counts\": {\"selected\": 1, \"served\": 1, \"ok\": 1, \"failed\": 0, "
                        "\"unrecorded\": 0}, \"version\": \""),
              std::string::npos)
        << json;
    // Local times with their offset, such as "2026-12-08T09:10:11+09:00".
    const size_t start = json.find("\"start\": \"") + 10;
    ASSERT_GT(json.size(), start + 25);
    const std::string stamp = json.substr(start, 25);
    EXPECT_EQ(stamp[10], 'T') << stamp;
    EXPECT_TRUE(stamp[19] == '+' || stamp[19] == '-') << stamp;
    EXPECT_EQ(stamp[22], ':') << stamp;
    EXPECT_NE(json.find("\"devices\": [\n    {\"no\": 1, "), std::string::npos) << json;
}

// The search from the command line: each device once, no login, and only --apply stores.
TEST_F(RunnerE2e, SearchPrintsEachDeviceOnceAndStoresOnlyWhenAsked) {
    std::vector<std::string> args = {"--port", "2392"};
    for (const char* d : {"127.0.0.93,mac=00:ee:80:e2:10:93,model=AB12-NODE93",
                          "127.0.0.94,mac=00:ee:80:e2:10:94,model=AB12-NODE94"})
        args.insert(args.end(), {"--device", d});
    ASSERT_TRUE(m_sim.start(args, 2)) << m_sim.errors();
    std::string moved = rec(1, "moved", 99);
    moved.replace(moved.find("00:EE:80:00:00:99"), 17, "00:EE:80:E2:10:93");
    writeList({moved});
    const std::string before = readBytes(m_dir / "list.csv");

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
    EXPECT_EQ(readBytes(m_dir / "list.csv"), before);

    look = runner({"search", "--own-address", "127.0.0.1", "--apply"});
    ASSERT_EQ(look.code, 0) << look.errors;
    EXPECT_EQ(count("No.001 changes: address 127.0.0.99 -> 127.0.0.93\n"), 1u) << look.output;
    EXPECT_EQ(devlist::FieldGet(devlist::kIpAddress, list()[0]), "127.0.0.93");
}

}  // namespace
