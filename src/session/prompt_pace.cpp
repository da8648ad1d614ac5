#include "session/prompt_pace.h"

#include <algorithm>

namespace session {

bool ChangesDevice(std::string_view command) {
    return command.starts_with("DATE ") || command.starts_with("TIME ") ||
           command.starts_with('.') || command == "WRITE" || command == "CPURESET";
}

void ReplyHead::expect(std::string_view query) {
    m_query = query;
    m_head.clear();
    m_stray = false;
}

bool ReplyHead::accepts(std::string_view chunk, bool strict) {
    const bool prompt = chunk.find('>') != std::string_view::npos;
    if (m_stray) {
        if (prompt) m_stray = false;
        return false;
    }
    if (!strict) return prompt;
    // Line breaks and blanks before the reply are what is left of the previous prompt.
    if (m_head.empty())
        chunk.remove_prefix(std::min(chunk.size(), chunk.find_first_not_of(" \r\n")));
    if (m_head.size() < m_query.size())
        m_head.append(chunk.substr(0, m_query.size() - m_head.size()));
    if (m_query.compare(0, m_head.size(), m_head) == 0) return prompt;
    m_head.clear();
    m_stray = !prompt;
    return false;
}

}  // namespace session
