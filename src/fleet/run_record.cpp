#include "fleet/run_record.h"

#include <cstdio>
#include <functional>

#include "fleet/batch_thread.h"
#include "platform/files.h"
#include "platform/growing_file.h"
#include "text/cp932.h"

namespace fleet {
namespace {

namespace fs = std::filesystem;

constexpr int kRunNames = 999;

bool taken(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

std::string stem(const platform::LocalTime& t) {
    char out[64];
    std::snprintf(out, sizeof out, "run-%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return out;
}

}  // namespace

std::optional<fs::path> FreeRunReport(const fs::path& folder, const platform::LocalTime& t) {
    const std::string base = stem(t);
    for (int n = 1; n <= kRunNames; ++n) {
        const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
        fs::path report = folder / (name + ".csv");
        if (!taken(report) && !taken(TranscriptFolder(report))) return report;
    }
    return std::nullopt;
}

fs::path RunReportName(const fs::path& folder, const platform::LocalTime& t) {
    return folder / (stem(t) + ".csv");
}

// What only the writer's thread touches, and the thread itself, which is destroyed first.
struct RunRecord::Writer {
    platform::SaveBatch saves;
    platform::GrowingFile report;
    bool folderTried = false;
    bool folderMade = false;
    bool transcriptsSaved = false;
    BatchThread<std::function<void()>> thread{[](std::vector<std::function<void()>>& jobs) {
        for (auto& job : jobs) {
            job();
            job = nullptr;  // a transcript's text goes as soon as it is written
        }
    }};
};

RunRecord::RunRecord(fs::path report, fs::path transcripts, Rows rows)
    : m_report(std::move(report)),
      m_transcripts(std::move(transcripts)),
      m_rows(rows),
      m_writer(std::make_unique<Writer>()) {}

RunRecord::~RunRecord() = default;

void RunRecord::failed(const fs::path& file, bool report) {
    (report ? m_reportFailed : m_transcriptFailed) = true;
    if (m_firstFailure.empty()) m_firstFailure = file;
}

void RunRecord::open() {
    if (!m_writer) return;
    m_writer->thread.post([this, &w = *m_writer] {
        // A work folder removed since the program started is made again, as a save would.
        const fs::path folder = m_report.parent_path();
        if ((!folder.empty() && !platform::createDirectoriesNative(folder)) ||
            !w.report.create(m_report) || !w.report.append(ReportCsvHead()))
            failed(m_report, true);
    });
}

void RunRecord::transcript(int number, const std::string& address, std::string bytes) {
    if (!m_writer) return;
    fs::path file = m_transcripts / text::toPath(TranscriptName(number, address));
    m_writer->thread.post([this, &w = *m_writer, file = std::move(file), bytes = std::move(bytes)] {
        // The folder is looked at once per run: a folder an earlier run filled may hold what its
        // killed saves left, and no save looks for that itself.
        if (!w.folderTried) {
            w.folderTried = true;
            w.folderMade = platform::createDirectoriesNative(m_transcripts);
            if (w.folderMade) platform::sweepStaleTemporaries(m_transcripts);
        }
        if (w.folderMade && w.saves.write(file, bytes)) {
            w.transcriptsSaved = true;
        } else {
            failed(file, false);
        }
    });
}

void RunRecord::row(const ReportRow& row) {
    if (!m_writer) return;
    m_writer->thread.post([this, &w = *m_writer, bytes = ReportCsvRow(row)] {
        if (w.report.isOpen() && !w.report.append(bytes)) failed(m_report, true);
    });
}

void RunRecord::finish(const RunSummary& summary, const std::vector<ReportRow>& rows) {
    if (!m_writer) return;
    m_writer->thread.post([this, &w = *m_writer] {
        if (w.transcriptsSaved && !w.saves.finish(m_transcripts)) failed(m_transcripts, false);
        if (w.report.isOpen() && !w.report.close()) failed(m_report, true);
    });
    std::unique_ptr<Writer>(std::move(m_writer)).reset();  // waits for the thread
    if (m_rows == Rows::AsTheyCome) return;
    const std::string bytes = IsJsonReport(m_report) ? ReportJson(summary, rows) : ReportCsv(rows);
    if (!platform::writeFileAtomicNative(m_report, bytes)) failed(m_report, true);
}

}  // namespace fleet
