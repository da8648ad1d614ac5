// What a fleet run takes from the window's settings file: the six options, the pause after a
// success, the send method with the common send file, and the list file. Read with the window's
// rules (section "setting", key names in any letter case, blanks around a value dropped, one
// pair of quotes taken off, "0x" hexadecimal integers, defaults for what is missing or
// malformed); nothing is ever written back.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "session/send_store.h"

namespace fleet {

struct RunSettings {
    std::string endWait{"2"};          // "wait1": seconds after a success
    std::string listFile{"list.csv"};  // "listcsv"
    std::string commonSendFile;        // "file2"
    int sendMethod = 0;                // "fselect": 0 common file, 1 the record's, -1 none
    bool setTime = true;               // "chk2"
    bool registerName = false;         // "chk3"
    bool registerIp = false;           // "chk4"
    bool disableDhcp = false;          // never stored: off at every start
    bool write = true;                 // "chk6"
    bool cpuReset = false;             // "chk7"
    std::string ownAddress;            // "ownip": the LAN search's own address
};

RunSettings ReadRunSettings(std::string_view fileBytes);

// The settings file a device is sent: the common one ("fselect" 0), the record's own (1) or
// none, and its lines as the session streams them. The window, a run and a plan all take it
// from here, so a plan compares exactly what a send would stream.
std::string SendFileFor(int sendMethod, const std::string& commonSendFile,
                        const std::string& recordSendFile);
session::SendLines LoadSendLines(int sendMethod, const std::string& commonSendFile,
                                 const std::string& recordSendFile, bool checkMode);

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
