#include "shell/bulk_report.h"

#include <cstdio>

#include "platform/files.h"
#include "shell/list_files.h"
#include "text/cp932.h"

namespace shell {
namespace {

namespace fs = std::filesystem;

constexpr int kRunNames = 999;

bool taken(const fs::path& p) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(p, ec));
}

}  // namespace

void BulkReport::begin(const fs::path& workFolder, const platform::LocalTime& t) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "run-%04d%02d%02d-%02d%02d%02d", t.year, t.month, t.day,
                  t.hour, t.minute, t.second);
    m_report.clear();
    for (int n = 1; n <= kRunNames && m_report.empty(); ++n) {
        std::string name = n == 1 ? stamp : std::string(stamp) + "-" + std::to_string(n);
        fs::path report = workFolder / (name + ".csv");
        if (!taken(report) && !taken(fleet::TranscriptFolder(report))) m_report = report;
    }
    m_folder = m_report.empty() ? fs::path() : fleet::TranscriptFolder(m_report);
    m_rows.clear();
    m_failed = m_report.empty() ? workFolder / (std::string(stamp) + ".csv") : fs::path();
    m_active = true;
}

void BulkReport::add(fleet::ReportRow row, const std::string& transcript) {
    if (!m_active) return;
    const std::string name = fleet::TranscriptName(row.number, row.address);
    m_rows.push_back(std::move(row));
    if (m_report.empty()) return;
    fs::path file = m_folder / text::toPath(name);
    if (!platform::createDirectoriesNative(m_folder) ||
        !platform::writeFileAtomicNative(file, transcript)) {
        if (m_failed.empty()) m_failed = file;
    }
    write();
}

void BulkReport::addNotServed(fleet::ReportRow row) {
    if (!m_active) return;
    m_rows.push_back(std::move(row));
    write();
}

bool BulkReport::write() {
    if (m_report.empty()) return false;
    if (platform::writeFileAtomicNative(m_report, fleet::ReportCsv(m_rows))) return true;
    if (m_failed.empty()) m_failed = m_report;
    return false;
}

std::string BulkReport::finish() {
    if (!m_active) return {};
    m_active = false;
    write();  // also a run that served nothing has its report
    if (!m_failed.empty()) return cannotWriteText(text::fromPath(m_failed));
    return text::sj("一斉接続の結果を ") + text::fromPath(m_report) + text::sj(" に記録しました");
}

}  // namespace shell
