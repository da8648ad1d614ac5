// What a result does to the list: device values made fit for a record field, and the record a
// result belongs to, found again by its bytes after the operator edited the list.
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
    LineStore store({"001,F0000000,a,1.1.1.1,80,23,m,v,n,admin,plume,defalt.txt,,"});
    ASSERT_EQ(session::WriteResult(store, session::TargetOf(store, 0), served), 0);
    const std::string& line = store[0];
    const std::string fields[] = {"001",        r.flags,      r.listName,   r.ipAddress,
                                  r.httpPort,   r.telnetPort, r.macAddress, r.modelVersion,
                                  r.deviceName, r.userId,     r.password,   r.sendFile,
                                  r.lastSend,   r.message};
    for (int f = 0; f < 14; ++f) EXPECT_EQ(devlist::FieldGet(f, line), fields[f]) << f;
}

// The record a result belongs to, after the operator's edits during the session.
TEST(FindRecord, FindsTheRecordByItsBytesOrNothing) {
    const std::string a = "001,F0000000,a", b = "002,F0000000,b", c = "003,F0000000,c",
                      d = "004,F0000000,d";
    struct Case {
        const char* name;
        std::vector<std::string> now;
        int found;
    };
    const Case cases[] = {
        {"unchanged", {a, b, c, d}, 2},
        {"a line before it deleted", {b, c, d}, 1},
        {"a line put before it", {a, b, "000,F0000000,x", c, d}, 3},
        {"deleted", {a, b, d}, -1},
        {"changed by the operator", {a, b, "003,F0000000,c2", d}, -1},
        {"its line now holds another record", {a, b, d, c + "x"}, -1},
        {"two lines alike elsewhere", {c, a, b, d, c}, -1},
        {"the list emptied", {}, -1},
    };
    const LineStore before({a, b, c, d});
    const session::RecordTarget target = session::TargetOf(before, 2);
    for (const auto& k : cases) {
        EXPECT_EQ(session::FindRecord(LineStore(k.now), target), k.found) << k.name;
    }
    EXPECT_EQ(session::FindRecord(before, session::TargetOf(before, 4)), -1) << "no such line";

    // What is written: the record from the session's copy, numbered by its line; every other
    // line stays byte for byte, and nothing is written when the record is gone.
    const std::string full = "003,F0000000,c,1.1.1.3,80,23,m,v,n,admin,plume,defalt.txt,,,SAVE";
    devlist::EditPanel served;
    served.rec = devlist::DeviceRecord::fromLine(full);
    served.rec.message = "done";
    const session::RecordTarget saved = session::TargetOf(LineStore({a, b, full}), 2);
    LineStore moved({b, full, d});
    ASSERT_EQ(session::WriteResult(moved, saved, served), 1);
    EXPECT_EQ(
        moved,
        LineStore({b, "002,F0000000,c,1.1.1.3,80,23,m,v,n,admin,plume,defalt.txt,,done,SAVE", d}));
    LineStore gone({a, b, d});
    EXPECT_EQ(session::WriteResult(gone, target, served), -1);
    EXPECT_EQ(gone, LineStore({a, b, d}));
}

}  // namespace
