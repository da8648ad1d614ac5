// The search request and reply bytes, and the record a reply becomes.
#include <gtest/gtest.h>

#include <climits>

#include "discovery/search_reply.h"
#include "discovery/search_request.h"

namespace discovery {
namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

// The 44-byte example reply: 192.168.0.10, 00:EE:80:12:34:56, "AB12" / "NODE01", version
// 1.05a 240331, running time 9012345 hundredths.
std::string exampleReply() {
    return bytes({0x00, 0x80, 0x00, 0x01, 0,    0,    0,    0x00, 0xC0, 0xA8, 0x00,
                  0x0A, 0,    0,    0x00, 0xEE, 0x80, 0x12, 0x34, 0x56, 0x41, 0x42,
                  0x31, 0x32, 0x01, 0x05, 0x61, 0x18, 0x03, 0x1F, 0,    0,    0x00,
                  0x89, 0x84, 0x79, 0x4E, 0x4F, 0x44, 0x45, 0x30, 0x31, 0x00, 0x00});
}

const char* const kExampleRecord =
    "000,F0000000,New Data,192.168.0.10,80,23,00:EE:80:12:34:56,AB12-NODE01,1.05a 240331,"
    "admin,plume,c:\\data\\defalt.txt,Start:0001 01:02:03,new data";

TEST(SearchRequest, OwnAddressGivesTheExampleBytesAndTarget) {
    OwnOctets own = ParseOwnAddress("192.168.0.22");
    EXPECT_EQ(own, (OwnOctets{192, 168, 0, 22}));
    EXPECT_EQ(TargetHost(own), "192.168.0.255");
    std::string expected = bytes({0x00, 0xFF, 0x00, 0x01, 0x20, 0xF3, 0x00, 0x00, 0xC0, 0xA8, 0x00,
                                  0x16, 0x23, 0x32}) +
                           std::string(18, '\0');
    EXPECT_EQ(BuildSearchRequest(own), expected);

    auto parsed = ParseSearchRequest(expected);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->address, (std::array<uint8_t, 4>{192, 168, 0, 22}));
    EXPECT_EQ(parsed->replyPort, kReplyPort);
    std::string bad = expected;
    bad[5] = 0;
    EXPECT_FALSE(ParseSearchRequest(bad));
    EXPECT_FALSE(ParseSearchRequest(expected.substr(0, 31)));
}

TEST(SearchRequest, AddressTextPartsThatAreNotNumbersReadAsZero) {
    struct Case {
        const char* text;
        OwnOctets own;
        const char* target;
    } cases[] = {
        {"127.0.0.1", {127, 0, 0, 1}, "127.0.0.255"},
        {"10.1", {10, 1, 0, 0}, "10.1.0.255"},
        {"", {0, 0, 0, 0}, "0.0.0.255"},
        {"a.-2.x3.4.5", {0, -2, 0, 4}, "0.-2.0.255"},
        {"300.1.2.3", {300, 1, 2, 3}, "300.1.2.255"},
        {"99999999999.1.2.3", {0, 1, 2, 3}, "0.1.2.255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseOwnAddress(c.text), c.own);
        EXPECT_EQ(TargetHost(c.own), c.target);
    }
    // Only the low 8 bits reach the request.
    EXPECT_EQ(static_cast<uint8_t>(BuildSearchRequest({300, 1, 2, 3})[8]), 44);
    // A long text is read 255 bytes at a time after each full stop.
    EXPECT_EQ(ParseOwnAddress("1." + std::string(300, 'x')), (OwnOctets{1, 0, 0, 0}));
}

TEST(HexToInt, WrapsAtThirtyTwoBitsAndSkipsOtherCharacters) {
    EXPECT_EQ(HexToInt(""), 0);
    EXPECT_EQ(HexToInt("ff"), 255);
    EXPECT_EQ(HexToInt("7FFFFFFF"), INT32_MAX);
    EXPECT_EQ(HexToInt("80000000"), INT32_MIN);
    EXPECT_EQ(HexToInt("FFFFFFFF"), -1);
    EXPECT_EQ(HexToInt("100000000"), 0);
    EXPECT_EQ(HexToInt("1 0-"), 16);
}

TEST(SearchReply, ExampleGivesItsRecordFieldByField) {
    std::string reply = exampleReply();
    ASSERT_EQ(reply.size(), kReplySize);
    auto parsed = ParseSearchReply(reply);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(DiscoveryRecord(*parsed), kExampleRecord);
    EXPECT_EQ(BuildSearchReply(*parsed), reply);

    reply[7] = 0x01;  // the counter in seconds
    EXPECT_EQ(RunningTimeText(ParseSearchReply(reply)->counter, 1), "Start:0104 07:25:45");
}

TEST(SearchReply, HeaderTestReadsTheCodeDigitsAsDecimal) {
    struct Case {
        int code;
        bool accepted;
    } cases[] = {{0x00, true},  {0x01, true},  {0x02, true},  {0x03, false},
                 {0x09, false}, {0x10, false}, {0x99, false}, {0x0A, true},
                 {0x1F, true},  {0xA0, true},  {0xFF, true}};
    for (const Case& c : cases) {
        std::string reply = exampleReply();
        reply[3] = static_cast<char>(c.code);
        EXPECT_EQ(AcceptsReply(reply), c.accepted) << "code " << c.code;
    }
    for (int i : {0, 1, 2}) {
        std::string reply = exampleReply();
        reply[i] ^= 0x01;
        EXPECT_FALSE(AcceptsReply(reply)) << "byte " << i;
    }
}

TEST(SearchReply, EveryTruncationReadsTheMissingBytesAsZero) {
    std::string full = exampleReply();
    for (size_t len = 0; len <= full.size(); ++len) {
        SCOPED_TRACE(len);
        std::string cut = full.substr(0, len);
        auto parsed = ParseSearchReply(cut);
        if (len < 3) {
            EXPECT_FALSE(parsed);
            continue;
        }
        std::string padded = cut + std::string(full.size() - len, '\0');
        ASSERT_TRUE(parsed);
        EXPECT_EQ(DiscoveryRecord(*parsed), DiscoveryRecord(*ParseSearchReply(padded)));
    }
    EXPECT_EQ(DiscoveryRecord(*ParseSearchReply(full.substr(0, 3))),
              "000,F0000000,New Data,0.0.0.0,80,23,00:00:00:00:00:00,-,0.00  000000,admin,"
              "plume,c:\\data\\defalt.txt,Start:0000 00:00:00,new data");
}

TEST(SearchReply, TextsFromTheNetworkCannotBreakTheRecordForm) {
    SearchReply r;
    r.model = "A,\r";
    r.model2 = "\nB,C";
    r.versionLetter = 0;
    std::string line = DiscoveryRecord(r);
    EXPECT_NE(line.find(",A  - B C,0.00  000000,"), std::string::npos) << line;
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);

    r.model = "";
    r.model2 = "";
    EXPECT_NE(DiscoveryRecord(r).find(",-,"), std::string::npos);
}

TEST(SearchReply, CounterWithTheTopBitSetIsNegativeThroughout) {
    EXPECT_EQ(RunningTimeText(0xFFFFFFFFu, 1), "Start:0000 00:00:-1");
    EXPECT_EQ(RunningTimeText(0x80000000u, 0), "Start:-248 -13:-13:-56");
    EXPECT_EQ(RunningTimeText(0x7FFFFFFFu, 1), "Start:24855 03:14:07");
    // -12 days, -1 h, -1 min, -1 s: the padding stands before the minus sign.
    EXPECT_EQ(RunningTimeText(static_cast<uint32_t>(-(12 * 86400 + 3661)), 1),
              "Start:0-12 -1:-1:-1");
}

TEST(SearchReply, HexTextShowsAtMost120Bytes) {
    EXPECT_EQ(HexText(bytes({0x00, 0xAB, 0x5f})), "00AB5F");
    std::string big(200, '\x7e');
    big[119] = '\x01';
    std::string hex = HexText(big);
    EXPECT_EQ(hex.size(), 240u);
    EXPECT_EQ(hex.substr(236), "7E01");
}

}  // namespace
}  // namespace discovery
