// The program's command line. Everything else it takes from its settings file.
#pragma once

#include <string>

namespace app {

struct Options {
    bool help = false;
    bool version = false;
    std::string ownAddress;  // dotted IPv4, checked
    std::string platform;    // -platform NAME, when given: Qt's platform plugin
    std::string error;       // non-empty: the command line was not understood
};

// Reads --help, --version and --own-address A.B.C.D (or --own-address=A.B.C.D). The options
// of Qt's own command line that a user may want (-platform, -style, -display, ...) are passed
// on; anything else is an error here, so Qt never sees an option it would stop the program on.
Options ParseOptions(int argc, char** argv);

// True for four decimal parts 0..255 separated by dots, nothing else.
bool IsDottedIpv4(const std::string& text);

inline constexpr const char* kUsage =
    "Usage: qlx-setting [--own-address A.B.C.D] [Qt options]\n"
    "       qlx-setting --help | --version\n"
    "\n"
    "Keeps the list of QLX devices (list.csv), finds devices on the LAN, and checks or\n"
    "rewrites their settings over TCP, for one device or for every checked device.\n"
    "\n"
    "  --own-address A.B.C.D  the address the LAN search takes as this PC's own; it\n"
    "                         searches A.B.C.255. Wins over the settings key \"ownip\".\n"
    "                         Without either, the first IPv4 address of the host name\n"
    "                         is used (on many systems a loopback address, which finds\n"
    "                         nothing on the LAN).\n"
    "  --help                 this text\n"
    "  --version              the program's name and version\n"
    "\n"
    "Qt options passed on: -platform NAME, -display DISPLAY, -style NAME,\n"
    "-stylesheet FILE, -geometry WxH+X+Y, -reverse.\n";

}  // namespace app
