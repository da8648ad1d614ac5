// The settings lines of a session, the connection port, the names of its files and the bounded
// text that holds its terminal and device log.
#include <gtest/gtest.h>

#include "devlist/line_store.h"
#include "session/bounded_text.h"
#include "session/file_names.h"
#include "session/send_store.h"

namespace {

using devlist::LineStore;
using session::BoundedText;

std::string numbered(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i) s += "set" + std::to_string(i) + "\r\n";
    return s;
}

TEST(LoadSendStore, TakesResetLinesOnlyFromTheLastFiveOfSixOrMore) {
    struct Case {
        const char* name;
        std::string file;
        bool checkMode;
        std::vector<std::string> lines;
        bool reset;
    };
    const Case cases[] = {
        {"both cases of the word in the last five",
         numbered(1, 9) + "CPURESET\r\nset11\r\ncpureset",
         false,
         {"set1", "set2", "set3", "set4", "set5", "set6", "set7", "set8", "set9", "set11"},
         true},
        {"five lines keep it",
         numbered(1, 4) + "CPURESET\r\n",
         false,
         {"set1", "set2", "set3", "set4", "CPURESET"},
         false},
        {"sixth from the end is streamed",
         "CPURESET\r\n" + numbered(2, 6),
         false,
         {"CPURESET", "set2", "set3", "set4", "set5", "set6"},
         false},
        {"inside a line, any case",
         numbered(1, 5) + "do CpuReset now\r\n",
         false,
         {"set1", "set2", "set3", "set4", "set5"},
         true},
        {"check mode removes but never resets",
         numbered(1, 5) + "CPURESET",
         true,
         {"set1", "set2", "set3", "set4", "set5"},
         false},
        {"CR, LF and CR LF all end lines",
         "a\rb\nc\r\nd\r\ne\nCPURESET\r",
         false,
         {"a", "b", "c", "d", "e"},
         true},
        // 0x83 'C' is one two-byte character, so no "CPURESET" starts there.
        {"a trail byte is no letter",
         numbered(1, 5) + "\x83"
                          "CPURESET",
         false,
         {"set1", "set2", "set3", "set4", "set5",
          "\x83"
          "CPURESET"},
         false},
        {"empty file", "", false, {}, false},
    };
    for (const auto& c : cases) {
        auto got = session::LoadSendStore(c.file, c.checkMode);
        EXPECT_EQ(got.lines.lines(), c.lines) << c.name;
        EXPECT_EQ(got.resetPending, c.reset) << c.name;
    }
    EXPECT_TRUE(session::LoadSendStoreFile("/nonexistent/qlx/send.txt", false).lines.empty());
    EXPECT_EQ(session::TelnetPortOf("2323"), 2323);
    EXPECT_EQ(session::TelnetPortOf("23 "), 23);
}

TEST(SafeFileName, ReplacesEveryByteThatCouldLeaveTheFolderOrIsNoNameByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"QLX00ee80000001q1.txt", "QLX00ee80000001q1.txt"},
        {"../../etc/passwd", "______etc_passwd"},
        {"..", "__"},
        {"a.b.txt", "a.b.txt"},
        {"a\\b/c", "a_b_c"},
        {"x\x01y\x7fz\n", "x_y_z_"},
        {"<>:\"|?*", "_______"},
        {"\x95\x5c\x83\x7c", "\x95\x5c\x83\x7c"},  // two-byte characters ending in '\' and '|'
        {"ab\x95", "ab_"},                         // a lead byte without its trail byte
        {"\x95/", "__"},
    };
    for (const auto& [in, out] : cases) EXPECT_EQ(session::SafeFileName(in), out) << in;
    EXPECT_EQ(session::Log20Name("00:11:22:33:44:55"), "QLX001122334455l20.txt");
    EXPECT_EQ(session::CommLogName(""), "R1.txt");
    EXPECT_EQ(session::PreWriteDumpName("../a"), "___aq1.txt");
}

TEST(BoundedText, KeepsTheLineStoreBytes) {
    BoundedText t;
    LineStore ref;
    for (std::string_view s : {"a", "b\r\nc", "", "d\r\n", "e\r", "\nf"}) {
        t.append(s);
        ref.append(s);
    }
    EXPECT_EQ(t.bytes(), ref.toBytes());
    auto gen = t.generation();
    t.append("g");
    EXPECT_EQ(t.generation(), gen) << "appending only grows the end";
    ref.append("g");
    t.removeFirst();
    t.removeFirst();
    ref.removeFirst();
    ref.removeFirst();
    t.insertTop("head\r");
    ref.insertTop("head\r");
    EXPECT_EQ(t.bytes(), ref.toBytes());
    EXPECT_NE(t.generation(), gen);
    t.clear();
    t.removeFirst();
    EXPECT_TRUE(t.empty());
}

TEST(BoundedText, DropsTheOldestTextAtALineStartBehindACutMark) {
    const size_t cap = 4096;
    BoundedText t(cap);
    std::string all;
    for (int i = 0; i < 500; ++i) {
        std::string line = "line " + std::to_string(i) + std::string(40, 'x');
        t.append(line);
        all += line + "\r\n";
        ASSERT_LE(t.size(), cap);
    }
    const std::string mark = BoundedText::cutMark() + "\r\n";
    ASSERT_EQ(t.bytes().substr(0, mark.size()), mark);
    std::string rest = t.bytes().substr(mark.size());
    EXPECT_GE(rest.size(), cap / 2 - 64);
    EXPECT_EQ(all.substr(all.size() - rest.size()), rest);
    EXPECT_EQ(all.substr(all.size() - rest.size() - 2, 2), "\r\n") << "cut at a line start";

    // One text larger than the whole cap keeps only its newest part.
    BoundedText big(cap);
    big.append(std::string(3 * cap, 'y'));
    EXPECT_LE(big.size(), cap);
    EXPECT_EQ(big.bytes().substr(big.size() - 3), "y\r\n");

    // Such a text with lines in it is cut at a line start as well, after the text before it.
    BoundedText lines(cap);
    lines.append("old");
    std::string flood;
    for (int i = 0; flood.size() < 3 * cap; ++i) flood += "L" + std::to_string(i) + "\r\n";
    lines.append(flood);
    const std::string whole = "old\r\n" + flood + "\r\n";
    const size_t lineStart = whole.find("\r\n", whole.size() - cap / 2) + 2;
    EXPECT_EQ(lines.bytes(), mark + whole.substr(lineStart));
}

}  // namespace
