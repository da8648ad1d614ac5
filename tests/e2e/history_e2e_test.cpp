// The settings history end to end: qlx-setting-cli check and send against qlx-devsim record every
// device's dump, one commit per run that changed something; history and drift, which connect to
// nothing, name exactly the device that changed; a run killed while it serves its devices leaves
// a repository git finds whole.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "devlist/line_store.h"
#include "devsim_process.h"
#include "file_bytes.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readBytes;
using testsupport::writeBytes;

constexpr int kHistoryPort = 2431;
constexpr int kDevices = 3;

std::string rec(int no) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "%03d,F0000001,dev%d,127.0.80.%d,80,%d,00:EE:80:00:80:%02X,,,admin,plume,,,", no,
                  no, no, kHistoryPort, no);
    return line;
}

class HistoryE2e : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-history-e2e-XXXXXX";
        m_dir = mkdtemp(tmpl);
        writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfselect=0\r\nfile2=mask.txt\r\n");
        writeBytes(m_dir / "mask.txt", ".ipAdEntNetMask=255.255.0.0\r\n");
        writeBytes(m_dir / "golden.txt", ".ipAdEntNetMask=255.0.0.0\r\n");
        std::vector<std::string> lines;
        for (int no = 1; no <= kDevices; ++no) lines.push_back(rec(no));
        writeBytes(m_dir / "list.csv", devlist::LineStore(lines).toBytes());
    }
    void TearDown() override {
        m_sim.stop();
        fs::remove_all(m_dir);
    }

    void start(QProcess& p, const std::vector<std::string>& args) {
        QStringList list;
        for (const auto& a : args) list << QString::fromStdString(a);
        list << "--list"
             << "list.csv"
             << "--ini"
             << "s.Ini"
             << "--work"
             << "work";
        p.setWorkingDirectory(QString::fromStdString(m_dir.string()));
        p.start(QStringLiteral(QLX_RUNNER_PATH), list);
        ASSERT_TRUE(p.waitForStarted(5000));
    }
    struct Result {
        int code = -1;
        std::string output, errors;
    };
    Result runner(const std::vector<std::string>& args) {
        QProcess p;
        start(p, args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
    }
    // git itself, as an operator reads the history.
    Result git(const std::vector<std::string>& args) {
        QProcess p;
        QStringList list{"-C", QString::fromStdString((m_dir / "work/history.git").string())};
        for (const auto& a : args) list << QString::fromStdString(a);
        p.start("git", list);
        p.waitForFinished(30000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
    }
    int commits() {
        const Result r = git({"rev-list", "--count", "HEAD"});
        return r.code == 0 ? std::stoi(r.output) : 0;
    }

    fs::path m_dir;
    e2e::DevSim m_sim;
};

TEST_F(HistoryE2e, RecordsEachRunThatChangedSomethingAndNamesTheDeviceThatDrifted) {
    std::vector<std::string> args = {"--no-search", "--port", std::to_string(kHistoryPort)};
    for (int no = 1; no <= kDevices; ++no) {
        char device[64];
        std::snprintf(device, sizeof device, "127.0.80.%d,mac=00:EE:80:00:80:%02X", no, no);
        args.insert(args.end(), {"--device", device});
    }
    // The third device answers slowly, so that a run can be killed while it serves it.
    args.back() += ",slow=300";
    ASSERT_TRUE(m_sim.start(args, kDevices)) << m_sim.errors();

    struct Step {
        std::vector<std::string> args;
        int exit;
        int commits;                        // on the branch afterwards
        std::string lastCommit;             // a text the newest commit's message holds
        std::vector<std::string> shown;     // texts standard output holds, in this order
        std::vector<std::string> notShown;  //
    };
    const std::vector<Step> steps = {
        {{"check", "--all", "--pace", "prompt"}, 0, 1, "No.003 dev3", {}, {}},
        {{"send", "--no", "2", "--pace", "prompt"}, 0, 2, "changed:\nNo.002 dev2\n", {}, {}},
        // Nothing changed: no commit.
        {{"check", "--all", "--pace", "prompt"}, 0, 2, "send --no 2", {}, {}},
        {{"history", "--all"},
         0,
         2,
         "",
         {"No.001 dev1 127.0.80.1 (QLX00EE80008001.txt)\n", "    first dump\nNo.002",
          "send --no 2: 1 selected, 1 ok, 0 failed\n"
          "    changed .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0\n",
          "No.003 dev3"},
         // The one change is the send's: every other run found the devices as they were.
         {"first dump\n    changed", ": 3 selected, 3 ok, 0 failed\n    changed"}},
        {{"drift", "--golden", "golden.txt", "--all", "--report", "drift.json"},
         1,
         2,
         "",
         {"No.001 dev1 127.0.80.1 same\n"
          "No.002 dev2 127.0.80.2 drifted\n"
          "  would change .ipAdEntNetMask: 255.255.0.0 -> 255.0.0.0\n"
          "No.003 dev3 127.0.80.3 same\n"},
         {}},
        {{"drift", "--golden", "golden.txt", "--no", "1,3"}, 0, 2, "", {"same"}, {"drifted"}},
        {{"history", "2", "--at", "2999-01-01"}, 0, 2, "", {".ipAdEntNetMask=255.255.0.0"}, {}},
        {{"check", "--all", "--no-history"}, 0, 2, "", {}, {}},
    };
    for (const Step& s : steps) {
        std::string shown;
        for (const auto& a : s.args) shown += a + " ";
        const Result r = runner(s.args);
        EXPECT_EQ(r.code, s.exit) << shown << r.errors;
        EXPECT_EQ(commits(), s.commits) << shown;
        if (!s.lastCommit.empty()) {
            EXPECT_NE(git({"log", "-1", "--format=%B"}).output.find(s.lastCommit),
                      std::string::npos)
                << shown;
        }
        size_t at = 0;
        for (const auto& text : s.shown) {
            at = r.output.find(text, at);
            EXPECT_NE(at, std::string::npos) << shown << "\n" << text << "\n" << r.output;
        }
        for (const auto& text : s.notShown)
            EXPECT_EQ(r.output.find(text), std::string::npos) << shown << r.output;
    }
    // What a monitoring script reads.
    const QJsonObject report =
        QJsonDocument::fromJson(QByteArray::fromStdString(readBytes(m_dir / "drift.json")))
            .object();
    EXPECT_EQ(report["run"].toObject()["drifted"].toInt(), 1);
    EXPECT_EQ(report["run"].toObject()["noDump"].toInt(), 0);
    const QJsonObject second = report["devices"].toArray()[1].toObject();
    EXPECT_EQ(second["state"].toString(), "drifted");
    EXPECT_EQ(second["names"].toArray()[0].toString(), ".ipAdEntNetMask");
    // A plain git reads it: the diff of the send.
    EXPECT_NE(git({"log", "-p"}).output.find("+.ipAdEntNetMask=255.255.0.0"), std::string::npos);

    // A run killed while it serves its devices.
    QProcess killed;
    start(killed, {"send", "--all"});
    killed.waitForFinished(400);
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    killed.waitForFinished(5000);
    EXPECT_EQ(git({"fsck", "--strict"}).code, 0);
    EXPECT_EQ(commits(), 2);
}

}  // namespace
