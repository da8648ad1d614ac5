// Where the settings file and the work folder live. A program run from its build folder or from
// an unpacked copy keeps them beside itself; an installed one cannot write there and keeps them
// in the user's configuration and data folders. What counts is how the program was installed
// (the install rules leave a marker in the data folder of the prefix), never whether its folder
// happens to be writable: as root every folder is.
#pragma once

#include <string>
#include <string_view>

namespace shell {

// The environment values that matter, as the process got them (native names); empty when unset.
struct UserEnvironment {
    std::string home;        // HOME
    std::string configHome;  // XDG_CONFIG_HOME
    std::string dataHome;    // XDG_DATA_HOME
    static UserEnvironment fromProcess();
};

struct ProgramFiles {
    std::string settingsFile;  // code page 932 bytes, as the program holds paths
    std::string workFolder;    // without its trailing separator
    bool perUser = false;      // true for an installed program
};

// programPath: the program file (code page 932 bytes).
ProgramFiles LocateProgramFiles(std::string_view programPath, const UserEnvironment& env);

}  // namespace shell
