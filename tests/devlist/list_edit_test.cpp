// Moving, renumbering and sorting the working copy of the list.
#include "devlist/list_edit.h"

#include <gtest/gtest.h>

#include "records.h"

namespace devlist {
namespace {

using testing::numberedStore;
using testing::Rec;

std::vector<std::string> names(const LineStore& s) {
    std::vector<std::string> out;
    for (size_t i = 0; i < s.size(); ++i) {
        EXPECT_EQ(FieldGet(kNo, s[i]), ZeroPad(static_cast<long long>(i) + 1, 3)) << s[i];
        out.push_back(FieldGet(kListName, s[i]));
    }
    return out;
}

TEST(MoveRecords, SwapAndRenumberOrRefuseAtTheEnds) {
    LineStore s = numberedStore(3);
    EXPECT_TRUE(MoveUp(s, 1));
    EXPECT_EQ(names(s), (std::vector<std::string>{"d2", "d1", "d3"}));
    EXPECT_TRUE(MoveDown(s, 1));
    EXPECT_EQ(names(s), (std::vector<std::string>{"d2", "d3", "d1"}));
    LineStore before = s;
    EXPECT_FALSE(MoveUp(s, 0));
    EXPECT_FALSE(MoveUp(s, 3));
    EXPECT_FALSE(MoveDown(s, 2));
    EXPECT_FALSE(MoveDown(s, -1));
    EXPECT_EQ(s, before);
}

TEST(Renumber, NumbersTheShownEntriesByRank) {
    LineStore view = numberedStore(3);
    view.lines().erase(view.lines().begin() + 1);  // delete record 002: a gap remains
    auto entries = RenderList("", view).entries;
    entries.push_back({"999 not there"});
    entries.push_back({"abc"});
    LineStore out = Renumber(entries, view);
    EXPECT_EQ(names(out), (std::vector<std::string>{"d1", "d3"}));
    EXPECT_EQ(out[1], (Rec{.no = 2, .name = "d3"}.line()));
    LineStore big;
    big.append("001,F" + std::string(300, 'z'));
    EXPECT_EQ(Renumber({{"001", false, 0}}, big)[0], "001,F" + std::string(254, 'z'));
}

LineStore storeOf(std::vector<Rec> recs) {
    LineStore s;
    for (size_t i = 0; i < recs.size(); ++i) {
        recs[i].no = static_cast<int>(i) + 1;
        s.append(recs[i].line());
    }
    return s;
}

TEST(SortRecords, OrdersAddressesOctetByOctetAndFilesByName) {
    Rec a{.name = "a", .ip = "127.0.0.10"}, b{.name = "b", .ip = "127.0.0.2"},
        c{.name = "c", .ip = "9.200.0.1", .file = "c:\\x\\s.txt"};
    LineStore s = storeOf({a, b, c});
    EXPECT_EQ(SortRecords(s, SortColumn::IpAddress, SortOrder::Ascending), storeOf({c, b, a}));
    EXPECT_EQ(names(SortRecords(s, SortColumn::IpAddress, SortOrder::Descending)),
              (std::vector<std::string>{"a", "b", "c"}));
    // The file name, not the path: "defalt.txt" before "s.txt".
    EXPECT_EQ(SortRecords(storeOf({c, a}), SortColumn::File, SortOrder::Ascending),
              storeOf({a, c}));
}

TEST(SortRecords, BreaksTiesByTheOldOrder) {
    // Equal in their first 16 bytes: ascending keeps the order, descending reverses it.
    LineStore s =
        storeOf({{.name = "abcdefghijklmnopZ"}, {.name = "abcdefghijklmnopA"}, {.name = "B"}});
    EXPECT_EQ(names(SortRecords(s, SortColumn::Name, SortOrder::Ascending)),
              (std::vector<std::string>{"B", "abcdefghijklmnopZ", "abcdefghijklmnopA"}));
    EXPECT_EQ(names(SortRecords(s, SortColumn::Name, SortOrder::Descending)),
              (std::vector<std::string>{"abcdefghijklmnopA", "abcdefghijklmnopZ", "B"}));
    EXPECT_EQ(SortRecords(s, SortColumn::No, SortOrder::Ascending), s);
    EXPECT_EQ(SortRecords(s, static_cast<SortColumn>(9), SortOrder::Ascending), s);
    EXPECT_EQ(names(SortRecords(s, SortColumn::No, SortOrder::Descending)),
              (std::vector<std::string>{"B", "abcdefghijklmnopA", "abcdefghijklmnopZ"}));
}

TEST(SortRecords, PutsEmptyTimesFirstAscendingAndLastDescending) {
    LineStore s = storeOf({{.name = "late", .time = "24/05/01 10:00:00"},
                           {.name = "never"},
                           {.name = "early", .time = "23/01/01 09:00:00"}});
    EXPECT_EQ(names(SortRecords(s, SortColumn::Time, SortOrder::Ascending)),
              (std::vector<std::string>{"never", "early", "late"}));
    EXPECT_EQ(names(SortRecords(s, SortColumn::Time, SortOrder::Descending)),
              (std::vector<std::string>{"late", "early", "never"}));
}

TEST(SortRecords, ComparesBytesUnsignedAndCutsAt255) {
    // 0x82 sorts after every ASCII byte when bytes are unsigned.
    LineStore s = storeOf({{.name = "\x82\xA0"}, {.name = "z"}});
    EXPECT_EQ(names(SortRecords(s, SortColumn::Name, SortOrder::Ascending)),
              (std::vector<std::string>{"z", "\x82\xA0"}));
    LineStore big;
    big.append("001,F" + std::string(300, 'q'));
    big.append("");
    big.append("ab");
    LineStore out = SortRecords(big, SortColumn::Message, SortOrder::Ascending);
    EXPECT_EQ(out.lines(),
              (std::vector<std::string>{"001,", "002,F" + std::string(254, 'q'), "003,"}));
}

}  // namespace
}  // namespace devlist
