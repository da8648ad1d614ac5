#include "fleet/run_settings.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "fleet/profile.h"
#include "fleet/program_paths.h"
#include "fleet/settings_table.h"

namespace fleet {
namespace {

constexpr uint32_t kDefaultEndWaitMs = 2000;

}  // namespace

RunSettings ReadRunSettings(std::string_view bytes) {
    return ReadRunSettings(Profile::fromBytes(bytes));
}

// The window's own rules and defaults, key by key.
RunSettings ReadRunSettings(const Profile& p) {
    RunSettings s;
    s.endWait = ReadText(p, Setting::EndWait);
    s.listFile = ReadText(p, Setting::ListFile);
    s.commonSendFile = ReadText(p, Setting::CommonSendFile);
    s.sendMethod = ClampSendMethod(ReadInteger(p, Setting::SendMethod));
    s.setTime = ReadBool(p, Setting::SetTime);
    s.registerName = ReadBool(p, Setting::RegisterName);
    s.registerIp = ReadBool(p, Setting::RegisterIp);
    s.write = ReadBool(p, Setting::Write);
    s.cpuReset = ReadBool(p, Setting::CpuReset);
    s.ownAddress = ReadText(p, Setting::OwnAddress);
    s.pace = PaceNamed(ReadText(p, Setting::Pace)).value_or(session::Pace::Prescribed);
    s.history = ReadBool(p, Setting::History);
    return s;
}

session::SessionOptions SessionOptionsOf(const RunSettings& s) {
    return {.setTime = s.setTime,
            .registerIp = s.registerIp,
            .disableDhcp = s.disableDhcp,
            .registerName = s.registerName,
            .write = s.write,
            .cpuReset = s.cpuReset};
}

std::optional<session::Pace> PaceNamed(std::string_view name) {
    if (name == "prescribed") return session::Pace::Prescribed;
    if (name == "prompt") return session::Pace::Prompt;
    return std::nullopt;
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
