// One thread that takes work in the order it is posted and hands its handler everything that
// arrived since its last turn as one batch, so the slow part (a lock, a rewrite, an fsync) is
// paid once per batch and never on the posting thread. Destruction waits until every item
// posted has been handled.
//
// With a gap, a batch starts no sooner than the gap after the previous one started: while work
// keeps coming, it waits and gathers, so the slow part is paid at most once per gap however fast
// the work comes; work after a quiet spell is handled at once, and closing waits for nothing.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace fleet {

template <typename T>
class BatchThread {
public:
    using Handler = std::function<void(std::vector<T>& batch)>;

    explicit BatchThread(Handler handler, std::chrono::milliseconds gap = {})
        : m_handler(std::move(handler)), m_gap(gap) {
        m_thread = std::thread([this] { loop(); });
    }
    ~BatchThread() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_closing = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    BatchThread(const BatchThread&) = delete;
    BatchThread& operator=(const BatchThread&) = delete;

    // Wakes the thread only when it waits for work: one that waits out its gap or handles a
    // batch takes the item on its next turn anyway, and waking it for nothing costs both threads
    // a switch per item.
    void post(T item) {
        bool idle = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_items.push_back(std::move(item));
            idle = m_idle;
        }
        if (idle) m_wake.notify_one();
    }

    // What was posted goes without waiting out the gap: nothing more is coming soon.
    void hurry() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_hurry = true;
        }
        m_wake.notify_all();
    }

private:
    void loop() {
        std::unique_lock<std::mutex> lock(m_mutex);
        auto next = std::chrono::steady_clock::now();  // when the next batch may start
        for (;;) {
            m_idle = true;
            m_wake.wait(lock, [this] { return m_closing || !m_items.empty(); });
            m_idle = false;
            if (m_items.empty()) return;
            m_wake.wait_until(lock, next, [this] { return m_closing || m_hurry; });
            m_hurry = false;
            next = std::chrono::steady_clock::now() + m_gap;
            std::vector<T> batch;
            batch.swap(m_items);
            lock.unlock();
            m_handler(batch);
            batch = {};  // what the items hold goes before the next wait
            lock.lock();
        }
    }

    Handler m_handler;
    const std::chrono::milliseconds m_gap;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::vector<T> m_items;
    bool m_closing = false;
    bool m_idle = false;  // waiting for work, not for the gap
    bool m_hurry = false;
    std::thread m_thread;  // started in the constructor body, once every member is there
};

}  // namespace fleet
