// The verb plan: what a send would change on each selected device, learnt from a check. The
// check dialogue writes nothing to the device; its dump is compared with the settings lines a
// send would stream. Nothing is recorded in the list and the work folder is left alone: the
// dialogue's files go into the report's folder (or a scratch folder removed at the end).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_run.h"
#include "fleet/run_record.h"
#include "fleet/send_file.h"
#include "platform/scratch_folder.h"
#include "runner/command.h"

namespace runner {

class PlanCommand : public Command {
public:
    using Command::Command;

private:
    struct DevicePlan {
        int number = 0;
        std::string heading;             // "No.001 受付 127.0.0.2", code page 932
        std::vector<std::string> lines;  // code page 932
    };

    Prologue prologue() const override { return {true, ListUse::Noted, true}; }
    int body() override;
    // The folder the dialogue's files and the transcripts go into.
    int makeFolder();
    void deviceDone(const fleet::DeviceResult& result);
    // What a send would do to the device, from its check; row.changed and the plan's lines.
    DevicePlan planOf(const fleet::DeviceResult& result, fleet::ReportRow& row,
                      const fleet::SendFileLoad& send);
    void printPlans();
    bool finishReport(const platform::LocalTime& started);
    int conclude(const fleet::FleetRun& run, bool filesFailed);

    std::filesystem::path m_folder;
    std::unique_ptr<platform::ScratchFolder> m_scratch;  // removed at the end
    std::optional<fleet::RunRecord> m_record;
    std::vector<DevicePlan> m_plans;
    std::vector<fleet::ReportRow> m_rows;
    size_t m_total = 0;
    size_t m_done = 0;
    int m_failed = 0;
};

}  // namespace runner
