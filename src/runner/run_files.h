// Where a runner command finds its files: the settings file (--ini or the window's), the list
// file (--list or the settings' "listcsv") and the work folder (--work or the window's).
#pragma once

#include <filesystem>
#include <string>

#include "fleet/run_settings.h"
#include "runner/cli_options.h"
#include "runner/terminal.h"

namespace runner {

struct RunFiles {
    fleet::RunSettings settings;
    std::string listFile;  // code page 932, relative to the current folder as the window has it
    std::filesystem::path workFolder;
    std::string error;  // non-empty: the settings file cannot be read (UTF-8, for the terminal)
};

RunFiles LocateRunFiles(const CliOptions& options);

}  // namespace runner
