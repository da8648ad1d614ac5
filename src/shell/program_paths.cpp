#include "shell/program_paths.h"

#include <cstdlib>
#include <filesystem>

#include "platform/files.h"
#include "shell/settings.h"
#include "text/cp932.h"

#ifndef QLX_INSTALL_MARKER
#define QLX_INSTALL_MARKER "../share/qlx-setting/installed"
#endif

namespace shell {
namespace {

constexpr std::string_view kInstallMarker = QLX_INSTALL_MARKER;  // relative to the program's folder
constexpr std::string_view kUserFolder = "qlx-setting";
constexpr std::string_view kWorkFolderName = "data";

std::string fromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// An XDG base folder: the variable when it holds an absolute path (a relative one is to be
// ignored), else the fallback under HOME; empty when neither is usable.
std::string baseFolder(const std::string& xdg, const std::string& home, const char* fallback) {
    if (!xdg.empty() && xdg.front() == '/') return text::fromPath(std::filesystem::path(xdg));
    if (!home.empty() && home.front() == '/') {
        return text::fromPath(std::filesystem::path(home) / fallback);
    }
    return {};
}

std::string withSeparator(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

}  // namespace

UserEnvironment UserEnvironment::fromProcess() {
    return {fromEnv("HOME"), fromEnv("XDG_CONFIG_HOME"), fromEnv("XDG_DATA_HOME")};
}

ProgramFiles LocateProgramFiles(std::string_view programPath, const UserEnvironment& env) {
    std::string programFolder = platform::folderPart(programPath);
    ProgramFiles beside{settingsPathFor(programPath), programFolder + std::string(kWorkFolderName),
                        false};
    if (!platform::fileExists(programFolder + std::string(kInstallMarker))) return beside;

    std::string config = baseFolder(env.configHome, env.home, ".config");
    std::string data = baseFolder(env.dataHome, env.home, ".local/share");
    // Without a home there is no per-user place; beside the program the close at least says
    // which file it could not write.
    if (config.empty() || data.empty()) return beside;

    return {settingsPathFor(withSeparator(config) + std::string(kUserFolder) + "/" +
                            platform::namePart(programPath)),
            withSeparator(data) + std::string(kUserFolder) + "/" + std::string(kWorkFolderName),
            true};
}

}  // namespace shell
