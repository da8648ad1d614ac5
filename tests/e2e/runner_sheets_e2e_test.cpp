// qlx-setting-cli with lists that went through a spreadsheet, against qlx-devsim on loopback:
// a list it cannot take is refused with the reason, a header row is skipped with one word, and
// search --apply keeps what the stored list leaves out.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "devlist/fields.h"
#include "runner_fixture.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readBytes;
using testsupport::writeBytes;

constexpr int kSheetsPort = 2393;
const std::string kHeader =
    "No,Flags,ListName,IpAddress,HttpPort,TelnetPort,MacAddress,ModelVersion,DeviceName,UserId,"
    "Password,SendFile,LastSend,Message";

// The operator of a list from a Japanese spreadsheet reads the window's words.
class RunnerSheetsE2e : public e2e::RunnerProcessTest {
protected:
    std::string list() { return readBytes(m_dir / "list.csv"); }
    e2e::RunnerResult runner(const std::vector<std::string>& args) {
        return RunnerProcessTest::runner(args, {{"LC_ALL", "ja_JP.UTF-8"}});
    }
};

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST_F(RunnerSheetsE2e, RefusesWhatIsNoListAndNeverServesAHeaderRow) {
    ASSERT_TRUE(m_sim.start(
        {"--no-search", "--port", std::to_string(kSheetsPort), "--device", "127.0.50.94"}, 1))
        << m_sim.errors();
    const std::string device = "1,F0000001,東京本社 ルーム,127.0.50.94,80," +
                               std::to_string(kSheetsPort) +
                               ",00:EE:80:00:00:94,,,admin,plume,defalt.txt,,";
    struct Case {
        const char* what;
        std::string file;
        int code;
        const char* told;  // part of standard error
    } cases[] = {
        {"UTF-8", device + "\n", 3, "UTF-8で保存されているため"},
        {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF" + kHeader + "\n", 3, "UTF-8"},
        {"every text cell quoted", "1,\"F0000001\",\"a\",\"127.0.50.94\"\n", 3,
         "1行目の先頭10バイト以内に"},
        {"an English header row", kHeader + "\n" + text::sj(device) + "\n", 0,
         "list.csv の 1行目は番号の欄が数字ではない(見出し行など)ため、機器として扱いません。"},
        {"numbers a spreadsheet took for numbers", text::sj(device) + "\n", 0,
         "list.csv の 1行目は番号が3桁ではありません(001 が 1 など)。"},
        {"a record longer than a load keeps", text::sj(device) + std::string(250, 'm') + "\n", 0,
         "list.csv の 1行目はFから255バイトを超えるため"},
    };
    for (const auto& c : cases) {
        writeBytes(m_dir / "list.csv", c.file);
        e2e::RunnerResult r = runner({"check", "--all"});
        EXPECT_EQ(r.code, c.code) << c.what << "\n" << r.errors;
        EXPECT_EQ(count(r.errors, c.told), 1u) << c.what << "\n" << r.errors;
        const devlist::LineStore before = devlist::LineStore::fromFileBytes(c.file);
        const devlist::LineStore after = devlist::LineStore::fromFileBytes(list());
        if (c.code != 0) {
            EXPECT_EQ(list(), c.file) << c.what;
            continue;
        }
        // A header row is left as it was; the device got its result.
        ASSERT_EQ(after.size(), before.size()) << c.what;
        EXPECT_EQ(after[0] == kHeader, c.file.starts_with(kHeader)) << c.what;
        EXPECT_EQ(devlist::FieldGet(devlist::kMessage, after[after.size() - 1]),
                  text::sj("#000 OK 正常送信"))
            << c.what;
        EXPECT_EQ(count(r.errors, "] No."), 1u) << r.errors;  // one device served
    }
}

TEST_F(RunnerSheetsE2e, SearchApplyKeepsWhatTheStoredListLeavesOut) {
    ASSERT_TRUE(m_sim.start(
        {"--port", "23195", "--device", "127.0.0.95,mac=00:ee:80:e2:30:95,model=AB12-NODE95"}, 1))
        << m_sim.errors();
    const std::string original =
        "001,F0000000,kept,127.0.0.96,80,23,00:EE:80:E2:30:96,,,admin,"
        "plume,defalt.txt,,\r\n# a note of the operator\r\n";
    writeBytes(m_dir / "list.csv", original);
    e2e::RunnerResult r = runner({"search", "--own-address", "127.0.0.1", "--apply"});
    ASSERT_EQ(r.code, 0) << r.errors;
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), original);
    EXPECT_NE(r.errors.find("list.csv.bak に残しました。そのうち1行は保存したリストにありません。"),
              std::string::npos)
        << r.errors;
    const devlist::LineStore after = devlist::LineStore::fromFileBytes(list());
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(devlist::FieldGet(devlist::kListName, after[0]), "kept");
    EXPECT_NE(list().find("00:EE:80:E2:30:95"), std::string::npos);

    // The same copy is not made twice; the list stored now leaves nothing out.
    r = runner({"search", "--own-address", "127.0.0.1", "--apply"});
    ASSERT_EQ(r.code, 0) << r.errors;
    EXPECT_EQ(r.errors.find(".bak"), std::string::npos) << r.errors;
    EXPECT_FALSE(fs::exists(m_dir / "list.csv.bak2"));
}

// A list made by hand has no MAC addresses: after a first send side by side, the report's Changed
// column and diff read each device's own files.
TEST_F(RunnerSheetsE2e, AFirstSendWithoutMacAddressesLeavesEachRecordItsOwnFiles) {
    const std::string port = std::to_string(kSheetsPort);
    ASSERT_TRUE(m_sim.start({"--no-search", "--port", port, "--device",
                             "127.0.51.91,mac=00:EE:80:00:51:91,var.trapHost=10.0.0.1", "--device",
                             "127.0.51.92,fault=wrong-password", "--device", "127.0.51.93,mac="},
                            3))
        << m_sim.errors();
    std::string lines;
    for (int host : {91, 92, 93})
        lines += "1,F0000001,r" + std::to_string(host) + ",127.0.51." + std::to_string(host) +
                 ",80," + port + ",,,,admin,plume,,,\r\n";
    writeBytes(m_dir / "list.csv", lines);
    writeBytes(m_dir / "s.Ini", "[setting]\r\nwait1=0\r\nfile2=change.txt\r\n");
    writeBytes(m_dir / "change.txt", ".ntpServer=127.0.0.1\r\nunset .trapHost\r\n");
    e2e::RunnerResult send = runner({"send", "--all", "--parallel", "3", "--report", "send.csv"});
    EXPECT_EQ(send.code, 1) << send.errors;  // the refusal
    const std::string report = readBytes(m_dir / "send.csv");
    EXPECT_EQ(count(report, ",2: .ntpServer;.trapHost,yes\r\n"), 1u) << report;
    EXPECT_EQ(count(report, ",1: .ntpServer,yes\r\n"), 1u) << report;
    // Each record's diff finds its own send, or names the dump the refused one never got.
    const std::pair<std::string, std::string> shown[] = {
        {"1", "added   .ntpServer: 127.0.0.1\nremoved .trapHost: 10.0.0.1\n"},
        {"2", "QLX-No002q1.txt"},
        {"3", "added   .ntpServer: 127.0.0.1\n"},
    };
    for (const auto& [record, part] : shown) {
        e2e::RunnerResult diff = runner({"diff", record});
        EXPECT_EQ(diff.code, record == "2" ? 3 : 0) << record << ": " << diff.errors;
        EXPECT_NE((diff.output + diff.errors).find(part), std::string::npos)
            << record << ": " << diff.output << diff.errors;
    }
}

}  // namespace
