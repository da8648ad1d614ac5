// Field accessors: the byte rules every other part of the program relies on.
#include "devlist/fields.h"
#include "devlist/record_details.h"

#include <gtest/gtest.h>

#include "devlist/device_record.h"

namespace devlist {
namespace {

TEST(FieldGet, ReadsFieldsAndTreatsMissingOnesAsEmpty) {
    EXPECT_EQ(FieldGet(0, "abc"), "abc");
    EXPECT_EQ(FieldGet(1, "a,b"), "b");
    EXPECT_EQ(FieldGet(2, "a,b,"), "");
    EXPECT_EQ(FieldGet(3, "a,b"), "");
    EXPECT_EQ(FieldGet(-1, "a,b"), "");
    EXPECT_EQ(FieldGet(1, "abc"), "");
    EXPECT_EQ(FieldGet(2, ",,x"), "x");
}

TEST(FieldGet, SeesOnly255BytesAfterTheFirstComma) {
    // The comma appended to the line must fall within the 255 bytes too.
    EXPECT_EQ(FieldGet(1, "001," + std::string(254, 'a')), std::string(254, 'a'));
    EXPECT_EQ(FieldGet(1, "001," + std::string(255, 'a')), "");
    std::string atEdge = "001," + std::string(254, 'b') + ",c";
    EXPECT_EQ(FieldGet(1, atEdge), std::string(254, 'b'));
    EXPECT_EQ(FieldGet(2, atEdge), "");
    // Fields ending past the cut read empty, while FieldSet still reaches them.
    std::string line = "001,F0000000," + std::string(280, 'x') + ",tail";
    EXPECT_EQ(FieldGet(3, line), "");
    EXPECT_EQ(FieldSet(3, "T", line), "001,F0000000," + std::string(280, 'x') + ",T");
    EXPECT_EQ(FieldGet(0, std::string(1000, 'n')), std::string(1000, 'n'));
}

TEST(FieldSet, ReplacesOneFieldAndKeepsEveryOtherByte) {
    EXPECT_EQ(FieldSet(1, "X", "a,b,c"), "a,X,c");
    EXPECT_EQ(FieldSet(2, "X", "a,b,c"), "a,b,X");
    EXPECT_EQ(FieldSet(3, "X", "a,b,c"), "a,b,c");
    EXPECT_EQ(FieldSet(0, "X", ""), "X");
    EXPECT_EQ(FieldSet(1, "X", "a,"), "a,X");
    EXPECT_EQ(FieldSet(-1, "X", "a,b"), "a,b");
}

TEST(NumberTexts, PadParseAndSortKeys) {
    EXPECT_EQ(ZeroPad(7, 3), "007");
    EXPECT_EQ(ZeroPad(1000, 3), "1000");
    EXPECT_EQ(ZeroPad(5, -4), "5");
    EXPECT_EQ(ZeroPad(1, 100), std::string(16, '0') + "1");
    EXPECT_EQ(ZeroPad(-5, 3), "0-5");  // the zeros stand before the sign
    EXPECT_EQ(ZeroPad(-12, 4), "0-12");
    EXPECT_EQ(ZeroPad(LLONG_MIN, 3), "-9223372036854775808");
    EXPECT_EQ(IpSortKey("127.168.1.5"), "127.168.001.005");
    EXPECT_EQ(IpSortKey(""), "000.000.000.000");
    EXPECT_EQ(IpSortKey("10.1"), "010.001.000.000");
    EXPECT_EQ(IpSortKey("1.2.3.4.5"), "001.002.003.004");
    EXPECT_EQ(IpSortKey("1000.2..4"), "1000.002.000.004");
    EXPECT_EQ(IpSortKey("-1.x.3a. 4"), "000.000.000.000");
    EXPECT_EQ(IpSortKey("99999999999999999999.1.1.1"), "000.001.001.001");
    EXPECT_EQ(MacDigits("00:11:22:aa:bb:cc"), "001122aabbcc");
    EXPECT_EQ(ParseNumber("-9223372036854775808", 0), LLONG_MIN);
    EXPECT_EQ(ParseNumber("9223372036854775808", -1), -1);
    EXPECT_EQ(ParseNumber("1 ", -1), -1);
    EXPECT_EQ(ParseNumber("-", -1), -1);
    EXPECT_EQ(LeadingNumber("012 name"), 12);
    EXPECT_EQ(LeadingNumber("1a2"), 0);
}

TEST(FileNameOf, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(FileNameOf("c:\\data\\sub\\settings_long_name.txt"), "settings_long_name.txt");
    EXPECT_EQ(FileNameOf("c:file.txt"), "file.txt");
    EXPECT_EQ(FileNameOf("dir/file.txt"), "file.txt");
    EXPECT_EQ(FileNameOf("c:\\dir\\"), "");
    // "表" is 0x95 0x5C in code page 932: its trail byte is no folder separator.
    EXPECT_EQ(FileNameOf("c:\\\x95\x5C.txt"), "\x95\x5C.txt");
    EXPECT_EQ(FileNameOf("\x95\x5C\\a\x95"), "a\x95");
}

TEST(DeviceRecord, WritesFourteenFieldsAndReadsAFifteenth) {
    DeviceRecord def;
    def.no = "001";
    EXPECT_EQ(def.toLine(),
              "001,F0000000,no name,0.0.0.0,80,23,00:ee:80:00:00:00,,,admin,plume,defalt.txt,,");
    EXPECT_FALSE(DeviceRecord::fromLine(def.toLine()).saveName);
    auto with = DeviceRecord::fromLine(def.toLine() + ",save");
    EXPECT_EQ(with.saveName, "save");
    EXPECT_EQ(with.toLine(), def.toLine());
    EXPECT_TRUE(IsGroupMember("F0001011", 3));
    EXPECT_FALSE(IsGroupMember("F0001011", 2));
    EXPECT_FALSE(IsGroupMember("F0001011", 4));
    EXPECT_FALSE(IsChecked("F000101"));
}

}  // namespace
}  // namespace devlist

namespace {
// The tooltip's text: every field the columns cut, whole; never the login.
TEST(RecordDetails, ShowsEveryFieldWholeAndLeavesTheLoginOut) {
    const std::string line =
        "007,F0000001,Name that is far longer than its column,127.0.0.7,8080,2323,"
        "00:EE:80:00:00:07,QLX-300 Ver3.10 build 2024-04-30,dev7,admin,secret,a.txt,"
        "2026/12/01 09:00:05,#421 NG failure: the device is busy with another session";
    EXPECT_EQ(devlist::RecordDetails(line),
              "No.007  Name that is far longer than its column\n"
              "IP address: 127.0.0.7  HTTP: 8080  TELNET: 2323\n"
              "MAC: 00:EE:80:00:00:07\n"
              "Model: QLX-300 Ver3.10 build 2024-04-30\n"
              "Time: 2026/12/01 09:00:05\n"
              "Message: #421 NG failure: the device is busy with another session");
    EXPECT_EQ(devlist::RecordDetails("001,F"),
              "No.001  \nIP address:   HTTP:   TELNET: \nMAC: \n"
              "Model: \nTime: \nMessage: ");
}
}  // namespace
