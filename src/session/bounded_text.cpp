#include "session/bounded_text.h"

#include <algorithm>

#include "text/cp932.h"

namespace session {
namespace {
constexpr std::string_view kCrLf = "\r\n";
}

BoundedText::BoundedText(size_t capBytes, TextPool* pool)
    : m_cap(std::max<size_t>(capBytes, 1024)), m_pool(pool) {}

BoundedText::~BoundedText() {
    if (m_pool) m_pool->giveBack(m_drawn);
}

std::string BoundedText::cutMark() {
    return text::sj("//--- 上限を超えたため、これより前のテキストを削除しました ---");
}

std::string BoundedText::headCutNote() {
    return text::sj(" --- 上限を超えたため、先頭のテキストを削除しました ---");
}

bool BoundedText::saysHeadCut(std::string_view bytes) {
    std::string_view first = bytes.substr(0, bytes.find(kCrLf));
    while (!first.empty() && first.back() == '\r') first.remove_suffix(1);
    return first == cutMark() || first.ends_with(headCutNote());
}

// Draws in doubling steps, so a text that grows to its cap asks the pool a few times only; when
// the pool cannot give the step, it gives what is needed if it has that.
size_t BoundedText::roomFor(size_t need) {
    if (!m_pool) return m_cap;
    const size_t room = std::min(m_cap, kOwnBytes) + m_drawn;
    if (need <= room) return room;
    const size_t step = std::min(m_cap, std::max(need, 2 * room));
    for (size_t want : {step, need}) {
        if (want > room && want <= m_cap && m_pool->draw(want - room)) {
            m_drawn += want - room;
            return want;
        }
    }
    return room;
}

void BoundedText::append(std::string_view text) {
    const size_t need = m_text.size() + text.size() + kCrLf.size();
    const size_t room = roomFor(need);
    if (need > room) {
        appendPastCap(text, need, room);
        return;
    }
    // Grow geometrically, but never reserve past the room.
    if (need > m_text.capacity())
        m_text.reserve(std::max(need, std::min(room, 2 * m_text.capacity())));
    m_text += text;
    m_text += kCrLf;
}

void BoundedText::insertTop(std::string_view line) {
    std::string_view rest = m_text;
    std::string top(line);
    if (m_headCut) {
        size_t end = top.find_last_not_of('\r');
        top.insert(end == std::string::npos ? 0 : end + 1, headCutNote());
        if (m_markOnTop) {
            size_t markEnd = rest.find(kCrLf);
            rest.remove_prefix(markEnd == std::string_view::npos ? rest.size()
                                                                 : markEnd + kCrLf.size());
        }
        m_markOnTop = false;
    }
    std::string out;
    out.reserve(top.size() + kCrLf.size() + rest.size());
    out += top;
    out += kCrLf;
    out += rest;
    m_text.swap(out);
    // No cut here: the line put on top is a file's header and must stay.
    ++m_generation;
}

void BoundedText::removeFirst() {
    if (m_text.empty() || m_headCut) return;
    size_t pos = m_text.find(kCrLf);
    m_text.erase(0, pos == std::string::npos ? m_text.size() : pos + kCrLf.size());
    ++m_generation;
}

void BoundedText::clear() {
    release();
    ++m_generation;
}

std::string BoundedText::take() {
    std::string out;
    out.swap(m_text);
    release();
    ++m_generation;
    return out;
}

void BoundedText::release() {
    std::string().swap(m_text);
    if (m_pool) m_pool->giveBack(m_drawn);
    m_drawn = 0;
    m_headCut = false;
    m_markOnTop = false;
}

// Appending and cutting at once: what is kept is the newest half of the room, built from the
// newest bytes alone, so a text far larger than the cap (a device that floods one chunk) is
// never copied whole, and the copying is paid once per half a room of input.
void BoundedText::appendPastCap(std::string_view text, size_t total, size_t room) {
    const size_t from = total - std::min(room / 2, total);
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
    m_headCut = true;
    m_markOnTop = true;
    ++m_generation;
}

}  // namespace session
