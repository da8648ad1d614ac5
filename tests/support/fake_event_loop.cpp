#include "fake_event_loop.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace testsupport {

struct FakeEventLoop::TimerState {
    FakeEventLoop* loop;
    bool active = false;
    uint32_t interval = 0;
    uint32_t due = 0;
    uint64_t seq = 0;
    bool running = false;  // its callback is on the stack
    std::function<void()> callback;
};

class FakeTimer : public platform::Timer {
public:
    explicit FakeTimer(FakeEventLoop* loop)
        : m_state(std::make_shared<FakeEventLoop::TimerState>()) {
        m_state->loop = loop;
        loop->m_timers.push_back(m_state);
    }
    ~FakeTimer() override {
        if (m_state->loop) {
            auto& v = m_state->loop->m_timers;
            v.erase(std::remove(v.begin(), v.end(), m_state), v.end());
        }
    }
    void start(uint32_t intervalMs) override {
        m_state->active = true;
        m_state->interval = intervalMs;
        m_state->due = (m_state->loop ? m_state->loop->m_now : 0) + intervalMs;
        m_state->seq = m_state->loop ? ++m_state->loop->m_seq : 0;
    }
    void stop() override { m_state->active = false; }
    bool isActive() const override { return m_state->active; }
    void setCallback(std::function<void()> cb) override { m_state->callback = std::move(cb); }

private:
    std::shared_ptr<FakeEventLoop::TimerState> m_state;
};

FakeEventLoop::FakeEventLoop() = default;
FakeEventLoop::~FakeEventLoop() {
    for (auto& t : m_timers) t->loop = nullptr;
}

std::unique_ptr<platform::Timer> FakeEventLoop::createTimer() {
    return std::make_unique<FakeTimer>(this);
}

void FakeEventLoop::post(std::function<void()> event) {
    std::lock_guard<std::mutex> lock(m_postedMutex);
    m_posted.push_back(std::move(event));
}

bool FakeEventLoop::takePosted() {
    std::lock_guard<std::mutex> lock(m_postedMutex);
    if (m_posted.empty()) return false;
    for (auto& e : m_posted) m_pending.push_back(std::move(e));
    m_posted.clear();
    return true;
}

void FakeEventLoop::postAt(uint32_t atMs, std::function<void()> event) {
    m_timed.push_back({atMs, ++m_seq, std::move(event)});
}

void FakeEventLoop::runPending() {
    while (takePosted() || !m_pending.empty()) {
        auto ev = std::move(m_pending.front());
        m_pending.pop_front();
        ev();
    }
    while (fireNextDue(m_now)) {
    }
}

// Fires the earliest timer or timed event due at or before `until`; moves time to it.
bool FakeEventLoop::fireNextDue(uint32_t until) {
    std::shared_ptr<TimerState> bestTimer;
    int bestTimed = -1;
    int64_t bestAt = 0;
    uint64_t bestSeq = 0;
    const int64_t limit = fromNow(until);
    auto better = [&](int64_t at, uint64_t seq) {
        return (bestTimer == nullptr && bestTimed < 0) || at < bestAt ||
               (at == bestAt && seq < bestSeq);
    };
    for (const auto& t : m_timers) {
        int64_t at = fromNow(t->due);
        if (t->active && !t->running && at <= limit && better(at, t->seq)) {
            bestTimer = t;
            bestTimed = -1;
            bestAt = at;
            bestSeq = t->seq;
        }
    }
    for (size_t i = 0; i < m_timed.size(); ++i) {
        int64_t at = fromNow(m_timed[i].at);
        if (at <= limit && better(at, m_timed[i].seq)) {
            bestTimer = nullptr;
            bestTimed = static_cast<int>(i);
            bestAt = at;
            bestSeq = m_timed[i].seq;
        }
    }
    if (bestTimer == nullptr && bestTimed < 0) return false;
    if (bestAt > 0) m_now += static_cast<uint32_t>(bestAt);
    if (bestTimer) {
        bestTimer->due = m_now + std::max<uint32_t>(bestTimer->interval, 1);
        bestTimer->seq = ++m_seq;
        // A copy: the callback may replace itself or destroy its timer.
        auto callback = bestTimer->callback;
        bestTimer->running = true;
        if (callback) callback();
        bestTimer->running = false;
    } else {
        auto ev = std::move(m_timed[static_cast<size_t>(bestTimed)].event);
        m_timed.erase(m_timed.begin() + bestTimed);
        ev();
    }
    return true;
}

void FakeEventLoop::processEvents(uint32_t maxSleepMs) {
    ++m_rounds;
    struct Depth {
        FakeEventLoop& loop;
        explicit Depth(FakeEventLoop& l) : loop(l) {
            loop.m_maxDepth = std::max(loop.m_maxDepth, ++loop.m_depth);
        }
        ~Depth() { --loop.m_depth; }
    } depth(*this);
    if (takePosted() || !m_pending.empty() || fireNextDue(m_now)) {
        runPending();
        return;
    }
    // Nothing pending: sleep until the next due event, at most maxSleepMs, and at least 1 ms so
    // that a waiting loop always makes progress.
    uint32_t until = m_now + std::max<uint32_t>(maxSleepMs, 1);
    if (!fireNextDue(until)) m_now = until;
    runPending();
}

bool FakeEventLoop::waitFor(const std::function<bool()>& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done() && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        runPending();
    }
    return done();
}

void FakeEventLoop::advance(uint32_t ms) {
    uint32_t until = m_now + ms;
    runPending();
    while (fireNextDue(until)) runPending();
    // A wait inside a callback may have moved time past the end already.
    if (fromNow(until) > 0) m_now = until;
}

}  // namespace testsupport
