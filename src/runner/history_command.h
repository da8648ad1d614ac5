// The verbs that read the settings history without connecting to any device: history (what
// changed on each selected device, run by run, or the dump one held at a time) and drift (how
// far each selected device's last dump is from a settings file).
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "history/device_history.h"
#include "history/drift.h"
#include "history/history_store.h"
#include "runner/command.h"

namespace runner {

// --history, else history.git in the work folder.
std::filesystem::path HistoryRepository(const CliOptions& options, const RunFiles& files);

class HistoryCommand : public Command {
public:
    using Command::Command;

private:
    Prologue prologue() const override { return {false, ListUse::Noted, !m_options.at}; }
    int body() override;
    int printAt();
    // Each selected device's runs, from the store (none without one).
    std::vector<history::DeviceHistory> histories(const history::Store* store) const;
};

class DriftCommand : public Command {
public:
    using Command::Command;

private:
    Prologue prologue() const override { return {false, ListUse::Noted, true}; }
    // Exit 0 nothing drifts, 1 something does, 2 usage, 3 files.
    int body() override;
    // Each selected device's row, printed as it is made.
    std::vector<history::DriftRow> driftRows(const history::Store* store,
                                             const std::vector<std::string>& golden);
    bool writeDriftReport(const std::vector<history::DriftRow>& rows) const;
};

}  // namespace runner
