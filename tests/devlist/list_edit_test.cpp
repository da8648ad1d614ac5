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

// Addresses octet by octet, files by name, times empty first, bytes unsigned, ties in the old
// order (equal in their first 16 bytes: ascending keeps it, descending reverses it).
TEST(SortRecords, OrdersByTheColumnAndBreaksTiesByTheOldOrder) {
    using enum SortColumn;
    const auto up = SortOrder::Ascending, down = SortOrder::Descending;
    const Rec a{.name = "a", .ip = "127.0.0.10"}, b{.name = "b", .ip = "127.0.0.2"},
        c{.name = "c", .ip = "9.200.0.1", .file = "c:\\x\\s.txt"};
    const std::vector<Rec> ties = {
        {.name = "abcdefghijklmnopZ"}, {.name = "abcdefghijklmnopA"}, {.name = "B"}};
    const std::vector<Rec> times = {{.name = "late", .time = "24/05/01 10:00:00"},
                                    {.name = "never"},
                                    {.name = "early", .time = "23/01/01 09:00:00"}};
    struct Case {
        std::vector<Rec> recs;
        SortColumn column;
        SortOrder order;
        std::vector<std::string> names;
    } cases[] = {
        {{a, b, c}, IpAddress, up, {"c", "b", "a"}},
        {{a, b, c}, IpAddress, down, {"a", "b", "c"}},
        {{c, a}, File, up, {"a", "c"}},  // "defalt.txt" before "s.txt", whatever the path
        {ties, Name, up, {"B", "abcdefghijklmnopZ", "abcdefghijklmnopA"}},
        {ties, Name, down, {"abcdefghijklmnopA", "abcdefghijklmnopZ", "B"}},
        {ties, No, up, {"abcdefghijklmnopZ", "abcdefghijklmnopA", "B"}},
        {ties, static_cast<SortColumn>(9), up, {"abcdefghijklmnopZ", "abcdefghijklmnopA", "B"}},
        {ties, No, down, {"B", "abcdefghijklmnopA", "abcdefghijklmnopZ"}},
        {times, Time, up, {"never", "early", "late"}},
        {times, Time, down, {"late", "early", "never"}},
        {{{.name = "\x82\xA0"}, {.name = "z"}}, Name, up, {"z", "\x82\xA0"}},  // 0x82 after ASCII
    };
    for (const auto& k : cases)
        EXPECT_EQ(names(SortRecords(storeOf(k.recs), k.column, k.order)), k.names)
            << static_cast<int>(k.column) << " " << static_cast<int>(k.order);
    // Lines are cut at 255 bytes and numbered whatever they held.
    LineStore big;
    big.append("001,F" + std::string(300, 'q'));
    big.append("");
    big.append("ab");
    EXPECT_EQ(SortRecords(big, Message, up).lines(),
              (std::vector<std::string>{"001,", "002,F" + std::string(254, 'q'), "003,"}));
}

}  // namespace
}  // namespace devlist
