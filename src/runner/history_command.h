// The verbs that read the settings history without connecting to any device: history (what
// changed on each selected device, run by run, or the dump one held at a time) and drift (how
// far each selected device's last dump is from a settings file).
#pragma once

#include <filesystem>

#include "runner/cli_options.h"
#include "runner/run_files.h"

namespace runner {

// --history, else history.git in the work folder.
std::filesystem::path HistoryRepository(const CliOptions& options, const RunFiles& files);

class HistoryCommand {
public:
    explicit HistoryCommand(const CliOptions& options) : m_options(options) {}
    int run();

private:
    int printAt(const RunFiles& files, const fleet::LoadedList& list);
    const CliOptions& m_options;
};

class DriftCommand {
public:
    explicit DriftCommand(const CliOptions& options) : m_options(options) {}
    // Exit 0 nothing drifts, 1 something does, 2 usage, 3 files.
    int run();

private:
    const CliOptions& m_options;
};

}  // namespace runner
