// The record a run leaves beside its results: the report (one row per device served) and the
// folder of the served devices' transcripts, both written on a thread of their own so that a slow
// disk never holds the dialogues on the loop. No write costs more as the run grows: a transcript
// is saved without a scan of its folder and without an fsync of its own (one sync of the folder's
// file system at the end, as for the device files), and a report that grows as the devices come
// takes one append per row.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/run_report.h"
#include "platform/clock.h"

namespace fleet {

// The window's report of a bulk run in folder: "run-YYYYMMDD-hhmmss.csv", or the first of "-2"
// to "-999" after it whose report and transcript folder are both free, so an earlier run's are
// never touched; nullopt when none is.
std::optional<std::filesystem::path> FreeRunReport(const std::filesystem::path& folder,
                                                   const platform::LocalTime& started);
// The name without a number, which a run that found no free name says it could not write.
std::filesystem::path RunReportName(const std::filesystem::path& folder,
                                    const platform::LocalTime& started);

class RunRecord {
public:
    enum class Rows {
        // The report is written whole by finish, CSV or JSON by its name, replacing what stands
        // there atomically: the runner's --report.
        AtEnd,
        // The report is made new by open and gets each row as it comes, so a run cut short, even
        // killed, keeps every row it served: the window's report.
        AsTheyCome,
    };

    // transcripts: the folder the transcripts go into, made at the first one.
    RunRecord(std::filesystem::path report, std::filesystem::path transcripts, Rows rows);
    ~RunRecord();  // waits for what is being written; a report not finished is left as it is
    RunRecord(const RunRecord&) = delete;
    RunRecord& operator=(const RunRecord&) = delete;

    // AsTheyCome: makes the report, which must not exist yet, with its head line.
    void open();
    void transcript(int number, const std::string& address, std::string text);
    // AsTheyCome: appends the row.
    void row(const ReportRow& row);
    // Waits for every write posted, makes the transcripts durable and ends the report: AtEnd
    // writes it from summary and rows, AsTheyCome closes it. What follows is read after it only.
    void finish(const RunSummary& summary = {}, const std::vector<ReportRow>& rows = {});

    bool reportFailed() const { return m_reportFailed; }
    bool transcriptFailed() const { return m_transcriptFailed; }
    // The first file that could not be written, in the order the writes were posted.
    const std::filesystem::path& firstFailure() const { return m_firstFailure; }
    const std::filesystem::path& report() const { return m_report; }

private:
    struct Writer;
    void failed(const std::filesystem::path& file, bool report);

    const std::filesystem::path m_report;
    const std::filesystem::path m_transcripts;
    const Rows m_rows;
    // Set on the writer's thread; read once it has ended.
    bool m_reportFailed = false;
    bool m_transcriptFailed = false;
    std::filesystem::path m_firstFailure;
    std::unique_ptr<Writer> m_writer;  // last: it ends before the members its jobs touch; none
                                       // once finished
};

}  // namespace fleet
