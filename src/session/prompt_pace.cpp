#include "session/prompt_pace.h"

#include <algorithm>

namespace session {

bool ChangesDevice(std::string_view command) {
    return command.starts_with("DATE ") || command.starts_with("TIME ") ||
           command.starts_with('.') || command == "WRITE" || command == "CPURESET";
}

void ReplyHead::expect(std::string_view command) {
    m_command = command;
    m_head.clear();
    m_open = m_stray = m_inReply = m_endsReply = false;
}

void ReplyHead::take(std::string_view chunk, bool strict) {
    const bool prompt = chunk.find('>') != std::string_view::npos;
    m_inReply = m_open;
    m_endsReply = prompt;
    if (m_stray) {
        m_endsReply = false;
        m_stray = !prompt;
        return;
    }
    if (!m_open) {
        // Line breaks and blanks in front are what is left of the previous prompt.
        if (m_head.empty())
            chunk.remove_prefix(std::min(chunk.size(), chunk.find_first_not_of(" \r\n")));
        m_head.append(chunk.substr(0, m_command.size() - m_head.size()));
        if (m_command.compare(0, m_head.size(), m_head) != 0) {
            m_head.clear();
            if (strict) {
                m_endsReply = false;
                m_stray = !prompt;
                return;
            }
        } else if (!m_command.empty() && m_head.size() == m_command.size()) {
            m_open = m_inReply = true;
        }
    }
    if (prompt) {
        m_open = false;
        m_head.clear();
    }
}

void LoginWindow::reset(const devlist::DeviceRecord& rec) {
    stopPause();
    m_seen = false;
    m_held.clear();
    m_reply = {};
    m_startVersion = rec.modelVersion;
    m_startMac = rec.macAddress;
    m_startName = rec.deviceName;
}

void LoginWindow::loginChunk() {
    m_seen = true;
    m_deadline = m_loop.tickCount() + kLoginPauseMs;
}

bool LoginWindow::open() const {
    return m_pace == Pace::Prompt && m_seen &&
           static_cast<int32_t>(m_loop.tickCount() - m_deadline) < 0;
}

void LoginWindow::wait(LoginTests tests) {
    m_waiting.add(std::move(tests));
    m_pause->start(kLoginPauseMs);
}

std::vector<LoginTests> LoginWindow::endPause() {
    m_pause->stop();
    return m_waiting.takeLatestFirst();
}

void LoginWindow::stopPause() {
    m_pause->stop();
    m_waiting.clear();
}

void LoginWindow::hold(std::string bytes, std::string echo) {
    m_held.push_back({std::move(bytes), std::move(echo)});
    if (!m_pause->isActive()) m_pause->start(msLeft());
}

std::vector<HeldSend> LoginWindow::takeHeld() {
    std::vector<HeldSend> held;
    held.swap(m_held);
    return held;
}

void LoginWindow::restoreStart(devlist::DeviceRecord& rec) const {
    rec.modelVersion = m_startVersion;
    rec.macAddress = m_startMac;
    rec.deviceName = m_startName;
}

}  // namespace session
