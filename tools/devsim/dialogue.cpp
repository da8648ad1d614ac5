// The device's dialogue: login, queries, dump, settings lines, log and the closing commands.
#include "dialogue.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace devsim {
namespace {

constexpr char kPrompt[] = "\r\n> ";
constexpr size_t kMaxLine = 64 * 1024;
constexpr int kMaxLogLines = 1000;

std::string firstWord(std::string_view s) {
    return lower(s.substr(0, s.find(' ')));
}

bool isQuoted(std::string_view name) {
    return name == "sysName";
}

}  // namespace

DeviceState::DeviceState(DeviceConfig config) : m_config(std::move(config)) {
    m_vars = {{"sysName", m_config.name},
              {"ifPhysAddress", m_config.mac},
              {"ipAdEntAddr", ipText(m_config.address)},
              {"ipAdEntNetMask", "255.0.0.0"},
              {"dhcpEnabled", "1"}};
    for (const auto& [n, v] : m_config.variables) set(n, v);
}

std::string DeviceState::get(std::string_view name) const {
    for (const auto& [n, v] : m_vars)
        if (n == name) return isQuoted(n) ? '"' + v + '"' : v;
    return {};
}

void DeviceState::set(std::string_view name, std::string value) {
    if (isQuoted(name) && value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    for (auto& [n, v] : m_vars) {
        if (n == name) {
            v = std::move(value);
            return;
        }
    }
    m_vars.emplace_back(std::string(name), std::move(value));
}

void DeviceState::unset(std::string_view name) {
    std::erase_if(m_vars, [name](const auto& var) { return var.first == name; });
}

std::string DeviceState::dump() const {
    std::string out = "&save\r\n";
    for (const auto& [n, v] : m_vars) out += "." + n + "=" + get(n) + "\r\n";
    char fill[32];
    for (int k = 1; out.size() < m_config.dumpBytes; ++k) {
        std::snprintf(fill, sizeof fill, ".fill%06d=", k);
        out += fill + std::string(48, 'x') + "\r\n";
    }
    return out + "LOAD_END";
}

std::string logText(int lines) {
    static constexpr const char* kEvents[] = {"power on", "link up 100M full", "login admin",
                                              "settings saved", "logout admin"};
    std::string out;
    char buf[80];
    for (int k = 0; k < lines; ++k) {
        std::snprintf(buf, sizeof buf, "%04d 24/03/31 %02d:%02d:00 %s\r\n", k + 1, 8 + k / 60,
                      k % 60, kEvents[k % 5]);
        out += buf;
    }
    return out + std::string(40, '-');
}

bool Dialogue::closesAt(std::string_view what) const {
    return m_device.config().faults.closeAt == what;
}

void Dialogue::closeNow(std::vector<Write>& out) {
    m_state = State::Closed;
    out.push_back({.delayMs = 0, .bytes = {}, .close = true});
}

// Turns one answer into writes as the faults say; the first write carries the device's delay.
void Dialogue::answer(std::string text, std::vector<Write>& out, bool close) {
    const Faults& f = m_device.config().faults;
    std::vector<std::string> pieces;
    size_t marker = text.find("LOAD_END");
    if (f.splitMarker && marker != std::string::npos) {
        pieces = {text.substr(0, marker + 4), text.substr(marker + 4)};
    } else {
        pieces = {std::move(text)};
    }
    if (f.chunk > 0) {
        std::vector<std::string> small;
        for (const auto& p : pieces)
            for (size_t i = 0; i < p.size(); i += f.chunk) small.push_back(p.substr(i, f.chunk));
        pieces = std::move(small);
    }
    for (size_t i = 0; i < pieces.size(); ++i)
        out.push_back({.delayMs = i == 0 ? f.slowMs : f.gapMs, .bytes = std::move(pieces[i])});
    if (close) {
        m_state = State::Closed;
        out.back().close = true;
    }
}

std::vector<Write> Dialogue::start() {
    std::vector<Write> out;
    const DeviceConfig& c = m_device.config();
    if (c.faults.silent) return out;
    if (closesAt("connect")) {
        closeNow(out);
    } else if (c.login == Login::Ready) {
        answer("\r\nQLX login ready.\r\n", out);
    } else if (c.login == Login::Prompt) {
        m_state = State::User;
        answer("\r\nUser ID:", out);
    } else {
        m_state = State::Command;
        answer(kPrompt, out);
    }
    return out;
}

std::vector<Write> Dialogue::receive(std::string_view bytes) {
    std::vector<Write> out;
    if (m_device.config().faults.silent) return out;
    for (char ch : bytes) {
        if (m_state == State::Closed) break;
        bool afterCr = m_afterCr;
        m_afterCr = ch == '\r';
        if (ch == '\n' && afterCr) continue;
        if (ch == '\r' || ch == '\n') {
            std::string text = std::move(m_line);
            m_line.clear();
            line(text, out);
        } else if (m_line.size() < kMaxLine) {
            m_line += ch;
        }
    }
    return out;
}

void Dialogue::line(const std::string& text, std::vector<Write>& out) {
    const DeviceConfig& c = m_device.config();
    switch (m_state) {
        case State::Banner:
            m_state = State::User;
            answer("User ID:", out);
            break;
        case State::User:
            // The CR that answers the banner may come late; a user id is never empty.
            if (text.empty()) break;
            if (closesAt("user")) return closeNow(out);
            m_user = text;
            m_state = State::Password;
            answer("\r\nPassword:", out);
            break;
        case State::Password:
            if (closesAt("password")) return closeNow(out);
            if (c.faults.busy) return answer("\r\nfailure: busy\r\n", out, true);
            if (c.faults.inUse) return answer("\r\nsession already exists.\r\n", out, true);
            if (c.faults.wrongPassword || m_user != c.user || text != c.password)
                return answer("\r\nLogin Incorrect\r\n", out, true);
            m_state = State::Command;
            answer(kPrompt, out);
            // A device that repeats its prompt: the second one comes while the first is handled.
            if (c.faults.twoPrompts) out.push_back({.delayMs = c.faults.gapMs, .bytes = "> "});
            break;
        case State::Command:
            command(text, out);
            break;
        case State::Closed:
            break;
    }
}

void Dialogue::command(const std::string& text, std::vector<Write>& out) {
    const Faults& f = m_device.config().faults;
    const std::string word = firstWord(text);
    const size_t eq = text.find('=');
    const bool setting = eq != std::string::npos && word.find('=') != std::string::npos;
    if (closesAt(text.empty() ? "cr" : setting ? "setting" : word)) return closeNow(out);
    if (text.empty() || word == "date" || word == "time" || word == "write") {
        answer(kPrompt, out);
    } else if (word == "q" || word == "cpureset") {
        answer(".\r\n", out, true);
    } else if (word == "&save") {
        if (f.flood) {
            out.push_back({.delayMs = f.slowMs, .bytes = {}, .flood = true});
            return;
        }
        answer(m_device.dump() + kPrompt, out);
    } else if (word == "log") {
        int n = 20;
        std::string_view arg = std::string_view(text).substr(std::min(text.size(), size_t{4}));
        std::from_chars(arg.data(), arg.data() + arg.size(), n);
        n = std::clamp(n, 0, kMaxLogLines);
        answer(text + "\r\n" + logText(n) + kPrompt, out);
    } else if (word == "unset" && text.size() > 6) {
        std::string_view name = std::string_view(text).substr(6);
        if (name.starts_with('.')) name.remove_prefix(1);
        m_device.unset(name);
        answer(kPrompt, out);
    } else if (setting) {
        std::string_view name = std::string_view(text).substr(0, eq);
        if (name.starts_with('.')) name.remove_prefix(1);
        m_device.set(name, text.substr(eq + 1));
        answer(kPrompt, out);
    } else if (text[0] == '?' && text.size() > 1) {
        // The answer repeats the query, so the value starts right after one separator byte.
        answer(text + "=" + m_device.get(std::string_view(text).substr(1)) + kPrompt, out);
    } else if (word == "ver") {
        answer("ver=" + m_device.config().version + kPrompt, out);
    } else {
        answer("\r\nunknown command" + std::string(kPrompt), out);
    }
}

}  // namespace devsim
