// The record editor: loading a shown entry, the defaults and the line written back.
#include "devlist/edit_panel.h"

#include <gtest/gtest.h>

#include "records.h"

namespace devlist {
namespace {

using testing::numberedStore;
using testing::Rec;

TEST(EditData, LoadsTheRecordOfTheLineNumberedByItsPosition) {
    LineStore list = numberedStore(3);
    list[1] = Rec{.no = 2, .flags = "F0001011", .name = "two"}.line() + ",mysave";
    EditPanel p;
    EditData(p, 1, list);
    EXPECT_EQ(p.numberLabel, "2");
    EXPECT_EQ(p.rec.flags, "F0001011");
    EXPECT_EQ(p.rec.listName, "two");
    EXPECT_TRUE(p.group[0]);
    EXPECT_FALSE(p.group[1]);
    EXPECT_TRUE(p.group[2]);
    EXPECT_EQ(p.saveName, "mysave");
    // Without a save name it is made from the MAC address; with no MAC it stays empty.
    EditData(p, 2, list);
    EXPECT_EQ(p.saveName, "QLX00ee80000000");
    list[2] = FieldSet(kMacAddress, "", list[2]);
    EditData(p, 2, list);
    EXPECT_EQ(p.saveName, "");
    // A line that is not there gives empty boxes.
    EditData(p, 8, list);
    EXPECT_EQ(p.numberLabel, "9");
    EXPECT_EQ(p.rec.listName, "");
}

TEST(DefaltData, ResetsTheBoxesButKeepsNumberGroupsAndSaveName) {
    EditPanel p;
    EditData(p, 0, numberedStore(1));
    p.rec.listName = "changed";
    p.group[1] = true;
    p.saveName = "keep";
    DefaltData(p);
    EXPECT_EQ(p.rec.toLine(), DeviceRecord{}.toLine());
    EXPECT_EQ(p.numberLabel, "1");
    EXPECT_TRUE(p.group[1]);
    EXPECT_EQ(p.saveName, "keep");
}

TEST(RecordLineFromPanel, WritesFourteenFieldsAndKeepsAStoredSaveName) {
    EditPanel p;
    p.rec.flags = "F0001001";
    p.rec.lastSend = "2024/01/02 03:04:05";
    p.rec.message = "#000 OK 正常送信";
    p.saveName = "ignored";
    std::string expected =
        "007,F0001001,no name,0.0.0.0,80,23,00:ee:80:00:00:00,,,admin,plume,defalt.txt,"
        "2024/01/02 03:04:05,#000 OK 正常送信";
    EXPECT_EQ(RecordLineFromPanel(7, p), expected);
    EXPECT_EQ(RecordLineFromPanel(7, p, "001,F,a,b,c"), expected);
    std::string old = Rec{}.line();
    EXPECT_EQ(RecordLineFromPanel(7, p, old + ",QLXsave,more"), expected + ",QLXsave,more");
    EXPECT_EQ(RecordLineFromPanel(7, p, old + ","), expected + ",");
}

TEST(FlagsFromGroupBoxes, ReplacesBytesFiveToSeven) {
    const bool g[3] = {true, false, true};
    EXPECT_EQ(FlagsFromGroupBoxes("F0000111", g), "F0001011");
    EXPECT_EQ(FlagsFromGroupBoxes("", g), "101");
    EXPECT_EQ(FlagsFromGroupBoxes("F00", g), "F00101");
}

}  // namespace
}  // namespace devlist
