// Code page 932 at the boundary: what the operator types, what the program shows, what names
// a file.
#include <gtest/gtest.h>

#include "text/cp932.h"

namespace {

TEST(Cp932, RoundTripsTheVendorRowsThatPlainShiftJisLacks) {
    for (const char* s : {"①", "～", "髙", "ｱｲｳ", "設定送信", "㈱"}) {
        auto bytes = text::encode(s);
        ASSERT_TRUE(bytes) << s;
        EXPECT_EQ(text::decode(*bytes), s);
    }
    EXPECT_EQ(*text::encode("～"), "\x81\x60");
    EXPECT_EQ(*text::encode("①"), "\x87\x40");
}

TEST(Cp932, RefusesWhatCodePage932CannotHold) {
    EXPECT_FALSE(text::encode("😀"));
    EXPECT_FALSE(text::encode("é"));
    EXPECT_FALSE(text::encode("\xff"));  // not even UTF-8
    EXPECT_TRUE(text::encode("plain ASCII, 123"));
}

TEST(Cp932, DecodingMarksEachInvalidByteAndGoesOn) {
    EXPECT_EQ(text::decode("a\xA0z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(text::decode("\x82"), "\xEF\xBF\xBD");  // a lone lead byte at the end
    // An invalid trail byte: the lead is marked, the next byte read anew.
    EXPECT_EQ(text::decode("\x81\x20x"), "\xEF\xBF\xBD x");
    std::string nul("a\0b", 3);
    EXPECT_EQ(text::decode(nul), nul);
    EXPECT_EQ(text::decode(""), "");
}

TEST(Cp932, StreamDecoderCarriesALeadByteToTheNextPiece) {
    std::string bytes = text::sj("機器LOG");
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        text::StreamDecoder d;
        std::string out = d.feed(bytes.substr(0, cut));
        out += d.feed(bytes.substr(cut));
        out += d.finish();
        EXPECT_EQ(out, "機器LOG") << cut;
    }
}

TEST(Cp932, PathsBecomeUtf8NamesAndInvalidBytesStayAsTheyAre) {
    EXPECT_EQ(text::toPath(text::sj("データ/一覧.csv")).string(), "データ/一覧.csv");
    EXPECT_EQ(text::toPath("bad\xA0name").string(), "bad\xA0name");
    EXPECT_EQ(text::fromPath("データ.csv"), text::sj("データ.csv"));
}

TEST(Cp932, TellsWellFormedUtf8AndCodePage932Apart) {
    struct Case {
        const char* what;
        std::string bytes;
        bool utf8;
        bool cp932;
    } cases[] = {
        {"ASCII", "001,F0000000,a", true, true},
        {"nothing", "", true, true},
        {"Japanese in UTF-8, misaligned in code page 932", "東京本社,ルーム", true, false},
        {"short Japanese in UTF-8, valid in both", "名前", true, true},
        {"Japanese in code page 932", text::sj("会議室A,ルーム"), false, true},
        {"half-width kana in code page 932", text::sj("ｱｲｳ"), false, true},
        // Two half-width kana, a kanji and a kana in code page 932.
        {"overlong slash", "\xC0\xAF", false, true},
        {"overlong three-byte", "\xE0\x80\xAF", false, true},
        {"surrogate", "\xED\xA0\x80", false, false},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false, false},
        {"four-byte emoji", "\xF0\x9F\x98\x80", true, false},
        {"cut short", "\xE6\x9D", false, true},
        {"lone lead byte of code page 932", "a\x82", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::isUtf8(c.bytes), c.utf8) << c.what;
        EXPECT_EQ(text::isCp932(c.bytes), c.cp932) << c.what;
    }
}

}  // namespace

namespace {

// What a report or a terminal gets of whatever bytes a device sent: valid characters byte for
// byte, everything else a mark or an escape.
TEST(Cp932, ReportAndTerminalTextsOfHostileBytes) {
    const std::string kiki = text::sj("機器");
    struct Case {
        std::string in, valid, escaped;
    } cases[] = {
        {kiki + "-1", kiki + "-1", kiki + "-1"},
        {"a\x80z", "a?z", "a\x80z"},
        {"a\xA0\xFD\xFE\xFFz", "a????z", "a\xA0\xFD\xFE\xFFz"},
        {"\x82", "?", "\x82"},                 // a lone lead byte at the end
        {"\x81\x20x", "? x", "\x81 x"},        // a lead byte with no trail byte
        {"\x81\x7f", "?\x7f", "\x81\\x7F"},    // DEL is no trail byte
        {"\x83\x40", "\x83\x40", "\x83\x40"},  // ァ: its trail byte is an "@"
        {"\x88\x9f", "\x88\x9f", "\x88\x9f"},  // 亜: its trail byte is above 0x7F
        {"\x1b]0;owned\x07", "\x1b]0;owned\x07", "\\x1B]0;owned\\x07"},
        {std::string("a\0b\r\n", 5), std::string("a\0b\r\n", 5), "a\\x00b\\x0D\\x0A"},
        {"\xB1\xDF", "\xB1\xDF", "\xB1\xDF"},  // half-width katakana are single bytes
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::validOnly(c.in, '?'), c.valid) << c.in;
        EXPECT_EQ(text::escapeControls(c.in), c.escaped) << c.in;
        EXPECT_EQ(text::decode(text::validOnly(c.in, '?'), "#").find('#'), std::string::npos)
            << c.in;
    }
}

}  // namespace
