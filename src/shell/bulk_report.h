// The report of a bulk run ("一斉接続") in the work folder: "run-YYYYMMDD-hhmmss.csv" in code page
// 932, one row per device served, in the columns a fleet run's report has, and beside it a
// folder of the same name with every served device's transcript of the run, failures included.
// Each row is added to the report as its device is done, so a run cut short keeps what it
// served. Reports and folders of earlier runs are never touched: a run that starts within the
// same second as an earlier one takes the next free name ("run-YYYYMMDD-hhmmss-2.csv").
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "fleet/run_record.h"
#include "fleet/run_report.h"
#include "platform/clock.h"

namespace shell {

class BulkReport {
public:
    void begin(const std::filesystem::path& workFolder, const platform::LocalTime& started);
    bool active() const { return m_active; }

    // A served device: its row and its session's terminal text.
    void add(fleet::ReportRow row, std::string transcript);
    // A device the run could not serve: its row alone, no transcript.
    void addNotServed(fleet::ReportRow row);
    // Ends the run's report and gives the communication-log line that names it by its whole
    // path (the operator opens it from there), or that names
    // what could not be written; "" when no run was begun.
    std::string finish();

private:
    bool m_active = false;
    std::unique_ptr<fleet::RunRecord> m_record;  // none when no name was free
    std::filesystem::path m_unnamed;             // the name a run without one could not write
};

}  // namespace shell
