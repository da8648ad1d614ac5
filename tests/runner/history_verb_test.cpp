// The settings history in-process: check and send against simulated devices record every
// device's dump, one commit per run that changed something; history and drift, which connect to
// nothing, name exactly the device that changed.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "verb_fixture.h"

namespace verbtest {
namespace {

constexpr int kDevices = 3;

std::string rec(int no) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "%03d,F0000001,dev%d,127.0.80.%d,80,2431,00:EE:80:00:80:%02X,,,admin,plume,,,",
                  no, no, no, no);
    return line;
}

// git itself, as an operator reads the history: its output, empty when it failed.
std::string git(const std::string& args) {
    std::string out;
    if (std::FILE* p = ::popen(("git -C work/history.git " + args + " 2>/dev/null").c_str(), "r")) {
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        if (::pclose(p) != 0) out.clear();
    }
    return out;
}

int commits() {
    const std::string count = git("rev-list --count HEAD");
    return count.empty() ? 0 : std::stoi(count);
}

TEST_F(VerbTest, HistoryRecordsEachRunThatChangedSomethingAndDriftNamesTheDevice) {
    writeBytes("s.Ini", "[setting]\r\nwait1=0\r\nfselect=0\r\nfile2=mask.txt\r\n");
    writeBytes("mask.txt", ".ipAdEntNetMask=255.255.0.0\r\n");
    writeBytes("golden.txt", ".ipAdEntNetMask=255.0.0.0\r\n");
    std::vector<std::string> lines, specs;
    for (int no = 1; no <= kDevices; ++no) {
        lines.push_back(rec(no));
        char device[64];
        std::snprintf(device, sizeof device, "127.0.80.%d,mac=00:EE:80:00:80:%02X", no, no);
        specs.push_back(device);
    }
    writeList(lines);
    devices(specs);

    struct Step {
        std::vector<std::string> args;
        int exit;
        int commits;                        // on the branch afterwards
        std::string lastCommit;             // a text the newest commit's message holds
        std::vector<std::string> shown;     // texts the output holds, in this order
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
            EXPECT_NE(git("log -1 --format=%B").find(s.lastCommit), std::string::npos) << shown;
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
        QJsonDocument::fromJson(QByteArray::fromStdString(readBytes("drift.json"))).object();
    EXPECT_EQ(report["run"].toObject()["drifted"].toInt(), 1);
    EXPECT_EQ(report["run"].toObject()["noDump"].toInt(), 0);
    const QJsonObject second = report["devices"].toArray()[1].toObject();
    EXPECT_EQ(second["state"].toString(), "drifted");
    EXPECT_EQ(second["names"].toArray()[0].toString(), ".ipAdEntNetMask");
    // A plain git reads it: the diff of the send.
    EXPECT_NE(git("log -p").find("+.ipAdEntNetMask=255.255.0.0"), std::string::npos);
}

}  // namespace
}  // namespace verbtest
