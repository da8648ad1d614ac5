// What a run's list load tells the operator about the list, once per kind, while the list still
// loads.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "devlist/list_file.h"
#include "file_bytes.h"
#include "runner/run_files.h"
#include "runner/terminal.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;

size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

TEST(RunnerListLoad, SaysOnceWhatASpreadsheetOrALongResultDidToTheList) {
    char tmpl[] = "/tmp/qlx-notes-XXXXXX";
    const fs::path dir = mkdtemp(tmpl);
    runner::RunFiles files;
    files.listFile = (dir / "list.csv").string();
    // Three records saved from a spreadsheet as numbers; the third's result took its line past
    // what a load keeps.
    testsupport::writeBytes(dir / "list.csv",
                            "1,F0000001,a,127.0.0.1,80,23,,,,admin,123,,,\n"
                            "2,F0000001,b,127.0.0.2,80,23,,,,admin,123,,,\n"
                            "3,F0000001,c,127.0.0.3,80,23,,,,admin,123,,2026/12/08 10:00," +
                                std::string(300, 'm') + "\n");
    testing::internal::CaptureStderr();
    auto list = runner::LoadRunList(files);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->records.size(), 3u);
    for (const std::string& note : {devlist::ShortNumbersText(files.listFile, {1, 2, 3}),
                                    devlist::CutRecordsText(files.listFile, {3})})
        EXPECT_EQ(count(said, runner::Shown(note)), 1u) << said;
    fs::remove_all(dir);
}

}  // namespace
