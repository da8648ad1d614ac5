// Lists that went through a spreadsheet, as a run reads them and its results are written: a
// file saved as UTF-8 is never read nor written, and a header row is never a device, neither
// served nor given a result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devlist/fields.h"
#include "devlist/line_store.h"
#include "file_bytes.h"
#include "fleet/list_writer.h"
#include "fleet/result_rule.h"
#include "scratch_dir.h"
#include "session/session_state.h"
#include "text/cp932.h"

namespace {

using devlist::LineStore;

const std::string kHeader =
    "No,Flags,ListName,IpAddress,HttpPort,TelnetPort,MacAddress,ModelVersion,DeviceName,UserId,"
    "Password,SendFile,LastSend,Message";
// Written as UTF-8, as the spreadsheet saves it; not valid code page 932.
const std::string kUtf8Record =
    "1,F0000001,東京本社,127.0.0.5,80,23,00:EE:80:12:34:57,AB12-NODE01,ルーム,admin,plume,"
    "defalt.txt,,";
const std::string kRecord =
    "2,F0000001,room-b,127.0.0.6,80,23,00:EE:80:12:34:58,,,admin,plume,"
    "defalt.txt,,";

class SpreadsheetList : public ::testing::Test {
protected:
    testsupport::ScratchDir m_dir;
    std::string m_path = (m_dir / "list.csv").string();
};

TEST_F(SpreadsheetList, ResultsNeverGoIntoAUtf8FileOrAHeaderRow) {
    const fleet::Outcome ok{session::kResultOk, "", false, {}, {}, {}, "2026/12/08 06:39:00"};
    const std::string headed = kHeader + "\n" + kRecord + "\n";
    struct Case {
        const char* what;
        std::string file;
        fleet::RecordIdentity served;
        fleet::ListWriter::Status status;
        const char* told;  // part of the error, UTF-8
    } cases[] = {
        {"UTF-8, its record by its bytes",
         kUtf8Record + "\n",
         {0, kUtf8Record, nullptr},
         fleet::ListWriter::Status::Failed,
         "UTF-8"},
        {"UTF-8 with a byte-order mark",
         "\xEF\xBB\xBF" + kRecord + "\n",
         {0, kRecord, nullptr},
         fleet::ListWriter::Status::Failed,
         "UTF-8"},
        // As a load that numbered the header row built it.
        {"a header row by its fields",
         headed,
         {0, "001" + kHeader.substr(2), nullptr},
         fleet::ListWriter::Status::Gone,
         ""},
        {"a header row by its bytes",
         headed,
         {0, kHeader, nullptr},
         fleet::ListWriter::Status::Gone,
         ""},
        {"the record after it",
         headed,
         {1, kRecord, nullptr},
         fleet::ListWriter::Status::Written,
         ""},
        {"no list at all",
         "No,Name\r\n",
         {0, kRecord, nullptr},
         fleet::ListWriter::Status::Failed,
         ""},
    };
    for (const auto& c : cases) {
        testsupport::writeBytes(m_path, c.file);
        auto r = fleet::ListWriter(m_path).record(c.served, ok);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_NE(text::decode(r.error).find(c.told), std::string::npos) << c.what;
        LineStore after = LineStore::fromFileBytes(testsupport::readBytes(m_path));
        LineStore before = LineStore::fromFileBytes(c.file);
        if (c.status == fleet::ListWriter::Status::Written) {
            EXPECT_EQ(after[0], before[0]) << c.what;
            EXPECT_EQ(devlist::FieldGet(devlist::kLastSend, after[1]), "2026/12/08 06:39:00");
        } else {
            EXPECT_EQ(testsupport::readBytes(m_path), c.file) << c.what;
        }
    }
}

TEST_F(SpreadsheetList, ARunLoadsNoHeaderRowAndSaysWhyAFileIsNoList) {
    struct Case {
        const char* what;
        std::string file;
        std::vector<std::string> records;  // the names served
        std::vector<int> rawLine;
        std::vector<int> unnumbered;
        const char* told;  // part of why it is no list, UTF-8
    } cases[] = {
        {"a header row", kHeader + "\r\n" + kRecord + "\r\n", {"room-b"}, {1}, {1}, ""},
        {"a header row with a comment after it",
         kHeader + "\n# old\n" + kRecord,
         {"room-b"},
         {2},
         {1},
         ""},
        {"UTF-8", kUtf8Record + "\n", {}, {}, {}, "UTF-8"},
        {"every text cell quoted",
         "1,\"F0000001\",\"room-b\"\n",
         {},
         {},
         {},
         "1行目の先頭10バイト"},
        {"no list at all", "No,Name\r\n", {}, {}, {}, "1行目の先頭10バイト"},
        {"nothing", "", {}, {}, {}, "機器の行がありません"},
    };
    for (const auto& c : cases) {
        testsupport::writeBytes(m_path, c.file);
        std::string why;
        auto list = fleet::LoadList(m_path, &why);
        if (!*c.told) {
            ASSERT_TRUE(list) << c.what;
            std::vector<std::string> names;
            for (const std::string& r : list->records.lines())
                names.push_back(devlist::FieldGet(devlist::kListName, r));
            EXPECT_EQ(names, c.records) << c.what;
            EXPECT_EQ(list->rawLine, c.rawLine) << c.what;
            EXPECT_EQ(list->unnumbered, c.unnumbered) << c.what;
            EXPECT_EQ(list->bytes, c.file) << c.what;
            EXPECT_EQ(list->lostLines, c.unnumbered.size() + (c.rawLine[0] > 1 ? 1u : 0u));
            continue;
        }
        EXPECT_FALSE(list) << c.what;
        EXPECT_NE(text::decode(why).find(c.told), std::string::npos) << c.what << ": " << why;
        EXPECT_EQ(why.rfind(m_path, 0), 0u) << c.what;
    }
    std::string why;
    EXPECT_FALSE(fleet::LoadList((m_dir / "missing.csv").string(), &why));
    EXPECT_NE(text::decode(why).find("missing.csv を読み込めません"), std::string::npos);
}

}  // namespace
