// Hostile input: whatever a list file or a record line holds, no operation may crash, and the
// operations that must keep bytes keep them.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "devlist/check_marks.h"
#include "devlist/edit_panel.h"
#include "devlist/list_edit.h"
#include "devlist/list_file.h"
#include "records.h"

namespace devlist {
namespace {

std::string randomBytes(std::mt19937& rng, size_t maxLen) {
    // Commas, "F", "\", NUL and lead bytes are frequent so that the record rules are exercised.
    static const char kPicks[] = {',',    'F',    '0',    '1',  '\\', ':', '.', '\0',
                                  '\x82', '\x95', '\xFC', '\r', '\n', ' ', 'a'};
    std::uniform_int_distribution<size_t> len(0, maxLen), pick(0, sizeof kPicks - 1);
    std::uniform_int_distribution<int> any(0, 255);
    std::string s(len(rng), '\0');
    for (auto& c : s) c = (rng() & 1) ? kPicks[pick(rng)] : static_cast<char>(any(rng));
    return s;
}

void exerciseEverything(const LineStore& raw) {
    ListBuild b = BuildListRecords(raw);
    for (const auto& store : {raw, b.records}) {
        ListRender r = RenderList("0", store);
        ListRender all = RenderList("", store);
        for (int row = -1; row <= static_cast<int>(all.groupStore.size()); ++row) {
            LineStore list = store;
            CheckStatusSave(all.groupStore, row, row, row % 2 == 0, list);
            RowInGroup(all.groupStore, row, row % 4);
        }
        LineStore view = store;
        AssignGroups(all.entries, view, true, false, true);
        WithoutChecked(all.entries, view);
        Renumber(r.entries, view);
        for (int c = 0; c < kSortColumns; ++c)
            SortRecords(view, static_cast<SortColumn>(c), SortOrder::Descending);
        for (int s = -1; s <= static_cast<int>(view.size()); ++s) {
            MoveUp(view, s);
            MoveDown(view, s);
        }
        EditPanel p;
        for (const auto& e : all.entries) {
            EditData(p, e.line, store);
            RecordLineFromPanel(LeadingNumber(e.text), p, store.empty() ? "" : store[0]);
        }
    }
}

TEST(BadInput, RandomBytesNeverCrash) {
    std::mt19937 rng(20240601);
    for (int round = 0; round < 200; ++round) {
        LineStore raw = LineStore::fromFileBytes(randomBytes(rng, 2000));
        if (round % 3 == 0 && !raw.empty()) raw[0].insert(0, "001,F");
        exerciseEverything(raw);
        std::string line = randomBytes(rng, 400);
        for (int n = -2; n < 18; ++n) {
            std::string f = FieldGet(n, line);
            EXPECT_LE(f.size(), n == 0 ? line.size() : kRecordCut);
            // Setting a field to what it holds keeps every byte (when it can be read at all).
            if (n > 0 && !f.empty()) {
                EXPECT_EQ(FieldSet(n, f, line), line);
            }
        }
        FileNameOf(line);
        IpSortKey(line);
        DisplayLine(round, line);
    }
}

TEST(BadInput, HugeLinesAndNulBytesAreHandled) {
    std::string mb = "001,F0000001," + std::string(1 << 20, 'x');
    mb[500] = '\0';
    LineStore raw;
    raw.append(mb);
    std::string nuls = "002,F0_0_001,n_l";
    std::replace(nuls.begin(), nuls.end(), '_', '\0');
    raw.append(nuls);
    raw.append(std::string(1 << 20, ','));
    exerciseEverything(raw);
    ListBuild b = BuildListRecords(raw);
    ASSERT_EQ(b.records.size(), 2u);
    EXPECT_EQ(b.records[0].size(), 4u + kRecordCut);
    EXPECT_EQ(b.records[1], raw[1]);
    EXPECT_EQ(FieldGet(2, raw[1]), std::string("n\0l", 3));
    LineStore many;
    for (int i = 1; i <= 1200; ++i) many.append(ZeroPad(i, 3) + ",F0000001,d");
    exerciseEverything(many);
}

}  // namespace
}  // namespace devlist
