#include "fleet/run_tally.h"

#include <algorithm>

#include "fleet/result_rule.h"

namespace fleet {

const ReportRow& RunTally::add(ReportRow row) {
    if (m_recording) row.recorded = false;
    m_rows.push_back(std::move(row));
    return m_rows.back();
}

void RunTally::written(size_t row, ListWriter::Status status) {
    if (status == ListWriter::Status::Gone) ++m_gone;
    if (status == ListWriter::Status::Failed) ++m_writeFailures;
    if (row < m_rows.size()) m_rows[row].recorded = status == ListWriter::Status::Written;
}

size_t RunTally::unrecorded() const {
    return static_cast<size_t>(std::count_if(m_rows.begin(), m_rows.end(), [](const ReportRow& r) {
        return r.recorded && !*r.recorded;
    }));
}

int RunTally::recordedOk() const {
    return static_cast<int>(std::count_if(m_rows.begin(), m_rows.end(), [](const ReportRow& r) {
        return r.recorded.value_or(false) && IsSuccessMessage(r.message);
    }));
}

}  // namespace fleet
