// The window's settings file, key by key: every key of section "setting" once, with its type,
// its default and whether the program writes it. The window reads and writes through this
// table, a program without a window reads through it, so a key or a default stands in one place.
#pragma once

#include <string>
#include <string_view>

#include "fleet/profile.h"

namespace fleet {

constexpr std::string_view kSettingsSection = "setting";

enum class Setting {
    PassKey,         // "data1"
    WorkFolder,      // "folder1"
    EndWait,         // "wait1": seconds after a success, as text
    ListFile,        // "listcsv"
    CommonSendFile,  // "file2"
    SortKey,         // "sort1"
    SortOrder,       // "sort2"
    SendMethod,      // "fselect"
    SetTime,         // "chk2"
    RegisterName,    // "chk3"
    RegisterIp,      // "chk4"
    Write,           // "chk6"
    CpuReset,        // "chk7"
    Debug,           // "debug": put in by hand, never written
    OwnAddress,      // "ownip": put in by hand, never written
    Pace,            // "pace": the runner's dialogue pace, put in by hand, never written
    History,         // "history": 0 keeps no settings history; put in by hand, never written
};

enum class SettingType { Text, Integer, Bool };

struct SettingKey {
    Setting setting;
    std::string_view key;
    SettingType type;
    std::string_view text;  // the default of a text
    int number;             // the default of an integer or a boolean (1 true, 0 false)
    bool written;           // written at every close of the window
};

// In the order the window writes them.
inline constexpr SettingKey kSettingKeys[] = {
    {Setting::PassKey, "data1", SettingType::Text, "7391", 0, true},
    {Setting::WorkFolder, "folder1", SettingType::Text, "", 0, true},
    {Setting::EndWait, "wait1", SettingType::Text, "2", 0, true},
    {Setting::ListFile, "listcsv", SettingType::Text, "list.csv", 0, true},
    {Setting::CommonSendFile, "file2", SettingType::Text, "", 0, true},
    {Setting::SortKey, "sort1", SettingType::Integer, "", 0, true},
    {Setting::SortOrder, "sort2", SettingType::Integer, "", 0, true},
    {Setting::SendMethod, "fselect", SettingType::Integer, "", 0, true},
    {Setting::SetTime, "chk2", SettingType::Bool, "", 1, true},
    {Setting::RegisterName, "chk3", SettingType::Bool, "", 0, true},
    {Setting::RegisterIp, "chk4", SettingType::Bool, "", 0, true},
    {Setting::Write, "chk6", SettingType::Bool, "", 1, true},
    {Setting::CpuReset, "chk7", SettingType::Bool, "", 0, true},
    {Setting::Debug, "debug", SettingType::Text, "", 0, false},
    {Setting::OwnAddress, "ownip", SettingType::Text, "", 0, false},
    {Setting::Pace, "pace", SettingType::Text, "", 0, false},
    {Setting::History, "history", SettingType::Bool, "", 1, false},
};

constexpr const SettingKey& KeyOf(Setting setting) {
    for (const auto& k : kSettingKeys)
        if (k.setting == setting) return k;
    return kSettingKeys[0];  // unreachable: every Setting has its row
}
constexpr std::string_view DefaultText(Setting s) {
    return KeyOf(s).text;
}
constexpr int DefaultNumber(Setting s) {
    return KeyOf(s).number;
}
constexpr bool DefaultBool(Setting s) {
    return KeyOf(s).number != 0;
}

// The value of a key with the file's rules, its default when missing or malformed. Reading a
// key as another type than its own is a programming error (std::logic_error).
std::string ReadText(const Profile& profile, Setting setting);
int ReadInteger(const Profile& profile, Setting setting);
bool ReadBool(const Profile& profile, Setting setting);

// Writes one key; a key the program never writes, or a value of another type, is a programming
// error (std::logic_error).
void WriteText(Profile& profile, Setting setting, std::string_view value);
void WriteInteger(Profile& profile, Setting setting, int value);
void WriteBool(Profile& profile, Setting setting, bool value);

// The send method as its choice takes it: below -1 nothing selected (-1), above 1 the last item.
int ClampSendMethod(int method);

}  // namespace fleet
