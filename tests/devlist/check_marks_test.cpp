// Check marks and groups: what reaches the records' flags.
#include "devlist/check_marks.h"

#include <gtest/gtest.h>

#include "records.h"

namespace devlist {
namespace {

using testing::numberedStore;
using testing::Rec;

std::string flagsOf(const LineStore& s, size_t i) {
    return FieldGet(kFlags, s[i]);
}

// What the group buttons do: check exactly the shown members of group g.
void groupCheck(const ListRender& view, int g, LineStore& list) {
    for (size_t k = 0; k < view.groupStore.size(); ++k) {
        int row = static_cast<int>(k);
        CheckStatusSave(view.groupStore, row, view.entries[k].line,
                        RowInGroup(view.groupStore, row, g), list);
    }
}

TEST(GroupCheck, ChecksMembersAndUnchecksTheRest) {
    LineStore list;
    list.append(Rec{.no = 1, .flags = "F0001011"}.line());
    list.append(Rec{.no = 2, .flags = "F0000100"}.line());
    groupCheck(RenderList("", list), 2, list);
    EXPECT_EQ(flagsOf(list, 0), "F0001010");
    EXPECT_EQ(flagsOf(list, 1), "F0000101");
    groupCheck(RenderList("", list), 1, list);
    EXPECT_EQ(flagsOf(list, 0), "F0001011");
    EXPECT_EQ(flagsOf(list, 1), "F0000100");
}

TEST(CheckStatusSave, ChecksOnlyTheShownRowsAndFindsRecordsByLine) {
    LineStore list = numberedStore(12);
    auto view = RenderList("d1", list);  // d1, d10, d11, d12
    for (size_t k = 0; k < view.groupStore.size(); ++k)
        EXPECT_TRUE(CheckStatusSave(view.groupStore, static_cast<int>(k), view.entries[k].line,
                                    true, list));
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(flagsOf(list, i), i == 0 || i >= 9 ? "F0000001" : "F0000000") << i;
    // Bytes 1 to 7 come from the line the view was drawn from, the rest of the record stays.
    LineStore stale;
    stale.append("002,F1110110,old");
    EXPECT_TRUE(CheckStatusSave(stale, 0, 1, false, list));
    EXPECT_EQ(list[1], (Rec{.no = 2, .flags = "F1110110", .name = "d2"}.line()));
}

// Stored numbers 001, 003, 004 (a line was dropped at load): each row reaches its own record.
TEST(CheckStatusSave, ReachesTheShownRecordWhenNumbersHaveGaps) {
    LineStore list;
    for (auto [no, name] : {std::pair{1, "A"}, {3, "C"}, {4, "D"}})
        list.append(Rec{.no = no, .flags = "F0001000", .name = name}.line());
    auto view = RenderList("", list);
    EXPECT_TRUE(CheckStatusSave(view.groupStore, 1, view.entries[1].line, true, list));
    EXPECT_EQ(flagsOf(list, 1), "F0001001");
    EXPECT_EQ(flagsOf(list, 2), "F0001000");
}

TEST(CheckStatusSave, ChangesNothingWhenTheRowLeadsToNoRecord) {
    LineStore list = numberedStore(2);
    const LineStore before = list;
    LineStore group;
    for (auto l : {"001,F0000000", ""}) group.append(l);
    for (int row = -1; row <= 2; ++row)
        for (int line : {-1, 2, 7}) EXPECT_FALSE(CheckStatusSave(group, row, line, true, list));
    EXPECT_EQ(list, before);
}

TEST(AssignGroups, ReplacesAllThreeGroupFlagsOfCheckedRecords) {
    EXPECT_EQ(AssignGroupFlags("F0001011", true, false, false), "F0001001");
    EXPECT_EQ(AssignGroupFlags("F0001011", false, false, false), "F0000001");
    EXPECT_EQ(AssignGroupFlags("F0", false, true, false), "F0010");
    // Flags longer than 8 bytes: bytes 1 to 4, the marks, byte 8.
    EXPECT_EQ(AssignGroupFlags("F000101199", true, true, true), "F0001111");
    LineStore view = numberedStore(3);
    std::vector<ListEntry> entries = RenderList("", view).entries;
    entries[0].checked = entries[2].checked = true;
    entries.push_back({"007", true});  // no line: left alone
    AssignGroups(entries, view, false, true, true);
    EXPECT_EQ(flagsOf(view, 0), "F0000110");
    EXPECT_EQ(flagsOf(view, 1), "F0000000");
    EXPECT_EQ(flagsOf(view, 2), "F0000110");
    // A line whose flags field cannot be read is left alone rather than overwritten.
    LineStore odd;
    odd.append("001," + std::string(300, 'x'));
    AssignGroups({{"001", true, 0}}, odd, true, true, true);
    EXPECT_EQ(odd[0], "001," + std::string(300, 'x'));
}

TEST(DeleteChecked, KeepsUncheckedLinesWithTheirNumbers) {
    LineStore view = numberedStore(5);
    std::vector<ListEntry> entries = RenderList("", view).entries;
    entries[1].checked = entries[3].checked = true;
    EXPECT_EQ(CountChecked(entries), 2u);
    LineStore left = WithoutChecked(entries, view);
    EXPECT_EQ(left.lines(), (std::vector<std::string>{view[0], view[2], view[4]}));
    // After that delete the numbers have gaps; rows still reach the lines they show.
    entries = RenderList("", left).entries;
    entries[1].checked = true;
    AssignGroups(entries, left, true, false, false);
    EXPECT_EQ(flagsOf(left, 1), "F0001000");
    EXPECT_EQ(flagsOf(left, 2), "F0000000");
    EXPECT_EQ(WithoutChecked(entries, left).lines(), (std::vector<std::string>{left[0], left[2]}));
}

}  // namespace
}  // namespace devlist
