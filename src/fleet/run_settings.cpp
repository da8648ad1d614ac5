#include "fleet/run_settings.h"

#include <charconv>
#include <climits>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "text/cp932.h"

namespace fleet {
namespace {

constexpr std::string_view kSection = "setting";
constexpr uint32_t kDefaultEndWaitMs = 2000;

std::string_view trim(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

// Equal but for the case of ASCII letters that stand as characters of their own.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    for (size_t i = 0; i < a.size(); ++i) {
        if (text::isLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (fold(a[i]) != fold(b[i])) {
            return false;
        }
    }
    return true;
}

// The name of a "[name]" line (up to its last "]" that is a character of its own).
std::optional<std::string_view> sectionName(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    std::optional<size_t> close;
    for (size_t i = 1; i < t.size(); ++i) {
        if (text::isLeadByte(static_cast<unsigned char>(t[i])) && i + 1 < t.size()) {
            ++i;
        } else if (t[i] == ']') {
            close = i;
        }
    }
    if (!close) return std::nullopt;
    return trim(t.substr(1, *close - 1));
}

class SettingsSection {
public:
    explicit SettingsSection(std::string_view bytes) {
        bool inside = false;
        bool seen = false;
        size_t start = 0;
        while (start < bytes.size()) {
            size_t brk = bytes.find_first_of("\r\n", start);
            std::string_view line = bytes.substr(start, brk - start);
            start = brk == std::string_view::npos ? bytes.size() : brk + 1;
            if (brk != std::string_view::npos && bytes[brk] == '\r' && start < bytes.size() &&
                bytes[start] == '\n')
                ++start;
            if (auto name = sectionName(line)) {
                // Only the first section of the name counts, as the window reads it.
                inside = !seen && sameName(*name, kSection);
                seen = seen || inside;
                continue;
            }
            if (inside) m_lines.push_back(line);
        }
    }

    std::optional<std::string> get(std::string_view key) const {
        for (std::string_view line : m_lines) {
            std::string_view t = trim(line);
            if (t.empty() || t.front() == ';') continue;
            size_t eq = t.find('=');
            if (eq == std::string_view::npos || !sameName(trim(t.substr(0, eq)), key)) continue;
            std::string_view v = trim(t.substr(eq + 1));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            return std::string(v);
        }
        return std::nullopt;
    }
    std::string string(std::string_view key, std::string_view fallback) const {
        return get(key).value_or(std::string(fallback));
    }
    int integer(std::string_view key, int fallback) const {
        auto v = get(key);
        if (!v) return fallback;
        std::string_view s = *v;
        long long value = 0;
        if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            auto [end, ec] = std::from_chars(s.data() + 2, s.data() + s.size(), value, 16);
            if (ec != std::errc() || end != s.data() + s.size() || value > INT_MAX) return fallback;
            return static_cast<int>(value);
        }
        if (!s.empty() && s.front() == '+') s.remove_prefix(1);
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
        if (s.empty() || ec != std::errc() || end != s.data() + s.size() || value > INT_MAX ||
            value < INT_MIN)
            return fallback;
        return static_cast<int>(value);
    }
    bool boolean(std::string_view key, bool fallback) const {
        return integer(key, fallback ? 1 : 0) != 0;
    }

private:
    std::vector<std::string_view> m_lines;
};

std::string fromEnv(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::filesystem::path baseFolder(const std::string& xdg, const std::string& home,
                                 const char* fallback) {
    if (!xdg.empty() && xdg.front() == '/') return xdg;
    if (!home.empty() && home.front() == '/') return std::filesystem::path(home) / fallback;
    return {};
}

}  // namespace

RunSettings ReadRunSettings(std::string_view bytes) {
    SettingsSection p(bytes);
    RunSettings s;
    s.endWait = p.string("wait1", "2");
    s.listFile = p.string("listcsv", "list.csv");
    s.commonSendFile = p.string("file2", "");
    int method = p.integer("fselect", 0);
    s.sendMethod = method < -1 ? -1 : (method > 1 ? 1 : method);
    s.setTime = p.boolean("chk2", true);
    s.registerName = p.boolean("chk3", false);
    s.registerIp = p.boolean("chk4", false);
    s.write = p.boolean("chk6", true);
    s.cpuReset = p.boolean("chk7", false);
    s.ownAddress = p.string("ownip", "");
    return s;
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
    WindowFiles beside{folder / "qlx-setting.Ini", folder / "data"};
    std::error_code ec;
    if (!std::filesystem::is_regular_file(folder / "../share/qlx-setting/installed", ec))
        return beside;
    std::string home = fromEnv("HOME");
    auto config = baseFolder(fromEnv("XDG_CONFIG_HOME"), home, ".config");
    auto data = baseFolder(fromEnv("XDG_DATA_HOME"), home, ".local/share");
    if (config.empty() || data.empty()) return beside;
    return {config / "qlx-setting" / "qlx-setting.Ini", data / "qlx-setting" / "data"};
}

}  // namespace fleet
