// The settings file reader and writer: a hand-edited file must come back byte for byte except
// for the lines of the keys written, values are read in the forms people type by hand, and no
// input, however broken, may crash the program at start-up.
#include "fleet/profile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "text/cp932.h"

namespace {

using fleet::Profile;

// What the close writes, in its order.
void writeEveryKey(Profile& p, const std::string& folder) {
    p.writeString("setting", "data1", "7391");
    p.writeString("setting", "folder1", folder);
    p.writeString("setting", "wait1", "2");
    p.writeString("setting", "listcsv", "list.csv");
    p.writeString("setting", "file2", "");
    p.writeInteger("setting", "sort1", 3);
    p.writeInteger("setting", "sort2", -1);
    p.writeInteger("setting", "fselect", 1);
    p.writeBool("setting", "chk2", true);
    p.writeBool("setting", "chk3", false);
    p.writeBool("setting", "chk4", false);
    p.writeBool("setting", "chk6", true);
    p.writeBool("setting", "chk7", false);
}

TEST(ProfileWrite, HandEditedFileKeepsEveryLineItDoesNotOwn) {
    const std::string folder = text::sj("/opt/qlx/作業/data");
    const std::string input =
        "; QLX-Setting\r\n"
        "[Setting]\r\n"
        "  Data1 = 1234  \r\n"
        "listcsv=\"lists/list.csv\"\r\n"
        "\tsort1\t=\t0x3\r\n"
        "debug=QPD1987Tool\r\n"
        "; chk2=0 was too slow\r\n"
        "CHK2 = yes\r\n"
        "not a key line\r\n"
        "\r\n"
        "[other]\r\n"
        "wait1=9\r\n"
        "folder1=keep me\r\n";
    Profile p = Profile::fromBytes(input);
    writeEveryKey(p, folder);

    const std::string expected =
        "; QLX-Setting\r\n"
        "[Setting]\r\n"
        "data1=7391\r\n"
        "listcsv=list.csv\r\n"
        "sort1=3\r\n"
        "debug=QPD1987Tool\r\n"
        "; chk2=0 was too slow\r\n"
        "chk2=1\r\n"
        "not a key line\r\n"
        "folder1=" +
        folder +
        "\r\n"
        "wait1=2\r\n"
        "file2=\r\n"
        "sort2=-1\r\n"
        "fselect=1\r\n"
        "chk3=0\r\n"
        "chk4=0\r\n"
        "chk6=1\r\n"
        "chk7=0\r\n"
        "\r\n"
        "[other]\r\n"
        "wait1=9\r\n"
        "folder1=keep me\r\n";
    EXPECT_EQ(p.toBytes(), expected);

    // A second close changes nothing more.
    Profile again = Profile::fromBytes(expected);
    writeEveryKey(again, folder);
    EXPECT_EQ(again.toBytes(), expected);
    EXPECT_EQ(again.readString("setting", "debug"), "QPD1987Tool");
    EXPECT_EQ(again.readString("setting", "folder1"), folder);
}

TEST(ProfileWrite, CreatesFileAndSectionWhenMissing) {
    Profile empty = Profile::fromBytes("");
    EXPECT_EQ(empty.toBytes(), "");
    empty.writeString("setting", "data1", "7391");
    empty.writeInteger("setting", "sort1", 0);
    EXPECT_EQ(empty.toBytes(), "[setting]\r\ndata1=7391\r\nsort1=0\r\n");

    // A file that does not end in a blank line gets one before the new section.
    Profile other = Profile::fromBytes("[other]\nk=v");
    other.writeBool("setting", "chk2", true);
    EXPECT_EQ(other.toBytes(), "[other]\r\nk=v\r\n\r\n[setting]\r\nchk2=1\r\n");

    Profile blankEnd = Profile::fromBytes("[other]\r\nk=v\r\n\r\n");
    blankEnd.writeBool("setting", "chk2", false);
    EXPECT_EQ(blankEnd.toBytes(), "[other]\r\nk=v\r\n\r\n[setting]\r\nchk2=0\r\n");
}

TEST(ProfileWrite, UsesOnlyTheFirstMatchingSectionAndKey) {
    Profile p = Profile::fromBytes(
        "chk2=stray\r\n"
        "[setting]\r\nchk2=a\r\nchk2=b\r\n"
        "[SETTING]\r\nchk3=c\r\n");
    EXPECT_EQ(p.readString("setting", "chk2"), "a");
    EXPECT_EQ(p.readString("setting", "chk3"), std::nullopt);
    p.writeString("setting", "chk2", "x");
    p.writeString("setting", "chk3", "y");
    EXPECT_EQ(p.toBytes(),
              "chk2=stray\r\n"
              "[setting]\r\nchk2=x\r\nchk2=b\r\nchk3=y\r\n"
              "[SETTING]\r\nchk3=c\r\n");
}

TEST(ProfileWrite, LineBreakInValueCannotForgeLines) {
    Profile p = Profile::fromBytes("[setting]\r\ndebug=\r\n");
    p.writeString("setting", "listcsv", "a.csv\r\ndebug=QPD1987Tool\r\n[x]");
    p.writeString("setting", "file2", "b.txt\nchk2=0");
    EXPECT_EQ(p.toBytes(), "[setting]\r\ndebug=\r\nlistcsv=a.csv\r\nfile2=b.txt\r\n");
    EXPECT_EQ(p.readString("setting", "debug"), "");
}

TEST(ProfileRead, NamesIgnoreAsciiCaseButNotTheBytesOfJapaneseCharacters) {
    const std::string a = text::sj("ア");   // 83 41
    const std::string di = text::sj("ヂ");  // 83 61: differs from "ア" only as 'A' from 'a'
    Profile p = Profile::fromBytes("[ SeTtInG ]\r\n  ChK2 =0\r\n[" + a + "]\r\nk=1\r\n");
    EXPECT_EQ(p.readBool("setting", "chk2", true), false);
    EXPECT_EQ(p.readInteger(a, "K", 0), 1);
    EXPECT_EQ(p.readInteger(di, "k", 0), 0);

    // "ゾ" is 83 5D: its second byte is no closing bracket.
    const std::string zo = text::sj("ゾ");
    Profile q = Profile::fromBytes("[" + zo + "\r\nk=1\r\n[x" + zo + "]\r\nk=2\r\n");
    EXPECT_EQ(q.readInteger(zo.substr(0, 1), "k", 0), 0);
    EXPECT_EQ(q.readInteger("x" + zo, "k", 0), 2);
}

TEST(ProfileRead, ValueFormsAsTypedByHand) {
    Profile p = Profile::fromBytes(
        "[setting]\n"
        "hex=0x3\nHEX2=0X1f\nyes=yes\nbare0x=0x\nbadhex=0xG1\nneg=-1\nplus=+5\n"
        "max=2147483647\nover=2147483648\nmin=-2147483648\nunder=-2147483649\n"
        "hexmax=0x7FFFFFFF\nhexover=0x80000000\ntrail=12abc\nspaced=  7  \nempty=\n"
        "dq=\"42\"\nsq='a b'\nmixed=\"x'\nlone=\"\nfrac=1.5\nsign=-\ntwo=2\nzero=0\n");
    EXPECT_EQ(p.readInteger("setting", "hex", 0), 3);
    EXPECT_EQ(p.readInteger("setting", "hex2", 0), 31);
    EXPECT_EQ(p.readInteger("setting", "yes", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "bare0x", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "badhex", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "neg", 5), -1);
    EXPECT_EQ(p.readInteger("setting", "plus", 0), 5);
    EXPECT_EQ(p.readInteger("setting", "max", 0), 2147483647);
    EXPECT_EQ(p.readInteger("setting", "over", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "min", 0), -2147483647 - 1);
    EXPECT_EQ(p.readInteger("setting", "under", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "hexmax", 0), 2147483647);
    EXPECT_EQ(p.readInteger("setting", "hexover", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "trail", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "spaced", 0), 7);
    EXPECT_EQ(p.readInteger("setting", "empty", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "dq", 0), 42);
    EXPECT_EQ(p.readInteger("setting", "frac", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "sign", 5), 5);
    EXPECT_EQ(p.readInteger("setting", "missing", 5), 5);

    EXPECT_EQ(p.readString("setting", "sq"), "a b");
    EXPECT_EQ(p.readString("setting", "mixed"), "\"x'");
    EXPECT_EQ(p.readString("setting", "lone"), "\"");
    EXPECT_EQ(p.readString("setting", "empty"), "");
    EXPECT_EQ(p.readString("setting", "missing"), std::nullopt);
    EXPECT_EQ(p.readString("setting", "missing", "list.csv"), "list.csv");
    EXPECT_EQ(p.readString("other", "hex"), std::nullopt);

    EXPECT_TRUE(p.readBool("setting", "two", false));
    EXPECT_TRUE(p.readBool("setting", "neg", false));
    EXPECT_FALSE(p.readBool("setting", "zero", true));
    EXPECT_TRUE(p.readBool("setting", "yes", true));
    EXPECT_FALSE(p.readBool("setting", "yes", false));
    EXPECT_FALSE(p.readBool("setting", "missing", false));
}

TEST(ProfileBytes, SplitsAtEveryLineEndAndWritesCrLf) {
    EXPECT_EQ(Profile::fromBytes("a\rb\nc\r\n\r\nd").toBytes(), "a\r\nb\r\nc\r\n\r\nd\r\n");
    EXPECT_EQ(Profile::fromBytes("x\r\r\ny\n\n").toBytes(), "x\r\n\r\ny\r\n\r\n");
    EXPECT_EQ(Profile::fromBytes("\n").toBytes(), "\r\n");
    const std::string nul = std::string("[setting]\r\nk=a") + '\0' + "b\r\n";
    Profile p = Profile::fromBytes(nul);
    EXPECT_EQ(p.readString("setting", "k"), std::string("a\0b", 3));
    EXPECT_EQ(p.toBytes(), nul);
}

// Random bytes, biased towards the characters that matter to the parser.
std::string garbage(std::mt19937& rng, std::size_t size) {
    static const char kAlphabet[] = "[]=;\"' \t\r\nsetingSETchk2\x83\x5D\x81\x00\xFF";
    std::uniform_int_distribution<int> pick(0, sizeof kAlphabet - 1);
    std::uniform_int_distribution<int> any(0, 255);
    std::string s(size, '\0');
    for (char& c : s) c = static_cast<char>(pick(rng) < 4 ? any(rng) : kAlphabet[pick(rng)]);
    return s;
}

TEST(ProfileGarbage, AnyBytesParseAndWritesReadBack) {
    std::mt19937 rng(20240611);
    std::vector<std::string> inputs = {
        std::string(1 << 20, 'a'), std::string(1 << 20, '\0'),         std::string(1 << 20, '='),
        std::string(1 << 20, '['), "[" + std::string(1 << 20, '\x83'), std::string(1 << 16, '\n')};
    for (std::size_t size : {1u, 7u, 64u, 1000u, 100000u}) {
        for (int i = 0; i < 20; ++i) inputs.push_back(garbage(rng, size));
    }
    for (const std::string& in : inputs) {
        Profile p = Profile::fromBytes(in);
        (void)p.readInteger("setting", "sort1", 0);
        (void)p.readBool("setting", "chk2", true);
        writeEveryKey(p, "f");
        p.writeString("setting", "chk2", "1");
        EXPECT_EQ(p.readString("setting", "folder1"), "f");
        EXPECT_EQ(p.readInteger("setting", "sort2", 0), -1);
        EXPECT_TRUE(p.readBool("setting", "chk2", false));
        const std::string out = p.toBytes();
        EXPECT_EQ(Profile::fromBytes(out).toBytes(), out);
    }
}

}  // namespace
