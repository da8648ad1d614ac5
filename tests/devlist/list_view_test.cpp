// The list view's display lines, the filter over them and the filter history.
#include "devlist/list_view.h"

#include <gtest/gtest.h>

#include "records.h"

namespace devlist {
namespace {

using testing::numberedStore;
using testing::Rec;

std::string blanks(size_t n) {
    return std::string(n, ' ');
}

TEST(DisplayLine, LaysOutEveryColumnByteExactly) {
    Rec r{.flags = "F0000001",
          .name = "abc",
          .ip = "127.168.1.5",
          .file = "c:\\data\\sub\\settings_long_name.txt",
          .model = "QLX-10 V1.2",
          .time = "2024/01/02 03:04:05",
          .message = "#000 OK"};
    // A message under 8 bytes shortens the line: its padding is only 22 blanks.
    EXPECT_EQ(DisplayLine(1, r.line()), "001 abc" + blanks(17) + " 127.168.1.5" + blanks(5) +
                                            "settings_lon" + "QLX-10 V1.2" + blanks(12) +
                                            " 2024/01/02 03:04:05 #000 OK" + blanks(22));
    r.name = "abcdefghijklmnopqrstuvwx";
    r.model = std::string(30, 'm');
    r.message = "#404 NG Time Out";
    r.time = "";
    std::string full = DisplayLine(42, r.line());
    EXPECT_EQ(full, "042 abcdefghijklmnopqrst 127.168.1.5" + blanks(5) + "settings_lon" +
                        std::string(23, 'm') + blanks(21) + "#404 NG Time Out" + blanks(14));
    EXPECT_EQ(full.size(), 127u);
    // The byte cut may split a two-byte character ("あ" is 0x82 0xA0).
    std::string wide = "a";
    for (int i = 0; i < 10; ++i) wide += "\x82\xA0";
    r.name = wide;
    EXPECT_EQ(DisplayLine(1, r.line()).substr(4, 21), wide.substr(0, 20) + " ");
}

// Each byte keeps one cell: a half character cut at a column's end, an invalid byte and a
// control byte each become one "?", and a cut lead byte never pairs with the next column.
TEST(DisplayCells, DrawsEveryByteInOneCellSoColumnsNeverShift) {
    std::string ip = "127.0.0.1" + std::string(6, '.') + "\x95\x5C";  // "表" cut after 0x95
    Rec r{.name = std::string(19, 'n') + "\x82\xA0",
          .ip = ip,
          .file = "abc.txt",
          .model = "\xFF\x09\x82\xA0"};
    std::string line = DisplayLine(1, r.line());
    std::string cells = DisplayCells(line);
    std::string expected = line;
    for (size_t at : {23, 40, 53, 54}) expected[at] = '?';
    expected.replace(55, 2, "あ");
    EXPECT_EQ(cells, expected);
}

TEST(RenderList, FiltersOnTheDisplayTextOnly) {
    LineStore store = numberedStore(150);
    EXPECT_EQ(RenderList("", store).groupStore, store);
    // '00' is in the numbers 001..009 and 100, whatever the fields hold (the MAC is not shown).
    auto zeros = RenderList("00", store);
    ASSERT_EQ(zeros.entries.size(), 10u);
    EXPECT_EQ(zeros.entries[9].text.substr(0, 4), "100 ");
    EXPECT_EQ(zeros.groupStore[9], store[99]);
    EXPECT_EQ(CountLabel(zeros.entries.size(), store.size()), "10 / 150");
    EXPECT_TRUE(RenderList("admin", store).entries.empty());
    // Matching runs across column padding, and a name is matched only as far as it is shown.
    EXPECT_EQ(RenderList("d150" + blanks(17) + "0.0", store).entries.size(), 1u);
    LineStore longName;
    longName.append(Rec{.name = "abcdefghijklmnopqrstuvwx"}.line());
    EXPECT_TRUE(RenderList("uvwx", longName).entries.empty());
    EXPECT_EQ(RenderList("qrst", longName).entries.size(), 1u);
}

TEST(RenderList, StopsAtTheFirstLineWithoutFlagsAndRestoresCheckMarks) {
    LineStore store;
    store.append(Rec{.no = 1, .flags = "F0000001"}.line());
    store.append(Rec{.no = 2, .flags = "F000000"}.line());
    store.append(Rec{.no = 3, .flags = "F0000002", .name = "Q"}.line());
    store.append("004");
    store.append(Rec{.no = 5, .flags = "F0000001"}.line());
    auto r = RenderList("", store);
    ASSERT_EQ(r.entries.size(), 3u);
    EXPECT_TRUE(r.entries[0].checked);
    EXPECT_FALSE(r.entries[1].checked);
    EXPECT_FALSE(r.entries[2].checked);
    auto filtered = RenderList("Q", store);
    ASSERT_EQ(filtered.entries.size(), 1u);
    EXPECT_EQ(filtered.entries[0].text.substr(0, 3), "003");  // position, not rank
}

FilterHistory historyOf(int n) {
    std::vector<std::string> words;
    for (int i = 1; i <= n; ++i)
        words.push_back(std::string(1, 'w').append(std::to_string(i)));  // w1 newest
    FilterHistory h;
    h.setWords(words);
    return h;
}

TEST(FilterHistory, DropsTheOldestBeforeAddingANewWord) {
    auto h = historyOf(11);
    h.remember("new");
    ASSERT_EQ(h.words().size(), 11u);
    EXPECT_EQ(h.words().front(), "new");
    EXPECT_EQ(h.words().back(), "w10");
    h = historyOf(11);
    h.remember("w3");
    EXPECT_EQ(h.words().size(), 10u);
    h = historyOf(11);
    h.remember("w11");  // the oldest word itself leaves the history
    EXPECT_EQ(h.words().back(), "w10");
    h = historyOf(2);
    h.remember("w2");
    h.remember("");
    h.remember("W2");  // case-sensitive
    EXPECT_EQ(h.words(), (std::vector<std::string>{"W2", "w1", "w2"}));
    // The file: any line break on reading, CR LF on writing, a long file kept whole.
    EXPECT_EQ(FilterHistory::fromFileBytes("a\r\nb\rc\nd").toFileBytes(), "a\r\nb\r\nc\r\nd\r\n");
    auto big = FilterHistory::fromFileBytes(historyOf(20).toFileBytes());
    big.remember("x");
    EXPECT_EQ(big.words().size(), 20u);
    EXPECT_EQ(big.words()[19], "w19");
}

}  // namespace
}  // namespace devlist
