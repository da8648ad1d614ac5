#include "devlist/line_store.h"

namespace devlist {

LineStore LineStore::fromFileBytes(std::string_view bytes) {
    LineStore s;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            s.m_lines.emplace_back(bytes.substr(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < bytes.size()) s.m_lines.emplace_back(bytes.substr(start));
    return s;
}

std::string LineStore::toBytes() const {
    size_t total = 0;
    for (const auto& l : m_lines) total += l.size() + 2;
    std::string out;
    out.reserve(total);
    for (const auto& l : m_lines) {
        out += l;
        out += "\r\n";
    }
    return out;
}

std::string LineStore::text() const {
    std::string out;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        if (i) out += "\r\n";
        out += m_lines[i];
    }
    return out;
}

void LineStore::setText(std::string_view text) {
    m_lines.clear();
    if (text.empty()) return;
    append(text);
    // append() treats a final CR LF as the start of an empty line; a text area does not.
    if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") m_lines.pop_back();
}

void LineStore::append(std::string_view text) {
    size_t start = 0;
    for (;;) {
        size_t pos = text.find("\r\n", start);
        if (pos == std::string_view::npos) {
            m_lines.emplace_back(text.substr(start));
            return;
        }
        m_lines.emplace_back(text.substr(start, pos - start));
        start = pos + 2;
    }
}

void LineStore::insertTop(std::string_view line) {
    m_lines.insert(m_lines.begin(), std::string(line));
}

void LineStore::removeFirst() {
    if (!m_lines.empty()) m_lines.erase(m_lines.begin());
}

}  // namespace devlist
