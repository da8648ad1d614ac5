// qlx-setting-cli as operators run it, against qlx-devsim on loopback: a mixed fleet with a
// refusal, a busy and a silent device, the re-run of exactly the failures, Ctrl-C in the middle
// of a run, the exit codes, and what a send changed (diff and the report's column).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QProcess>
#include <filesystem>
#include <string>
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

constexpr int kPort = 2391;

std::string rec(int no, const std::string& name, int host) {
    char num[8];
    std::snprintf(num, sizeof num, "%03d", no);
    return std::string(num) + ",F0000001," + name + ",127.0.0." + std::to_string(host) + ",80," +
           std::to_string(kPort) + ",00:EE:80:00:00:" + std::to_string(host) +
           ",,,admin,plume,defalt.txt,,";
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
        std::vector<std::string> args = {"--no-search", "--port", std::to_string(kPort)};
        for (const auto& d : devices) args.insert(args.end(), {"--device", d});
        ASSERT_TRUE(m_sim.start(args, static_cast<int>(devices.size()))) << m_sim.errors();
    }
    void writeList(const std::vector<std::string>& lines) {
        writeBytes(m_dir / "list.csv", devlist::LineStore(lines).toBytes());
    }
    devlist::LineStore list() {
        return devlist::LineStore::fromFileBytes(readBytes(m_dir / "list.csv"));
    }
    std::string message(size_t line) { return devlist::FieldGet(devlist::kMessage, list()[line]); }

    // Runs the program in the test folder; interruptAfterMs > 0 sends SIGINT then.
    Result runner(std::vector<std::string> args, int interruptAfterMs = 0) {
        QStringList list;
        for (const auto& a : args) list << QString::fromStdString(a);
        for (const char* a : {"--list", "list.csv", "--ini", "s.Ini", "--work", "work"})
            list << QString::fromUtf8(a);
        QProcess p;
        p.setWorkingDirectory(QString::fromStdString(m_dir.string()));
        p.start(QStringLiteral(QLX_RUNNER_PATH), list);
        Result r;
        if (!p.waitForStarted(5000)) return r;
        if (interruptAfterMs > 0) {
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < interruptAfterMs) p.waitForFinished(20);
            ::kill(static_cast<pid_t>(p.processId()), SIGINT);
        }
        p.waitForFinished(60000);
        r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.errors = p.readAllStandardError().toStdString();
        r.output = p.readAllStandardOutput().toStdString();
        return r;
    }

    fs::path m_dir;
    e2e::DevSim m_sim;
};

TEST_F(RunnerE2e, MixedFleetThenExactlyTheFailuresAgain) {
    startFleet({"127.0.0.81", "127.0.0.82,fault=wrong-password", "127.0.0.83,fault=silent",
                "127.0.0.84,fault=busy", "127.0.0.85"});
    writeList({rec(1, "ok-a", 81), rec(2, "refuse", 82), rec(3, "silent", 83), rec(4, "busy", 84),
               rec(5, "ok-b", 85)});
    Result first = runner({"check", "--parallel", "3", "--report", "run1.csv"});
    EXPECT_EQ(first.code, 1) << first.errors;
    const std::vector<std::string> expected = {
        text::sj("#000 OK 正常送信"), "#104 NG ID/PASS Login Error", "#404 NG Time Out",
        "#421 NG failure: busy", text::sj("#000 OK 正常送信")};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(message(i), expected[i]) << i;
    EXPECT_NE(first.errors.find("] No.002 refuse 127.0.0.82 #104 NG ID/PASS Login Error"),
              std::string::npos)
        << first.errors;
    EXPECT_NE(first.errors.find("一斉接続 5台 実行しました(成功:2 失敗:3)"), std::string::npos);

    // One report row and one transcript per device, failures included.
    auto report = devlist::LineStore::fromFileBytes(readBytes(m_dir / "run1.csv"));
    ASSERT_EQ(report.size(), 6u);
    for (int host = 81; host <= 85; ++host) {
        auto t = m_dir / "run1" /
                 ("No00" + std::to_string(host - 80) + "-127.0.0." + std::to_string(host) + ".txt");
        EXPECT_TRUE(fs::exists(t)) << t;
    }
    EXPECT_NE(readBytes(m_dir / "run1" / "No002-127.0.0.82.txt").find("Login Incorrect"),
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
    startFleet({"127.0.0.86,fault=silent", "127.0.0.87"});
    writeList({rec(1, "silent", 86), rec(2, "later", 87)});
    const std::string before = list()[1];
    Result r = runner({"send"}, 800);
    EXPECT_EQ(r.code, 130) << r.errors;
    EXPECT_EQ(message(0), "#404 NG Time Out");  // the running dialogue ended and was recorded
    EXPECT_EQ(list()[1], before);               // no new device started
}

TEST_F(RunnerE2e, ExitCodesForUsageAndUnreadableFiles) {
    writeList({rec(1, "a", 88)});
    EXPECT_EQ(runner({"check", "--group", "5"}).code, 2);
    EXPECT_EQ(runner({"frobnicate"}).code, 2);
    EXPECT_EQ(runner({"check", "--parallel", "129"}).code, 2);
    writeBytes(m_dir / "list.csv", "No,Name\r\n");
    EXPECT_EQ(runner({"check"}).code, 3);
    EXPECT_EQ(readBytes(m_dir / "list.csv"), "No,Name\r\n");
    fs::remove(m_dir / "s.Ini");
    writeList({rec(1, "a", 88)});
    EXPECT_EQ(runner({"check"}).code, 3);  // the settings file named is missing
}

TEST_F(RunnerE2e, DiffShowsWhatTheLastSendChanged) {
    startFleet({"127.0.0.89,var.trapHost=10.0.0.1", "127.0.0.90"});
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
    EXPECT_TRUE(readBytes(m_dir / "again.csv").ends_with(",0\r\n"));

    // A check writes only the dump after: nothing to compare, and an empty column.
    Result check = runner({"check", "--no", "2", "--report", "check.csv"});
    ASSERT_EQ(check.code, 0) << check.errors;
    EXPECT_TRUE(readBytes(m_dir / "check.csv").ends_with("QLX00EE8000005AR1.txt,\r\n"));
    diff = runner({"diff", "2"});
    EXPECT_EQ(diff.code, 3);
    EXPECT_NE(diff.errors.find("QLX00EE8000005Aq1.txt"), std::string::npos) << diff.errors;
    EXPECT_EQ(runner({"diff", "3"}).code, 2);
    EXPECT_EQ(runner({"diff"}).code, 2);
}

}  // namespace
