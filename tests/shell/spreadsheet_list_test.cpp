// Lists that went through a spreadsheet, as the window loads, imports and saves them: the
// communication log says why a file is not taken as a list before anything is written over it,
// a header row is no device, and what the window replaces stays in a copy beside the list.
#include <algorithm>

#include "app_fixture.h"
#include "devlist/fields.h"
#include "devlist/list_file.h"

namespace shelltest {
namespace {

using devlist::ListRefusal;

const std::string kHeader =
    "No,Flags,ListName,IpAddress,HttpPort,TelnetPort,MacAddress,ModelVersion,DeviceName,UserId,"
    "Password,SendFile,LastSend,Message";
// As a spreadsheet writes a record back: its number and password lose their leading zeros.
const std::string kRecord =
    "1,F0000001,会議室A,127.0.0.5,80,23,00:EE:80:12:34:56,AB12-NODE01,ルーム,admin,123,"
    "c:\\data\\defalt.txt,2026/12/8 6:39,#000 OK 正常送信";

// The communication log without its time stamps.
std::vector<std::string> logTexts(const shell::WindowState& s) {
    std::vector<std::string> out;
    for (const std::string& line : s.commLogView.lines())
        out.push_back(line.size() > 20 ? line.substr(20) : line);
    return out;
}

bool logged(const shell::WindowState& s, const std::string& text) {
    auto log = logTexts(s);
    return std::find(log.begin(), log.end(), text) != log.end();
}

TEST_F(AppTest, ListFromASpreadsheetIsExplainedInTheLogAndKeptBeforeItIsReplaced) {
    const std::string quoted = sj("1,\"F0000001\",\"会議室A\",\"127.0.0.5\",80,23\n");
    const std::string japanese = sj("番号,フラグ,リスト名称,IPアドレス\n") + sj(kRecord) + "\n";
    const std::string english = kHeader + "\n" + sj(kRecord) + "\n";
    const std::string utf8 = kRecord + "\n";
    const std::string bom = "\xEF\xBB\xBF" + kHeader + "\n1,F0000001,a,127.0.0.5\n";
    const std::string plain = sj(kRecord) + "\n";
    const std::string noMark = devlist::ListRefusalText("list.csv", ListRefusal::NoRecordMark);
    const std::string utf8Refused = devlist::ListRefusalText("list.csv", ListRefusal::Utf8);
    const std::string shortNumbers = devlist::ShortNumbersText("list.csv", {1});
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::string> told;  // the log lines on the list
        size_t records;                 // loaded
        bool kept;                      // the first save keeps the file as .bak
    } cases[] = {
        {"every text cell quoted", quoted, {noMark}, 0, true},
        {"a Japanese header row", japanese, {noMark}, 0, true},
        {"an English header row",
         english,
         {devlist::UnnumberedText("list.csv", {1}), devlist::ShortNumbersText("list.csv", {2})},
         1,
         true},
        {"UTF-8", utf8, {utf8Refused}, 0, true},
        {"UTF-8 with a byte-order mark", bom, {utf8Refused}, 0, true},
        {"Shift-JIS with LF endings", plain, {shortNumbers}, 1, false},
    };
    for (const auto& c : cases) {
        writeBytes(m_dir / "list.csv", c.file);
        fs::remove(m_dir / "list.csv.bak");
        start();
        const auto log = logTexts(st());
        const size_t about =
            static_cast<size_t>(std::count_if(log.begin(), log.end(), [](const std::string& l) {
                return l.starts_with("list.csv");
            }));
        EXPECT_EQ(about, c.told.size()) << c.what;
        for (const std::string& told : c.told) EXPECT_TRUE(logged(st(), told)) << c.what;
        ASSERT_EQ(st().listStore.size(), c.records) << c.what;
        for (const std::string& r : st().listStore.lines())
            EXPECT_EQ(devlist::FieldGet(devlist::kListName, r), sj("会議室A")) << c.what;
        settingsAndBack();  // rewrites the list file
        EXPECT_EQ(fs::exists(m_dir / "list.csv.bak"), c.kept) << c.what;
        if (c.kept) {
            EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), c.file) << c.what;
        }
        // Whatever the window wrote is a list in code page 932 without the header row.
        EXPECT_EQ(listBytes(), st().listStore.toBytes()) << c.what;
    }

    // An import is refused with the warning it always gave, and the log says why.
    writeBytes(m_dir / "x.csv", quoted);
    m_app->listEditor().enterListEdit();
    m_dialogs.answerFile((m_dir / "x.csv").string());
    m_app->listImport();  // refused with its warning (ListEditTest), and the log says why
    EXPECT_TRUE(logged(
        st(), devlist::ListRefusalText((m_dir / "x.csv").string(), ListRefusal::NoRecordMark)));
}

TEST_F(AppTest, ListSavedAsUtf8WhileTheWindowHasItIsWarnedAboutAndKeptBeforeItIsReplaced) {
    writeList({rec(1, "F0000001", "a")});
    start();
    // The operator saves the list from a spreadsheet as UTF-8 meanwhile.
    const std::string utf8 = kRecord + "\n";
    writeBytes(m_dir / "list.csv", utf8);
    settingsAndBack();
    EXPECT_TRUE(logged(st(), devlist::ListRefusalText("list.csv", ListRefusal::Utf8)));
    EXPECT_EQ(readBytes(m_dir / "list.csv.bak"), utf8);
    EXPECT_EQ(listBytes(), rec(1, "F0000001", "a") + "\r\n");
}

}  // namespace
}  // namespace shelltest
