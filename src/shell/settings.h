// The settings file's keys (fleet/settings_table.h) and the boxes they fill: read once at
// start-up and written at every close request.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "fleet/profile.h"
#include "shell/window_state.h"

namespace shell {

// The hidden-mode code: a "debug" value equal to it, letter case included, enlarges the window.
constexpr std::string_view kHiddenModeCode = "QPD1987Tool";

// Fills the boxes from the file's values (defaults for what is missing or malformed) and
// tells whether the "debug" entry asks for the enlarged layout.
void readSettings(const fleet::Profile& profile, SettingsBoxes& boxes, bool& enlarged);
// Writes every stored key from the boxes, in the file's order; "debug" is never written.
void writeSettings(fleet::Profile& profile, const SettingsBoxes& boxes);

}  // namespace shell
