// The record a run leaves: its report's name beside earlier runs', the report's bytes however it
// is written, what a run cut short keeps, and what a failed write says.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "file_bytes.h"
#include "fleet/run_record.h"
#include "scratch_dir.h"
#include "text/cp932.h"

namespace {

namespace fs = std::filesystem;
using fleet::RunRecord;
using testsupport::readBytes;
using testsupport::writeBytes;

fleet::ReportRow row(int number, const std::string& name, const std::string& message,
                     std::optional<bool> recorded) {
    fleet::ReportRow r;
    r.number = number;
    r.name = name;
    r.address = "127.0.0." + std::to_string(number + 1);
    r.port = 23;
    r.start = {2026, 12, 7, 9, 5, 3};
    r.end = {2026, 12, 7, 9, 5, 4};
    r.durationMs = 812;
    r.message = message;
    r.files = {"QLXq1.txt", "QLXq2.txt"};
    r.recorded = recorded;
    return r;
}

const platform::LocalTime kStart{2026, 12, 7, 9, 5, 3};

TEST(RunRecord, AReportNameNeverTakesAnEarlierRunsFileOrFolder) {
    struct Case {
        const char* what;
        std::vector<std::string> files, folders;  // what stands in the work folder already
        const char* expected;                     // "" for none free
    } cases[] = {
        {"nothing there", {}, {}, "run-20261207-090503.csv"},
        {"the report", {"run-20261207-090503.csv"}, {}, "run-20261207-090503-2.csv"},
        {"only its folder", {}, {"run-20261207-090503"}, "run-20261207-090503-2.csv"},
        {"a dangling link", {}, {}, "run-20261207-090503-2.csv"},
        {"two runs before",
         {"run-20261207-090503.csv", "run-20261207-090503-2.csv"},
         {"run-20261207-090503-2"},
         "run-20261207-090503-3.csv"},
        {"another second", {"run-20261207-090502.csv"}, {}, "run-20261207-090503.csv"},
        {"every name", {}, {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const testsupport::ScratchDir s;
        for (const auto& f : c.files) writeBytes(s / f, "earlier");
        for (const auto& f : c.folders) fs::create_directory(s / f);
        if (std::string(c.what) == "a dangling link")
            fs::create_symlink(s / "nowhere", s / "run-20261207-090503.csv");
        if (std::string(c.what) == "every name") {
            writeBytes(s / "run-20261207-090503.csv", "");
            for (int n = 2; n <= 999; ++n)
                writeBytes(s / ("run-20261207-090503-" + std::to_string(n) + ".csv"), "");
        }
        const auto free = fleet::FreeRunReport(s.path(), kStart);
        EXPECT_EQ(free ? free->filename().string() : "", c.expected);
        EXPECT_EQ(fleet::RunReportName(s.path(), kStart), s / "run-20261207-090503.csv");
        for (const auto& f : c.files) EXPECT_EQ(readBytes(s / f), "earlier");
    }
}

// Appended row by row or written whole at the end, a report holds the bytes the whole CSV
// (or JSON) of its rows has: a window's report is the same file as when it was rewritten
// after every device.
TEST(RunRecord, TheReportHoldsItsRowsBytesHoweverWritten) {
    const std::vector<fleet::ReportRow> sets[] = {
        {},
        {row(1, text::sj("受付"), text::sj("#000 OK 正常送信"), true)},
        {row(3, "a,\"b\"", "#404 NG Time Out", true), row(1, "=x", "#421 NG failure: -", false),
         row(2, "\x82", text::sj("送信ファイル gone.txt が見つかりません。"), std::nullopt)},
    };
    const fleet::RunSummary summary{"check", "--all", kStart, kStart, 3, 1, 2, 1, "1.0"};
    for (const auto& rows : sets) {
        for (const char* name : {"r.csv", "r.json"}) {
            for (auto how : {RunRecord::Rows::AsTheyCome, RunRecord::Rows::AtEnd}) {
                const bool json = std::string(name).ends_with("json");
                if (json && how == RunRecord::Rows::AsTheyCome) continue;  // always a CSV
                SCOPED_TRACE(std::string(name) + " " + std::to_string(rows.size()));
                const testsupport::ScratchDir s;
                RunRecord record(s / name, s / "r", how);
                record.open();
                for (const auto& r : rows) {
                    record.transcript(r.number, r.address, "terminal of " + r.name);
                    record.row(r);
                }
                record.finish(summary, rows);
                EXPECT_FALSE(record.reportFailed());
                EXPECT_FALSE(record.transcriptFailed());
                EXPECT_EQ(readBytes(s / name),
                          json ? fleet::ReportJson(summary, rows) : fleet::ReportCsv(rows));
                for (const auto& r : rows) {
                    EXPECT_EQ(readBytes(s / "r" / fleet::TranscriptName(r.number, r.address)),
                              "terminal of " + r.name);
                }
                // Nothing but the transcripts: no save left a temporary file. A run that served
                // nothing makes no folder.
                EXPECT_EQ(fs::exists(s / "r"), !rows.empty());
                if (!rows.empty()) {
                    EXPECT_EQ(std::distance(fs::directory_iterator(s / "r"), {}),
                              static_cast<long>(rows.size()));
                }
            }
        }
    }
}

// The window's run killed after two devices still has their rows, without any end.
TEST(RunRecord, ARunKilledKeepsTheRowsItServed) {
    const testsupport::ScratchDir s;
    const fs::path report = s / "run.csv";
    const std::vector<fleet::ReportRow> served = {row(1, "a", "#000 OK", true),
                                                  row(2, "b", "#404 NG Time Out", true)};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RunRecord record(report, s / "run", RunRecord::Rows::AsTheyCome);
        record.open();
        for (const auto& r : served) {
            record.transcript(r.number, r.address, "t");
            record.row(r);
        }
        const std::string expected = fleet::ReportCsv(served);
        for (int i = 0; i < 5000 && readBytes(report) != expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::kill(::getpid(), SIGKILL);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(readBytes(report), fleet::ReportCsv(served));
}

// A failed write is told, the first one by its file; the rest of the run is still written.
TEST(RunRecord, WhatCouldNotBeWrittenIsTold) {
    struct Case {
        const char* what;
        bool reportFailed, transcriptFailed;
        const char* first;  // under the scratch folder
    } cases[] = {
        {"a file where the transcripts go", false, true, "run/No001-127.0.0.2.txt"},
        {"a link planted at the report", true, false, "run.csv"},
        {"an earlier report at the name", true, false, "run.csv"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const testsupport::ScratchDir s;
        const std::string what = c.what;
        if (what.starts_with("a file")) writeBytes(s / "run", "in the way");
        if (what.starts_with("a link")) fs::create_symlink(s / "elsewhere", s / "run.csv");
        if (what.starts_with("an earlier")) writeBytes(s / "run.csv", "earlier");
        RunRecord record(s / "run.csv", s / "run", RunRecord::Rows::AsTheyCome);
        record.open();
        record.transcript(1, "127.0.0.2", "t");
        record.row(row(1, "a", "#000 OK", true));
        record.finish();
        EXPECT_EQ(record.reportFailed(), c.reportFailed);
        EXPECT_EQ(record.transcriptFailed(), c.transcriptFailed);
        EXPECT_EQ(record.firstFailure(), s / c.first);
        EXPECT_FALSE(fs::exists(s / "elsewhere"));  // never written through the link
        if (what.starts_with("an earlier")) {
            EXPECT_EQ(readBytes(s / "run.csv"), "earlier");
        }
    }
}

// A transcript folder an earlier run filled: what its killed saves left goes, a link planted
// at a transcript's name is replaced and never written through, and the earlier transcripts
// are replaced.
TEST(RunRecord, TranscriptsReplaceWhatAnEarlierRunLeft) {
    const testsupport::ScratchDir s;
    const fs::path folder = s / "run";
    fs::create_directory(folder);
    writeBytes(folder / "No001-127.0.0.2.txt", "earlier");
    writeBytes(folder / "No001-127.0.0.2.txt.qlxsave-1-2", "killed");
    writeBytes(s / "target", "untouched");
    fs::create_symlink(s / "target", folder / "No002-127.0.0.3.txt");
    RunRecord record(s / "run.json", folder, RunRecord::Rows::AtEnd);
    record.transcript(1, "127.0.0.2", "one");
    record.transcript(2, "127.0.0.3", "two");
    record.finish({}, {});
    EXPECT_FALSE(record.transcriptFailed());
    EXPECT_EQ(readBytes(folder / "No001-127.0.0.2.txt"), "one");
    EXPECT_EQ(readBytes(folder / "No002-127.0.0.3.txt"), "two");
    EXPECT_FALSE(fs::is_symlink(folder / "No002-127.0.0.3.txt"));
    EXPECT_EQ(readBytes(s / "target"), "untouched");
    EXPECT_FALSE(fs::exists(folder / "No001-127.0.0.2.txt.qlxsave-1-2"));
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 2);
}

}  // namespace
