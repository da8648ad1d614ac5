// Loading a list file: which lines become records, with which numbers, and when the file must
// be kept aside because loading it lost something.
#include "devlist/list_file.h"

#include <gtest/gtest.h>

#include "devlist/fields.h"
#include "text/cp932.h"

namespace devlist {
namespace {

ListBuild build(std::string_view bytes) {
    return BuildListRecords(LineStore::fromFileBytes(bytes));
}

TEST(ListLoad, NumbersRecordsByFilePositionAndDropsUnmarkedLines) {
    auto b = build("005,F0001001,a\r\njunk\r\n009,F0001001,b\r\nx,y,Fz\n");
    ASSERT_TRUE(b.accepted);
    // Text before the mark that is no number makes no record: a header row would otherwise
    // become a device.
    EXPECT_EQ(b.records.lines(), (std::vector<std::string>{"001,F0001001,a", "003,F0001001,b"}));
    EXPECT_TRUE(b.lossy);
    b = build("001,F0000000,a\r002,F0000000,b\n003,F0000000,c");
    EXPECT_EQ(b.records[2], "003,F0000000,c");
    EXPECT_FALSE(b.lossy);
    EXPECT_TRUE(build("005,F0,a\r\nx,y,Fz").lossy);  // text before the mark is dropped
}

TEST(ListLoad, RejectsAFileWhoseFirstLineIsNoRecord) {
    auto b = build("No,Name,IP\r\n001,F0000000,a\r\n");
    EXPECT_FALSE(b.accepted);
    EXPECT_TRUE(b.records.empty());
    EXPECT_TRUE(b.lossy);
    EXPECT_TRUE(build("12345678,F").accepted);
    EXPECT_FALSE(build("123456789,F").accepted);
    EXPECT_FALSE(build("").lossy);
}

TEST(ListLoad, CutsRecordsAt255BytesAfterTheNumber) {
    auto b = build("001,F" + std::string(254, 'x') + "\r\n002,F" + std::string(300, 'y'));
    EXPECT_EQ(b.records[0].size(), 4u + 255u);
    EXPECT_EQ(b.records[1], "002,F" + std::string(254, 'y'));
    EXPECT_TRUE(b.lossy);
    EXPECT_FALSE(build("001,F" + std::string(254, 'x')).lossy);
}

TEST(ListLoad, ReadsOnlyTheFirst999Lines) {
    std::string file;
    for (int i = 1; i <= 1200; ++i) file += ZeroPad(i, 3) + ",F0000000,n\r\n";
    auto b = build(file);
    ASSERT_EQ(b.records.size(), 999u);
    EXPECT_EQ(b.records[998], "999,F0000000,n");
    EXPECT_TRUE(b.lossy);
    // Blank lines carry nothing, neither inside nor past the limit.
    std::string blanks;
    for (int i = 1; i <= 999; ++i) blanks += (i == 2 ? "" : ZeroPad(i, 3) + ",F") + "\r\n";
    auto c = build(blanks + "\r\n\r\n");
    EXPECT_EQ(c.records.size(), 998u);
    EXPECT_EQ(c.records[1], "003,F");
    EXPECT_FALSE(c.lossy);
}

// Lists as a spreadsheet saves them after a round trip: leading zeros and CR are gone, names
// with quotes come back quoted, and depending on how it was saved, every text cell is quoted, a
// header row leads, or the file is UTF-8. Byte for byte as written.
TEST(ListLoad, TellsWhatASpreadsheetMadeOfAList) {
    const std::string rec1 =
        "1,F0000000,会議室A,192.168.0.10,80,23,00:EE:80:12:34:56,AB12-NODE01,ルーム,admin,123,"
        "c:\\data\\defalt.txt,2026/12/8 6:39,#000 OK 正常送信";
    const std::string rec2 =
        "2,F0000000,東京本社,192.168.0.11,80,23,00:EE:80:12:34:57,AB12-NODE01,ルーム,admin,"
        "plume,defalt.txt,,";
    const std::string quotedName =
        "1,F0000000,\"Room \"\"A\"\"\",192.168.0.12,80,23,00:EE:80:12:34:58,,,admin,plume,"
        "defalt.txt,,";
    const std::string allQuoted =
        "1,\"F0000000\",\"会議室A\",\"192.168.0.10\",80,23,\"00:EE:80:12:34:56\",\"AB12-NODE01\","
        "\"ルーム\",\"admin\",123,\"c:\\data\\defalt.txt\",2026/12/8 6:39,\"#000 OK 正常送信\"";
    const std::string english =
        "No,Flags,ListName,IpAddress,HttpPort,TelnetPort,MacAddress,ModelVersion,DeviceName,"
        "UserId,Password,SendFile,LastSend,Message";
    const std::string japanese =
        "番号,フラグ,リスト名称,IPアドレス,ポート HTTP,TELNET,MAC,"
        "model / Ver,機器名称,ユーザーID,パスワード,送信ファイル,最終送信,"
        "メッセージ";
    const std::string bom = "\xEF\xBB\xBF";
    auto sj = [](std::string_view utf8) { return text::sj(utf8); };
    struct Case {
        const char* what;
        std::string bytes;
        ListRefusal refusal;
        std::vector<std::string> records;  // the number and the name of each, as bytes
        std::vector<int> unnumbered;
    } cases[] = {
        {"Shift-JIS, LF, numbers lost",
         sj(rec1 + "\n" + rec2 + "\n"),
         ListRefusal::None,
         {sj("001 会議室A"), sj("002 東京本社")},
         {}},
        {"a name holding quotes",
         text::sj(quotedName + "\n"),
         ListRefusal::None,
         {"001 \"Room \"\"A\"\"\""},
         {}},
        {"every text cell quoted", text::sj(allQuoted + "\n"), ListRefusal::NoRecordMark, {}, {}},
        {"Japanese header row",
         text::sj(japanese + "\n" + rec1 + "\n"),
         ListRefusal::NoRecordMark,
         {},
         {}},
        {"English header row",
         text::sj(english + "\n" + rec1 + "\n" + rec2 + "\n"),
         ListRefusal::None,
         {sj("002 会議室A"), sj("003 東京本社")},
         {1}},
        {"a header row further down",
         text::sj(rec1 + "\n" + english + "\n" + rec2 + "\n"),
         ListRefusal::None,
         {sj("001 会議室A"), sj("003 東京本社")},
         {2}},
        {"UTF-8", rec1 + "\n" + rec2 + "\n", ListRefusal::Utf8, {}, {}},
        {"UTF-8 with a byte-order mark", bom + quotedName + "\n", ListRefusal::Utf8, {}, {}},
        {"UTF-8 header row", bom + english + "\n" + rec1 + "\n", ListRefusal::Utf8, {}, {}},
        // Short Japanese texts in UTF-8 can be valid code page 932: nothing tells them apart.
        {"UTF-8 valid in code page 932 too",
         "1,F0000000,名前,192.168.0.11\n",
         ListRefusal::None,
         {"001 名前"},
         {}},
        {"nothing", "", ListRefusal::Empty, {}, {}},
        {"blank lines", "\n\r\n", ListRefusal::Empty, {}, {}},
    };
    for (const auto& c : cases) {
        ListBuild b = build(c.bytes);
        EXPECT_EQ(b.refusal, c.refusal) << c.what;
        EXPECT_EQ(b.accepted, c.refusal == ListRefusal::None) << c.what;
        std::vector<std::string> got;
        for (const std::string& r : b.records.lines())
            got.push_back(FieldGet(kNo, r) + " " + FieldGet(kListName, r));
        EXPECT_EQ(got, c.records) << c.what;
        EXPECT_EQ(b.unnumbered, c.unnumbered) << c.what;
        // What was left out, a header row too, is kept aside before the file is replaced.
        EXPECT_EQ(b.lossy, !c.unnumbered.empty() ||
                               (c.refusal != ListRefusal::None && c.refusal != ListRefusal::Empty))
            << c.what;
        if (c.refusal == ListRefusal::None || c.refusal == ListRefusal::Empty) continue;
        // The operator learns what the list must look like and how a spreadsheet saves it.
        const std::string told = text::decode(ListRefusalText("l.csv", c.refusal));
        for (const char* part : {"l.csv ", "Shift-JIS", "見出し行", "引用符"})
            EXPECT_NE(told.find(part), std::string::npos) << c.what << ": " << told;
        const char* why = c.refusal == ListRefusal::Utf8 ? "UTF-8" : "1行目の先頭10バイト";
        EXPECT_NE(told.find(why), std::string::npos) << c.what << ": " << told;
    }
    EXPECT_EQ(text::decode(UnnumberedText("l.csv", {1, 2, 3, 4, 5, 6, 9})),
              "l.csv の 1, 2, 3, 4, 5行目ほか2行は番号の欄が数字ではない(見出し行など)ため、"
              "機器として扱いません。");
}

// Lines a load names for the operator: numbers a spreadsheet stripped of their zeros, and
// records cut past what a load keeps.
TEST(ListLoad, NamesSpreadsheetNumbersAndCutRecords) {
    const std::string longest = "001,F" + std::string(254, 'x');  // kept whole
    struct Case {
        std::string file;
        std::vector<int> shortNumbered, cut;
    } cases[] = {
        {"001,F0,a\r\n002,F0,b\r\n" + longest, {}, {}},
        {"1,F0,a\r\n2,F0,b\r\n010,F0,c\r\n100,F0,d", {1, 2}, {}},
        {",F0,a\r\n002,F0,b", {}, {}},  // an empty number is numbered as always
        {"001,F0,a\r\n" + longest + "y", {}, {2}},
        {"1,F0,a\r\n2,F" + std::string(255, 'z'), {1, 2}, {2}},
    };
    for (const auto& c : cases) {
        ListBuild b = build(c.file);
        ASSERT_TRUE(b.accepted) << c.file;
        EXPECT_EQ(b.shortNumbered, c.shortNumbered) << c.file;
        EXPECT_EQ(b.cut, c.cut) << c.file;
        EXPECT_EQ(LoadNotes("l.csv", b).size(), !c.shortNumbered.empty() + !c.cut.empty());
    }
}

}  // namespace
}  // namespace devlist
