#include "fleet/program_paths.h"

#include <cstdlib>
#include <filesystem>

#ifndef QLX_INSTALL_MARKER
#define QLX_INSTALL_MARKER "../share/qlx-setting/installed"
#endif

namespace fleet {
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
std::filesystem::path baseFolder(const std::string& xdg, const std::string& home,
                                 const char* fallback) {
    if (!xdg.empty() && xdg.front() == '/') return xdg;
    if (!home.empty() && home.front() == '/') return std::filesystem::path(home) / fallback;
    return {};
}

}  // namespace

std::filesystem::path settingsPathFor(const std::filesystem::path& programFile) {
    std::filesystem::path p = programFile;
    p.replace_extension(".Ini");
    return p;
}

UserEnvironment UserEnvironment::fromProcess() {
    return {fromEnv("HOME"), fromEnv("XDG_CONFIG_HOME"), fromEnv("XDG_DATA_HOME")};
}

ProgramFiles LocateProgramFiles(const std::filesystem::path& programFile,
                                const UserEnvironment& env) {
    std::filesystem::path folder = programFile.parent_path();
    ProgramFiles beside{settingsPathFor(programFile), folder / kWorkFolderName, false};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(folder / kInstallMarker, ec)) return beside;

    std::filesystem::path config = baseFolder(env.configHome, env.home, ".config");
    std::filesystem::path data = baseFolder(env.dataHome, env.home, ".local/share");
    // Without a home there is no per-user place; beside the program the close at least says
    // which file it could not write.
    if (config.empty() || data.empty()) return beside;
    return {settingsPathFor(config / kUserFolder / programFile.filename()),
            data / kUserFolder / kWorkFolderName, true};
}

}  // namespace fleet
