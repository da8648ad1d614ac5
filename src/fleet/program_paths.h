// Where the settings file and the work folder live. A program run from its build folder or from
// an unpacked copy keeps them beside itself; an installed one cannot write there and keeps them
// in the user's configuration and data folders. What counts is how the program was installed
// (the install rules leave a marker in the data folder of the prefix), never whether its folder
// happens to be writable: as root every folder is.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace fleet {

// The environment values that matter, as the process got them (native names); empty when unset.
struct UserEnvironment {
    std::string home;        // HOME
    std::string configHome;  // XDG_CONFIG_HOME
    std::string dataHome;    // XDG_DATA_HOME
    static UserEnvironment fromProcess();
};

struct ProgramFiles {
    std::filesystem::path settingsFile;  // native names: the program owns these places
    std::filesystem::path workFolder;
    bool perUser = false;  // true for an installed program
};

// The settings file of a program file: its name with the extension ".Ini".
std::filesystem::path settingsPathFor(const std::filesystem::path& programFile);

// programFile: the program file by its native name.
ProgramFiles LocateProgramFiles(const std::filesystem::path& programFile,
                                const UserEnvironment& env);

}  // namespace fleet
