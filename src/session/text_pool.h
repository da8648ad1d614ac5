// The memory that the texts of many sessions share. A text draws from it as it grows and gives
// back when it is emptied or goes, so one device with a big dump may keep it whole while the
// others hold little; what no text can draw any more is cut from the text that needed it.
// Sessions on several threads may share one pool: drawing and giving back are lock-free.
#pragma once

#include <atomic>
#include <cstddef>

namespace session {

class TextPool {
public:
    explicit TextPool(size_t capacityBytes) : m_capacity(capacityBytes) {}
    TextPool(const TextPool&) = delete;
    TextPool& operator=(const TextPool&) = delete;

    // All or nothing: false leaves the pool as it was.
    bool draw(size_t bytes);
    void giveBack(size_t bytes);

    size_t capacity() const { return m_capacity; }
    size_t drawn() const { return m_drawn.load(std::memory_order_relaxed); }
    // The most that was ever drawn at once.
    size_t peak() const { return m_peak.load(std::memory_order_relaxed); }

private:
    const size_t m_capacity;
    std::atomic<size_t> m_drawn{0};
    std::atomic<size_t> m_peak{0};
};

}  // namespace session
