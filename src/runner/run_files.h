// Where a runner command finds its files: the settings file (--ini or the window's), the list
// file (--list or the settings' "listcsv") and the work folder (--work or the window's).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fleet/fleet_run.h"
#include "fleet/list_writer.h"
#include "fleet/run_settings.h"
#include "runner/cli_options.h"
#include "runner/terminal.h"

namespace runner {

// The scratch folders of plans that keep no report, in the temporary folder ("qlx-plan-XXXXXX");
// every run and plan removes those that killed plans left.
constexpr const char* kPlanScratchPrefix = "qlx-plan-";

struct RunFiles {
    std::filesystem::path settingsFile;
    fleet::RunSettings settings;
    std::string listFile;  // code page 932, relative to the current folder as the window has it
    std::filesystem::path workFolder;
    std::string error;  // non-empty: the settings file cannot be read (UTF-8, for the terminal)
};

RunFiles LocateRunFiles(const CliOptions& options);

// Non-empty (UTF-8, for the terminal) when the report would be written over the list or the
// settings file, links resolved: one typo must not replace the list, with every login in it.
std::string ReportClash(const std::filesystem::path& report, const RunFiles& files);

// Non-empty (UTF-8) when the list file has more than one name (hard link): a write replaces it
// under the one name given, and the others would keep the old list and a lock of their own.
std::string SecondNameProblem(const RunFiles& files);

// Non-empty (UTF-8) when a place the run writes cannot take its files: found before the first
// device, not after the last one was served for nothing. The work folder is made here.
std::string UnusablePlace(const RunFiles& files, const std::filesystem::path& report);

// The list as a run reads it at its start; nullopt after saying why it is no list.
std::optional<fleet::LoadedList> LoadRunList(const Terminal& terminal, const RunFiles& files);

// The records the command line selects, each with its identity in the list as loaded; empty
// after saying that nothing was selected (a usage error).
std::vector<fleet::FleetDevice> SelectDevices(const Terminal& terminal, const CliOptions& options,
                                              const fleet::LoadedList& list);

}  // namespace runner
