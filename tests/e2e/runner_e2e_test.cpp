// qlx-setting-cli as a process against qlx-devsim on loopback, for what needs the real program:
// signals in the middle of a run, the prompt pace over real sockets, a progress reader that went
// away and the modes its umask gives its files, the search over the real network, and the
// settings history of a killed run.
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "runner_fixture.h"
#include "runner_records.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using e2e::RunnerResult;
using testsupport::readBytes;
using testsupport::writeBytes;

constexpr int kRunnerPort = 2391;

class RunnerE2e : public e2e::RunnerProcessTest {
protected:
    void startFleet(const std::vector<std::string>& devices) {
        std::vector<std::string> args = {"--no-search", "--port", std::to_string(kRunnerPort)};
        for (const auto& d : devices)
            args.insert(args.end(), {"--device", testsupport::withMac(d)});
        startSim(args, static_cast<int>(devices.size()));
    }
    // A record on the test's loopback range (m_net: "127.0.N."), so that tests run side by side.
    std::string rec(int no, const std::string& name, int host) const {
        return testsupport::runnerRecord(m_net, no, name, host, kRunnerPort);
    }

    std::string m_net = "127.0.0.";
};

TEST_F(RunnerE2e, CtrlCLetsTheRunningDeviceFinishAndStartsNoOther) {
    m_net = "127.0.31.";
    startFleet({"127.0.31.86,fault=silent", "127.0.31.87"});
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfile2=common.txt\r\n");
    writeBytes(m_dir / "common.txt", ".sysLocation=hall\r\n");
    // A terminal or ssh session that goes away stops the run as Ctrl-C does.
    for (int signal : {SIGINT, SIGHUP}) {
        writeList({rec(1, "silent", 86), rec(2, "later", 87)});
        const std::string before = list()[1];
        RunnerResult r = runner({"send"}, {}, 800, signal);
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
    RunnerResult prescribed = runner({"check", "--all", "--parallel", "5"});
    EXPECT_EQ(prescribed.code, 1) << prescribed.errors;
    const auto expected = fields();
    EXPECT_EQ(expected[4],
              "00:EE:80:00:00:5F|1.05a 240331|ROOM-95|" + text::sj("#000 OK 正常送信") + "|");
    for (bool fromSettings : {false, true}) {
        writeList(records);
        if (fromSettings) writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\npace=prompt\r\n");
        RunnerResult prompt =
            runner(fromSettings ? std::vector<std::string>{"check", "--all", "--parallel", "5"}
                                : std::vector<std::string>{"check", "--all", "--parallel", "5",
                                                           "--pace", "prompt"});
        EXPECT_EQ(prompt.code, 1) << prompt.errors;
        EXPECT_EQ(fields(), expected) << fromSettings;
    }
}

// What the real process meets: a progress reader that is gone (`| head -0`, a closed terminal)
// ends nothing, and the run goes on to its end and its exit code (the first line is written
// before any connection is made); what it makes holds logins and settings, and none of it is
// open to other users, whatever the umask; the JSON report tells the run in local time.
TEST_F(RunnerE2e, AGoneReaderAndAnyUmaskLeaveTheRunWholeAndItsFilesPrivate) {
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
    p.setChildProcessModifier([writeEnd] {
        ::dup2(writeEnd, STDERR_FILENO);
        ::umask(022);
    });
    start(p, {"send", "--all", "--report", "run.json"});
    ASSERT_TRUE(p.waitForFinished(60000));
    ::close(writeEnd);
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 1);  // the record without its file
    EXPECT_EQ(message(1), text::sj("#000 OK 正常送信"));

    auto mode = [](const fs::path& p) {
        return static_cast<int>(fs::status(p).permissions() & fs::perms::all);
    };
    EXPECT_EQ(mode(m_dir / "work"), 0700);
    EXPECT_EQ(mode(m_dir / "work" / "QLX00EE80000093R1.txt"), 0600);
    EXPECT_EQ(mode(m_dir / "run.json"), 0600);
    EXPECT_EQ(mode(m_dir / "run"), 0700);
    EXPECT_EQ(mode(m_dir / "run" / "No002-127.0.36.93.txt"), 0600);

    // Local times with their offset, such as "2026-12-08T09:10:11+09:00".
    const std::string json = readBytes(m_dir / "run.json");
    EXPECT_TRUE(json.starts_with(
        "{\n  \"run\": {\"verb\": \"send\", \"selection\": \"--all\", \"start\": \""))
        << json;
    const size_t start = json.find("\"start\": \"") + 10;
    ASSERT_GT(json.size(), start + 25);
    const std::string stamp = json.substr(start, 25);
    EXPECT_EQ(stamp[10], 'T') << stamp;
    EXPECT_TRUE(stamp[19] == '+' || stamp[19] == '-') << stamp;
    EXPECT_EQ(stamp[22], ':') << stamp;
}

// search --apply of a list with lines the stored list leaves out keeps the file as it was first,
// and says so in the operator's language.
TEST_F(RunnerE2e, SearchApplyKeepsWhatTheStoredListLeavesOut) {
    ASSERT_TRUE(m_sim.start(
        {"--port", "23195", "--device", "127.0.0.95,mac=00:ee:80:e2:30:95,model=AB12-NODE95"}, 1))
        << m_sim.errors();
    const std::string original =
        "001,F0000000,kept,127.0.0.96,80,23,00:EE:80:E2:30:96,,,admin,"
        "plume,defalt.txt,,\r\n# a note of the operator\r\n";
    writeBytes(m_dir / "list.csv", original);
    const std::map<std::string, std::string> japanese = {{"LC_ALL", "ja_JP.UTF-8"}};
    RunnerResult r = runner({"search", "--own-address", "127.0.0.1", "--apply"}, japanese);
    ASSERT_EQ(r.code, 0) << r.errors;
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), original);
    EXPECT_NE(r.errors.find("list.csv.bak に残しました。そのうち1行は保存したリストにありません。"),
              std::string::npos)
        << r.errors;
    ASSERT_GE(list().size(), 2u);
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, list()[0]), "kept");
    EXPECT_NE(readBytes(m_dir / "list.csv").find("00:EE:80:E2:30:95"), std::string::npos);

    // The same copy is not made twice; the list stored now leaves nothing out.
    r = runner({"search", "--own-address", "127.0.0.1", "--apply"}, japanese);
    ASSERT_EQ(r.code, 0) << r.errors;
    EXPECT_EQ(r.errors.find(".bak"), std::string::npos) << r.errors;
    EXPECT_FALSE(fs::exists(m_dir / "list.csv.bak2"));
}

// The settings history of a run killed while it serves its devices: a repository git finds
// whole, without a commit of the killed run.
TEST_F(RunnerE2e, AKilledRunLeavesAHistoryGitFindsWhole) {
    m_net = "127.0.80.";
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfselect=0\r\nfile2=mask.txt\r\n");
    writeBytes(m_dir / "mask.txt", ".ipAdEntNetMask=255.255.0.0\r\n");
    // The third device answers slowly, so that the run is killed while it serves it.
    startFleet({"127.0.80.1", "127.0.80.2", "127.0.80.3,slow=300"});
    writeList({rec(1, "dev1", 1), rec(2, "dev2", 2), rec(3, "dev3", 3)});
    auto git = [this](const std::string& args) {
        const std::string command = "git -C " + (m_dir / "work/history.git").string() + " " + args;
        return std::system((command + " >/dev/null 2>&1").c_str());
    };
    const RunnerResult check = runner({"check", "--all", "--pace", "prompt"});
    ASSERT_EQ(check.code, 0) << check.errors;
    ASSERT_EQ(git("rev-parse --verify HEAD~0"), 0);

    QProcess killed;
    start(killed, {"send", "--all"});
    ASSERT_TRUE(killed.waitForStarted(5000));
    killed.waitForFinished(400);
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.waitForFinished(5000);
    EXPECT_EQ(git("fsck --strict"), 0);
    EXPECT_NE(git("rev-parse --verify HEAD~1"), 0);  // still the check's one commit
}

}  // namespace
