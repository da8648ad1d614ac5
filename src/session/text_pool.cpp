#include "session/text_pool.h"

namespace session {

bool TextPool::draw(size_t bytes) {
    size_t now = m_drawn.load(std::memory_order_relaxed);
    do {
        if (bytes > m_capacity - now) return false;
    } while (!m_drawn.compare_exchange_weak(now, now + bytes, std::memory_order_relaxed));
    size_t peak = m_peak.load(std::memory_order_relaxed);
    while (now + bytes > peak &&
           !m_peak.compare_exchange_weak(peak, now + bytes, std::memory_order_relaxed)) {
    }
    return true;
}

void TextPool::giveBack(size_t bytes) {
    m_drawn.fetch_sub(bytes, std::memory_order_relaxed);
}

}  // namespace session
