#include "app/display_check.h"

#include <cstdlib>

namespace app {
namespace {

std::string fromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

constexpr const char* kProgram = "qlx-setting: ";
constexpr const char* kWithoutDesktop =
    "; start it in a desktop session, or on a virtual X server: xvfb-run -a qlx-setting";

}  // namespace

DisplayEnvironment DisplayEnvironment::fromProcess() {
    return {fromEnv("QT_QPA_PLATFORM"), fromEnv("DISPLAY"), fromEnv("WAYLAND_DISPLAY")};
}

std::string PlatformName(const std::string& platformOption, const DisplayEnvironment& env) {
    std::string name = platformOption;
    if (name.empty()) name = env.qpaPlatform.substr(0, env.qpaPlatform.find(';'));
    name = name.substr(0, name.find(':'));
    return name.empty() ? "xcb" : name;
}

std::string MissingDisplayMessage(const std::string& platform, const DisplayEnvironment& env,
                                  bool displayOption) {
    if (platform == "xcb" && env.display.empty() && !displayOption) {
        return kProgram +
               std::string("there is no display to show the window on (DISPLAY is not set)") +
               kWithoutDesktop;
    }
    if (platform.rfind("wayland", 0) == 0 && env.waylandDisplay.empty()) {
        return kProgram +
               std::string(
                   "there is no display to show the window on (WAYLAND_DISPLAY is not set)") +
               kWithoutDesktop;
    }
    return {};
}

std::string PlatformFailureMessage(const std::string& platform, const DisplayEnvironment& env,
                                   const std::vector<std::string>& pluginFiles) {
    const std::string prefix = "libq" + platform;
    bool installed = false;
    for (const std::string& file : pluginFiles) {
        if (file.rfind(prefix, 0) == 0) installed = true;
    }
    if (!installed) {
        return kProgram + std::string("the Qt platform plugin \"") + platform +
               "\" is not installed (Debian package qt6-qpa-plugins for \"xcb\" and \"wayland\")";
    }
    if (platform == "xcb") {
        return kProgram + std::string("cannot open the display \"") + env.display +
               "\" for the window" + kWithoutDesktop;
    }
    return kProgram + std::string("the Qt platform plugin \"") + platform +
           "\" could not be started";
}

}  // namespace app
