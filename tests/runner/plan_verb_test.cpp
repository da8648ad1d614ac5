// plan in-process against simulated devices: over a fleet whose records have settings files of
// their own, the names plan says would change or be added are exactly those that send followed
// by diff reports, device for device; a plan records nothing and leaves the work folder alone,
// a reading only needs no send file, and after the send it finds nothing left to change.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <map>
#include <set>

#include "verb_fixture.h"

namespace verbtest {
namespace {

using Names = std::set<std::string>;

constexpr int kFirstHost = 141;

// A record whose MAC address is the one the simulated device reports, so that its save name
// (and with it the dump files' names) stays the same after a send records that address.
std::string rec(int no, int host, const std::string& sendFile) {
    char line[160];
    std::snprintf(line, sizeof line,
                  "%03d,F0000001,dev%d,127.0.60.%d,80,2417,00:EE:80:00:00:%02X,,,admin,plume,%s,,",
                  no, no, host, host, sendFile.c_str());
    return line;
}

std::string bare(std::string name) {
    if (!name.empty() && name.front() == '.') name.erase(0, 1);
    return name;
}

class PlanVerb : public VerbTest {
protected:
    void SetUp() override {
        VerbTest::SetUp();
        // Each record is sent its own file ("fselect=1").
        writeBytes("s.Ini", "[setting]\r\nwait1=0\r\nfselect=1\r\n");
    }
    void TearDown() override {
        ::unsetenv("TMPDIR");
        VerbTest::TearDown();
    }
    // The names of each record's "changed" in a JSON report, without their ".".
    std::map<int, Names> reportedNames(const std::string& report) {
        std::map<int, Names> out;
        const QByteArray bytes = QByteArray::fromStdString(readBytes(report));
        // One object: the run, and its devices.
        const QJsonArray rows = QJsonDocument::fromJson(bytes).object()["devices"].toArray();
        for (const auto& row : rows) {
            const QJsonObject o = row.toObject();
            Names& names = out[o["no"].toInt()];
            for (const auto& n : o["changed"].toObject()["names"].toArray())
                names.insert(bare(n.toString().toStdString()));
        }
        return out;
    }

    // The variables diff reports as changed or added for record `no`, without their ".".
    Names diffNames(int no) {
        Result diff = runner({"diff", std::to_string(no)});
        EXPECT_EQ(diff.code, 0) << no << diff.errors;
        Names names;
        for (const auto& prefix : {std::string("changed "), std::string("added   ")}) {
            for (size_t at = diff.output.find(prefix); at != std::string::npos;
                 at = diff.output.find(prefix, at + 1)) {
                if (at != 0 && diff.output[at - 1] != '\n') continue;
                const size_t start = at + prefix.size();
                const std::string name =
                    diff.output.substr(start, diff.output.find(':', start) - start);
                if (name != "line") names.insert(bare(name));
            }
        }
        return names;
    }
};

TEST_F(PlanVerb, PredictsWhatSendThenDiffReportsDeviceForDevice) {
    std::vector<std::string> devices;
    for (const char* extra : {"", ",var.ntpServer=127.0.0.1", ",var.trapHost=10.0.0.1", "", "",
                              ",name=hall", ",fault=wrong-password"}) {
        // The MAC address of rec(), which the device would report on 127.0.0.x.
        const int host = kFirstHost + static_cast<int>(devices.size());
        char mac[32];
        std::snprintf(mac, sizeof mac, ",mac=00:EE:80:00:00:%02X", host);
        devices.push_back("127.0.60." + std::to_string(host) + mac + extra);
    }
    VerbTest::devices(devices);

    writeBytes(m_dir / "mask.txt", ".ipAdEntNetMask=255.255.0.0\r\n.ntpServer=127.0.0.1\r\n");
    writeBytes(m_dir / "mixed.txt",
               "unset .trapHost\r\n.dhcpEnabled=1\r\n.trapHost=10.0.0.2\r\n"
               ".ipAdEntNetMask=255.0.0.0\r\n.ipAdEntNetMask=255.255.255.0\r\n");
    writeBytes(m_dir / "same.txt", ".dhcpEnabled=1\r\nDATE 24/01/01\r\n");
    writeBytes(m_dir / "bare.txt", "sysName=\"renamed\"\r\nipAdEntNetMask=255.0.0.0\r\n");
    const std::vector<std::string> sendFiles = {"mask.txt", "mask.txt", "mixed.txt", "same.txt",
                                                "none.txt", "bare.txt", "mask.txt"};
    std::vector<std::string> lines;
    for (size_t i = 0; i < sendFiles.size(); ++i)
        lines.push_back(
            rec(static_cast<int>(i) + 1, kFirstHost + static_cast<int>(i), sendFiles[i]));
    writeBytes(m_dir / "list.csv", devlist::LineStore(lines).toBytes());
    const std::string listBefore = readBytes(m_dir / "list.csv");

    Result plan = runner({"plan", "--all", "--parallel", "3", "--report", "plan.json"});
    EXPECT_EQ(plan.code, 1) << plan.errors;  // the device that refuses the login
    EXPECT_EQ(readBytes(m_dir / "list.csv"), listBefore);
    EXPECT_FALSE(fs::exists(m_dir / "list.csv.lock"));
    EXPECT_FALSE(fs::exists(m_dir / "work"));
    EXPECT_TRUE(fs::exists(m_dir / "plan" / "QLX00EE8000008Dq2.txt"));
    EXPECT_TRUE(fs::exists(m_dir / "plan" / "No001-127.0.60.141.txt"));
    EXPECT_NE(plan.output.find("No.001 dev1 127.0.60.141\n"
                               "  would change .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0\n"
                               "  would add .ntpServer: 127.0.0.1\n"
                               "No.002 dev2 127.0.60.142\n"
                               "  would change .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0\n"
                               "No.003 dev3 127.0.60.143\n"
                               "  would change .ipAdEntNetMask: 255.0.0.0 -> 255.255.255.0\n"
                               "  would change .trapHost: 10.0.0.1 -> 10.0.0.2\n"
                               "  would send: unset .trapHost\n"
                               "No.004 dev4 127.0.60.144\n"
                               "  no change\n"
                               "  would send: DATE 24/01/01\n"
                               "No.005 dev5 127.0.60.145\n"
                               // A send would not serve it: its settings file is missing.
                               "  failed: 送信ファイル none.txt が見つかりません。\n"),
              std::string::npos)
        << plan.output;
    EXPECT_NE(plan.output.find("No.007 dev7 127.0.60.147\n  failed: #104"), std::string::npos);
    std::map<int, Names> planned = reportedNames("plan.json");
    ASSERT_EQ(planned.size(), 7u);

    // A reading only, which a check that must change nothing runs: a record whose send file is
    // missing fails a plan of the send, never the reading; a refusing device still fails it, and
    // the report's rows say which device was ok.
    EXPECT_EQ(runner({"plan", "--no", "5", "--read-only"}).code, 0);
    Result reading = runner({"plan", "--all", "--read-only", "--report", "r.json"});
    EXPECT_EQ(reading.code, 1) << reading.errors;
    EXPECT_EQ(reading.output.find("would "), std::string::npos) << reading.output;
    EXPECT_EQ(reading.output.find("failed: 送信"), std::string::npos) << reading.output;
    EXPECT_NE(reading.output.find("No.007 dev7 127.0.60.147\n  failed: #104"), std::string::npos);
    std::string ok;
    const QByteArray bytes = QByteArray::fromStdString(readBytes(m_dir / "r.json"));
    for (const auto& row : QJsonDocument::fromJson(bytes).object()["devices"].toArray()) {
        ok += row.toObject()["ok"].toBool() ? "1" : "0";
        EXPECT_TRUE(row.toObject()["changed"].isNull());
    }
    EXPECT_EQ(ok, "1111110");

    Result send = runner({"send", "--all", "--parallel", "3"});
    EXPECT_EQ(send.code, 1) << send.errors;
    for (int no : {1, 2, 3, 4, 6}) EXPECT_EQ(planned[no], diffNames(no)) << "record " << no;
    EXPECT_TRUE(planned[5].empty());
    EXPECT_TRUE(planned[7].empty());

    // Sent once, the same files change nothing more.
    Result again = runner({"plan", "--no", "1-4,6", "--report", "again.json"});
    EXPECT_EQ(again.code, 0) << again.errors;
    for (const auto& [no, names] : reportedNames("again.json"))
        EXPECT_TRUE(names.empty()) << "record " << no;
    EXPECT_NE(readBytes(m_dir / "again.json").find("\"changed\": {\"count\": 0, \"names\": []}"),
              std::string::npos);
}

// The window's work folder "data" with a report "data.json" beside it: the plan's files go into
// a folder of their own, a work folder is neither written nor made, and a plan without a report
// leaves no scratch folder and removes the one a killed plan left.
TEST_F(PlanVerb, WritesNothingIntoTheWorkFolderAndLeavesNoScratchFolder) {
    devices({"127.0.61.150,mac=00:EE:80:00:00:96"});
    writeBytes(m_dir / "mask.txt", ".ipAdEntNetMask=255.255.0.0\r\n");
    std::string line = rec(1, 150, "mask.txt");
    line.replace(line.find("127.0.60."), 9, "127.0.61.");
    writeBytes(m_dir / "list.csv", devlist::LineStore({line}).toBytes());
    const std::string dump = "QLX00EE80000096q2.txt";
    const fs::path tmp = m_dir / "tmp";
    fs::create_directories(m_dir / "data");
    fs::create_directories(tmp / "qlx-plan-Kd93xQ");
    writeBytes(m_dir / "data" / dump, "the last send's dump\r\n");
    ::setenv("TMPDIR", tmp.c_str(), 1);               // the temporary folder the verb is given
    writeBytes(tmp / "qlx-plan-Kd93xQ" / dump, "x");  // a killed plan's
    struct Case {
        std::string work, report;  // no report: a scratch folder
    } cases[] = {{"data", "data.json"}, {"new/", "new.json"}, {"data", ""}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"plan", "--all", "--work", c.work};
        if (!c.report.empty()) args.insert(args.end(), {"--report", c.report});
        Result r = runner(args);
        EXPECT_EQ(r.code, 0) << r.errors;
        EXPECT_EQ(fs::exists(m_dir / (c.report + ".d") / dump), !c.report.empty());
        EXPECT_TRUE(fs::is_empty(tmp));
        EXPECT_EQ(readBytes(m_dir / "data" / dump), "the last send's dump\r\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(m_dir / "data"), {}), 1);
        EXPECT_FALSE(fs::exists(m_dir / "new"));
    }
}

}  // namespace
}  // namespace verbtest
