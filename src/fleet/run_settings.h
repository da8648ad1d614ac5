// What a fleet run takes from the window's settings file: the six options, the pause after a
// success, the send method with the common send file, and the list file. Read with the window's
// rules (section "setting", key names in any letter case, blanks around a value dropped, one
// pair of quotes taken off, "0x" hexadecimal integers, defaults for what is missing or
// malformed); nothing is ever written back.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "fleet/profile.h"
#include "fleet/settings_table.h"
#include "session/session_context.h"
#include "session/session_state.h"

namespace fleet {

struct RunSettings {
    // The defaults are the table's: a run without a settings file runs as the window starts.
    std::string endWait{DefaultText(Setting::EndWait)};    // seconds after a success
    std::string listFile{DefaultText(Setting::ListFile)};  //
    std::string commonSendFile{DefaultText(Setting::CommonSendFile)};
    int sendMethod = DefaultNumber(Setting::SendMethod);  // 0 common file, 1 the record's, -1 none
    bool setTime = DefaultBool(Setting::SetTime);         // "時刻設定を行う"
    bool registerName = DefaultBool(Setting::RegisterName);  // "名称を機器登録"
    bool registerIp = DefaultBool(Setting::RegisterIp);      // "接続IPアドレスを登録"
    bool disableDhcp = false;  // "dhcp 無効設定", never stored: off at every start
    bool write = DefaultBool(Setting::Write);                  // "WRITE"
    bool cpuReset = DefaultBool(Setting::CpuReset);            // "CPURESET"
    std::string ownAddress{DefaultText(Setting::OwnAddress)};  // the LAN search's own address
    // "pace": the runner's alone; the window never writes it and keeps it as found.
    session::Pace pace = session::Pace::Prescribed;
    // "history": each check and send records its dumps in the settings history.
    bool history = DefaultBool(Setting::History);
};

// The one reader of what the window and the runner share of the settings file.
RunSettings ReadRunSettings(const Profile& profile);
RunSettings ReadRunSettings(std::string_view fileBytes);

// The session's options, by name: they refer to the settings, so a session reads the check
// boxes as they are when it needs them.
session::SessionOptions SessionOptionsOf(const RunSettings& settings);

// "prescribed" or "prompt", as the settings file and the command line name a pace.
std::optional<session::Pace> PaceNamed(std::string_view name);

// The pause after a success: "wait1" seconds, 2 s when it is no number, none when 0 or less.
uint32_t EndWaitMs(const std::string& endWait);

// Where the window keeps its settings file and work folder, for a program in the same folder
// as the window's "qlx-setting": beside it, or, for an installed program, in the user's
// configuration and data folders.
struct WindowFiles {
    std::filesystem::path settingsFile;
    std::filesystem::path workFolder;
};
WindowFiles LocateWindowFiles(const std::filesystem::path& programFolder);

}  // namespace fleet
