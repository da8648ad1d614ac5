// What a run's results came to: one report row per device in the order its result came, and the
// counts the summary and the exit code read. In a run that records its results, a row says
// whether its result reached the list, and says no until its write has come back.
#pragma once

#include <cstddef>
#include <vector>

#include "fleet/list_writer.h"
#include "fleet/run_report.h"

namespace fleet {

class RunTally {
public:
    explicit RunTally(bool recording) : m_recording(recording) {}

    void count(bool success) { ++(success ? m_ok : m_ng); }
    // The row of a device's result, which is not in the list yet; returns it as kept.
    const ReportRow& add(ReportRow row);
    // The list write of the result of row `row` came back.
    void written(size_t row, ListWriter::Status status);

    int ok() const { return m_ok; }
    int ng() const { return m_ng; }
    int gone() const { return m_gone; }
    int writeFailures() const { return m_writeFailures; }
    size_t unrecorded() const;
    int recordedOk() const;
    const std::vector<ReportRow>& rows() const { return m_rows; }

private:
    bool m_recording;
    int m_ok = 0;
    int m_ng = 0;
    int m_gone = 0;
    int m_writeFailures = 0;
    std::vector<ReportRow> m_rows;
};

}  // namespace fleet
