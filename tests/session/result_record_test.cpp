// Device values made fit for a record field.
#include <gtest/gtest.h>

#include "devlist/fields.h"
#include "session/result_record.h"

namespace {

using devlist::LineStore;

// Every value a device reports, cut and cleaned, and a record that holds the longest of them
// beside an operator's fields of the usual sizes still reads back field by field.
TEST(RecordValue, DeviceTextFitsOneFieldWholeAndReadable) {
    struct Case {
        const char* name;
        std::string text;
        size_t max;
        std::string value;
    };
    const std::string kanji = "\x8a\xbf\x8e\x9a";  // two two-byte characters
    const Case cases[] = {
        {"plain", "V1.23", 32, "V1.23"},
        {"comma", "a,b", 32, "a b"},
        {"line breaks", "a\r\nb\nc\rd", 32, "a  b c d"},
        {"other control bytes",
         std::string("a\tb\x7f"
                     "c\0d",
                     7),
         32, "a b c d"},
        {"cut at the length", std::string(200, 'v'), 32, std::string(32, 'v')},
        {"two-byte characters whole", "A" + kanji, 5, "A" + kanji},
        {"never half a character", "A" + kanji, 4, "A\x8a\xbf"},
        {"never half a character at the cut", "AB" + kanji, 3, "AB"},
        {"a lead byte without its trail byte", "A\x8a", 32, "A "},
        {"a lead byte before a line break", "A\x8a\r\nB", 32, "A   B"},
        {"a trail byte that is a comma-free ASCII letter",
         "\x8a"
         "A",
         32,
         "\x8a"
         "A"},
        {"empty", "", 32, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(session::RecordValue(c.text, c.max), c.value) << c.name;
    }

    devlist::EditPanel served;
    auto& r = served.rec;
    r.listName = std::string(20, 'L');  // as long as the box takes
    r.ipAddress = "192.168.100.200";
    r.httpPort = "8080";
    r.telnetPort = "2323";
    const std::string flood(300, '\x8a');
    r.macAddress = session::RecordValue(flood, session::kMacBytes);
    r.modelVersion = session::RecordValue(std::string(200, 'v') + ",x", session::kVersionBytes);
    r.deviceName = session::RecordValue(flood, session::kNameBytes);
    r.lastSend = "2026/12/07 09:05:03";
    r.message = "#421 NG " + session::RecordValue(flood, session::kFailureTextBytes);
    const std::string line = devlist::RecordLineFromPanel(
        1, served, "001,F0000000,a,1.1.1.1,80,23,m,v,n,admin,plume,defalt.txt,,");
    const std::string fields[] = {"001",        r.flags,      r.listName,   r.ipAddress,
                                  r.httpPort,   r.telnetPort, r.macAddress, r.modelVersion,
                                  r.deviceName, r.userId,     r.password,   r.sendFile,
                                  r.lastSend,   r.message};
    for (int f = 0; f < 14; ++f) EXPECT_EQ(devlist::FieldGet(f, line), fields[f]) << f;
}

}  // namespace
