// What the window needs before Qt is asked for it: a display, and the platform plugin that
// draws on it. Qt itself stops a program that lacks either with a long message that suggests
// reinstalling; the program says instead, in one line, what is missing, and ends with exit 2.
#pragma once

#include <string>
#include <vector>

namespace app {

inline constexpr int kExitNoWindow = 2;

// The environment values that decide where the window goes; empty when unset.
struct DisplayEnvironment {
    std::string qpaPlatform;     // QT_QPA_PLATFORM
    std::string display;         // DISPLAY
    std::string waylandDisplay;  // WAYLAND_DISPLAY
    static DisplayEnvironment fromProcess();
};

// The platform plugin Qt will load: the -platform option, else the first of QT_QPA_PLATFORM
// (a list separated by ";"), else "xcb". Plugin arguments after ":" are left out.
std::string PlatformName(const std::string& platformOption, const DisplayEnvironment& env);

// The line to print when the chosen platform needs a display that is not set; empty when
// there is one or the platform needs none (offscreen, vnc, ...).
std::string MissingDisplayMessage(const std::string& platform, const DisplayEnvironment& env,
                                  bool displayOption);

// The line to print when Qt could not start the platform plugin. pluginFiles: the file names
// in Qt's platform plugin folders, which tell a missing plugin from a display that would not
// open.
std::string PlatformFailureMessage(const std::string& platform, const DisplayEnvironment& env,
                                   const std::vector<std::string>& pluginFiles);

}  // namespace app
