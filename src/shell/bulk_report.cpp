#include "shell/bulk_report.h"

#include "shell/list_files.h"
#include "text/cp932.h"

namespace shell {

void BulkReport::begin(const std::filesystem::path& workFolder, const platform::LocalTime& t) {
    m_record.reset();
    m_unnamed.clear();
    if (auto report = fleet::FreeRunReport(workFolder, t)) {
        m_record = std::make_unique<fleet::RunRecord>(*report, fleet::TranscriptFolder(*report),
                                                      fleet::RunRecord::Rows::AsTheyCome);
        m_record->open();
    } else {
        m_unnamed = fleet::RunReportName(workFolder, t);
    }
    m_active = true;
}

void BulkReport::add(fleet::ReportRow row, std::string transcript) {
    if (!m_active || !m_record) return;
    m_record->transcript(row.number, row.address, std::move(transcript));
    m_record->row(row);
}

void BulkReport::addNotServed(fleet::ReportRow row) {
    if (m_active && m_record) m_record->row(row);
}

std::string BulkReport::finish() {
    if (!m_active) return {};
    m_active = false;
    const std::unique_ptr<fleet::RunRecord> record = std::move(m_record);
    if (!record) return cannotWriteText(text::fromPath(m_unnamed));
    record->finish();
    if (!record->firstFailure().empty())
        return cannotWriteText(text::fromPath(record->firstFailure()));
    return text::sj("一斉接続の結果を ") + text::fromPath(record->report()) +
           text::sj(" に記録しました");
}

}  // namespace shell
