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

}  // namespace session
