// Virtual time for the cores: timers and Delay advance a millisecond counter instead of the
// wall clock, and events posted by fake endpoints are dispatched inside waits, re-entrantly,
// as the real loop does. As there, a timer never fires again while its own callback runs (it
// fires once more after the callback returned, if it is still due), and due times are compared
// across the wrap of the 32-bit counter.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/event_loop.h"

namespace testsupport {

class FakeEventLoop : public platform::EventLoop {
public:
    FakeEventLoop();
    ~FakeEventLoop() override;

    uint32_t tickCount() override { return m_now; }
    void processEvents(uint32_t maxSleepMs) override;
    std::unique_ptr<platform::Timer> createTimer() override;

    // Queues an event to run at the next dispatch (from any thread), or at a later virtual time.
    void post(std::function<void()> event) override;
    void postAt(uint32_t atMs, std::function<void()> event);
    bool takesWorkBackFromThreads() const override { return false; }
    // Moves time forward by ms, firing timers and timed events on the way.
    void advance(uint32_t ms);
    // Runs everything that is due now.
    void runPending();
    // Runs what other threads post, in real time, until done holds or 20 s went by (a stalled
    // thread then fails the test's own checks rather than hang it); virtual time stands still.
    bool waitFor(const std::function<bool()>& done);
    void setNow(uint32_t now) { m_now = now; }
    int dispatchRounds() const { return m_rounds; }
    // How deeply waits (processEvents) are nested now, and the most seen since the last reset.
    int waitDepth() const { return m_depth; }
    int maxWaitDepth() const { return m_maxDepth; }
    void resetMaxWaitDepth() { m_maxDepth = m_depth; }

    struct TimerState;

private:
    bool fireNextDue(uint32_t until);
    // Signed distance from now, so that times just past the counter's wrap lie ahead.
    int64_t fromNow(uint32_t at) const { return static_cast<int32_t>(at - m_now); }

    uint32_t m_now = 0;
    int m_rounds = 0;
    int m_depth = 0;
    int m_maxDepth = 0;
    std::deque<std::function<void()>> m_pending;
    // Events posted by other threads, taken into m_pending at the next dispatch.
    std::mutex m_postedMutex;
    std::deque<std::function<void()>> m_posted;
    bool takePosted();
    struct Timed {
        uint32_t at;
        uint64_t seq;
        std::function<void()> event;
    };
    std::vector<Timed> m_timed;
    std::vector<std::shared_ptr<TimerState>> m_timers;
    uint64_t m_seq = 0;
    friend class FakeTimer;
};

}  // namespace testsupport
