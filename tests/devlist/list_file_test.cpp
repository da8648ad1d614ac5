// Loading a list file: which lines become records, with which numbers, and when the file must
// be kept aside because loading it lost something.
#include "devlist/list_file.h"

#include <gtest/gtest.h>

#include "devlist/fields.h"

namespace devlist {
namespace {

ListBuild build(std::string_view bytes) {
    return BuildListRecords(LineStore::fromFileBytes(bytes));
}

TEST(ListLoad, NumbersRecordsByFilePositionAndDropsUnmarkedLines) {
    auto b = build("005,F0001001,a\r\njunk\r\n009,F0001001,b\r\nx,y,Fz\n");
    ASSERT_TRUE(b.accepted);
    EXPECT_EQ(b.records.lines(),
              (std::vector<std::string>{"001,F0001001,a", "003,F0001001,b", "004,Fz"}));
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

}  // namespace
}  // namespace devlist
