// The verbs check and send: serve the selected records with a fleet run, print a line per device
// and the summary, record the results in the list, the settings history and the report, and
// tell the exit code.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "fleet/fleet_run.h"
#include "fleet/run_record.h"
#include "history/run_recorder.h"
#include "runner/command.h"

namespace runner {

class RunCommand : public Command {
public:
    using Command::Command;

private:
    Prologue prologue() const override { return {true, ListUse::Noted, true}; }
    int body() override;
    // What must hold before the first device: places to write, the common send file, the
    // transcripts' folder.
    int refuseEarly();
    // The settings history and the report the run records into, as asked.
    void openRecords();
    fleet::FleetOptions fleetOptions() const;
    fleet::FleetRun::Hooks hooks();
    void showProgress(const fleet::DeviceResult& result);
    // False after saying why the history or the report could not be written.
    bool commitHistory(const fleet::FleetRun& run);
    bool finishReport(const fleet::FleetRun& run, const platform::LocalTime& started);
    int conclude(const fleet::FleetRun& run, bool filesFailed);
    const char* verbName() const;

    std::filesystem::path m_transcripts;
    std::unique_ptr<history::RunRecorder> m_recorder;
    std::optional<fleet::RunRecord> m_record;
    size_t m_total = 0;
    size_t m_done = 0;
};

}  // namespace runner
