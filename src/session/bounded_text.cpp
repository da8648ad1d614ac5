#include "session/bounded_text.h"

#include <algorithm>

#include "text/cp932.h"

namespace session {
namespace {
constexpr std::string_view kCrLf = "\r\n";
}

BoundedText::BoundedText(size_t capBytes) : m_cap(std::max<size_t>(capBytes, 1024)) {}

std::string BoundedText::cutMark() {
    return text::sj("//--- 上限を超えたため、これより前のテキストを削除しました ---");
}

void BoundedText::append(std::string_view text) {
    const size_t need = m_text.size() + text.size() + kCrLf.size();
    if (need > m_cap) {
        appendPastCap(text, need);
        return;
    }
    // Grow geometrically, but never reserve far past the cap.
    if (need > m_text.capacity())
        m_text.reserve(std::max(need, std::min(m_cap, 2 * m_text.capacity())));
    m_text += text;
    m_text += kCrLf;
    if (m_text.size() > m_cap) cut();
}

void BoundedText::insertTop(std::string_view line) {
    std::string out;
    out.reserve(line.size() + kCrLf.size() + m_text.size());
    out += line;
    out += kCrLf;
    out += m_text;
    m_text.swap(out);
    // No cut here: the line put on top is a file's header and must stay.
    ++m_generation;
}

void BoundedText::removeFirst() {
    if (m_text.empty()) return;
    size_t pos = m_text.find(kCrLf);
    m_text.erase(0, pos == std::string::npos ? m_text.size() : pos + kCrLf.size());
    ++m_generation;
}

void BoundedText::clear() {
    m_text.clear();
    ++m_generation;
}

std::string BoundedText::take() {
    std::string out;
    out.swap(m_text);
    ++m_generation;
    return out;
}

// Appending and cutting at once: what is kept is built from the newest bytes alone, so a text far
// larger than the cap (a device that floods one chunk) is never copied whole.
void BoundedText::appendPastCap(std::string_view text, size_t total) {
    const size_t from = total - std::min(m_cap / 2, total);
    std::string tail;
    tail.reserve(total - from);
    if (from < m_text.size()) {
        tail.append(m_text, from);
        tail += text;
    } else {
        tail += text.substr(std::min(from - m_text.size(), text.size()));
    }
    tail += kCrLf;
    size_t start = 0;
    size_t lineStart = tail.find(kCrLf);
    if (lineStart != std::string::npos && lineStart + kCrLf.size() < tail.size())
        start = lineStart + kCrLf.size();
    std::string out = cutMark();
    out.reserve(out.size() + kCrLf.size() + tail.size() - start);
    out += kCrLf;
    out.append(tail, start);
    m_text.swap(out);
    ++m_generation;
}

// Keeps the newest half of the cap, so that the copying is paid once per half a cap of input.
void BoundedText::cut() {
    const size_t keep = m_cap / 2;
    size_t from = m_text.size() - std::min(keep, m_text.size());
    size_t lineStart = m_text.find(kCrLf, from);
    if (lineStart != std::string::npos && lineStart + kCrLf.size() < m_text.size())
        from = lineStart + kCrLf.size();
    std::string out = cutMark();
    out += kCrLf;
    out.append(m_text, from, std::string::npos);
    m_text.swap(out);
    ++m_generation;
}

}  // namespace session
