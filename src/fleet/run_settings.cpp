#include "fleet/run_settings.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "fleet/profile.h"
#include "fleet/program_paths.h"

namespace fleet {
namespace {

constexpr std::string_view kSection = "setting";
constexpr uint32_t kDefaultEndWaitMs = 2000;

}  // namespace

RunSettings ReadRunSettings(std::string_view bytes) {
    // The window's own reader and defaults, key by key.
    const Profile p = Profile::fromBytes(bytes);
    RunSettings s;
    s.endWait = p.readString(kSection, "wait1", "2");
    s.listFile = p.readString(kSection, "listcsv", "list.csv");
    s.commonSendFile = p.readString(kSection, "file2", "");
    int method = p.readInteger(kSection, "fselect", 0);
    s.sendMethod = method < -1 ? -1 : (method > 1 ? 1 : method);
    s.setTime = p.readBool(kSection, "chk2", true);
    s.registerName = p.readBool(kSection, "chk3", false);
    s.registerIp = p.readBool(kSection, "chk4", false);
    s.write = p.readBool(kSection, "chk6", true);
    s.cpuReset = p.readBool(kSection, "chk7", false);
    s.ownAddress = p.readString(kSection, "ownip", "");
    return s;
}

std::string SendFileFor(int sendMethod, const std::string& commonSendFile,
                        const std::string& recordSendFile) {
    if (sendMethod == 0) return commonSendFile;
    if (sendMethod == 1) return recordSendFile;
    return {};
}

session::SendLines LoadSendLines(int sendMethod, const std::string& commonSendFile,
                                 const std::string& recordSendFile, bool checkMode) {
    const std::string path = SendFileFor(sendMethod, commonSendFile, recordSendFile);
    if (path.empty()) return {};
    return session::LoadSendStoreFile(path, checkMode);
}

uint32_t EndWaitMs(const std::string& endWait) {
    std::string_view s = endWait;
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    long long seconds = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), seconds);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return kDefaultEndWaitMs;
    if (seconds <= 0) return 0;
    constexpr long long kMaxSeconds = std::numeric_limits<uint32_t>::max() / 1000;
    return static_cast<uint32_t>(std::min(seconds, kMaxSeconds) * 1000);
}

WindowFiles LocateWindowFiles(const std::filesystem::path& folder) {
    // The same places the window chooses for its program file "qlx-setting".
    ProgramFiles files = LocateProgramFiles(folder / "qlx-setting", UserEnvironment::fromProcess());
    return {files.settingsFile, files.workFolder};
}

}  // namespace fleet
