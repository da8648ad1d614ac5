// The runner's sentences that explain a refusal from what the system or the core said: why a
// file cannot be read, why a selection served nothing. In the operator's language (messages.h).
#pragma once

#include <filesystem>
#include <string>

#include "devlist/list_file.h"
#include "fleet/dump_diff.h"
#include "fleet/empty_selection.h"
#include "fleet/fleet_run.h"
#include "fleet/run_settings.h"
#include "runner/terminal.h"

namespace runner {

// The system's text for an errno value, in the operator's language.
std::string SystemReason(int error);

// Why path cannot be opened for reading, as the system says it.
std::string ReasonUnreadable(const std::filesystem::path& path);

// Says on standard error why the device list at listFile (code page 932) was not loaded: the
// system's reason when it cannot be read, else what keeps its contents from being a list.
void SayListUnreadable(const Terminal& terminal, const std::string& listFile);

// A device's result as its progress line shows it: the list's fixed result texts in the
// operator's language (the list and the report keep them as stored); a device's own words and
// a device never connected for want of its send file as the window would say it.
std::string ResultShown(const fleet::DeviceResult& result, const fleet::RunSettings& settings);

// Says on standard error what the load of listFile left out or suspects (devlist::LoadNotes).
void SayLoadNotes(const Terminal& terminal, const std::string& listFile,
                  const devlist::ListBuild& build);

// A box a session shows, as a line on standard error. The box of a failed save is left out:
// the run's closing line says it in the operator's language, the box only in the window's.
void SayBox(const Terminal& terminal, const std::string& text);

// What keeps a record's dumps from being compared, or what to know about them.
std::string DumpProblemShown(const fleet::DumpProblem& problem);

// Which selection matched nothing, and why.
std::string NothingSelected(const fleet::EmptySelection& empty);

}  // namespace runner
