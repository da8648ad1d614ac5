// The program's one thread is driven by events. This port is the event loop as the cores see
// it: a 32-bit millisecond counter, one-shot or repeating timers, a way to dispatch what is
// pending while a handler waits (Delay), and the one door by which another thread hands work
// back to the loop (post).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

class Timer {
public:
    virtual ~Timer() = default;
    // (Re)starts the timer; it fires every intervalMs until stopped.
    virtual void start(uint32_t intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual void setCallback(std::function<void()> onTimeout) = 0;
};

class EventLoop {
public:
    virtual ~EventLoop() = default;
    // Milliseconds since an arbitrary start, 32 bits, wrapping.
    virtual uint32_t tickCount() = 0;
    // Dispatches every pending event. When nothing is pending it may sleep up to maxSleepMs
    // waiting for one, so that a waiting handler does not keep the processor busy.
    virtual void processEvents(uint32_t maxSleepMs) = 0;
    virtual std::unique_ptr<Timer> createTimer() = 0;
    // Safe from any thread: the event runs on the loop's thread at a later dispatch, events of
    // one thread in the order they were posted. Events still pending when the loop goes away
    // are dropped.
    virtual void post(std::function<void()> event) = 0;
    // Whether a core may hand slow work (a run's file saves) to a thread of its own and take the
    // results back through post. A loop on virtual time says no: a result would come back at a
    // real moment its clock knows nothing of, so the core then does the work on the loop.
    virtual bool takesWorkBackFromThreads() const { return true; }
};

// Waits n milliseconds while dispatching every event that arrives. Handlers run inside the
// wait, re-entrantly. Events are dispatched at least once, even for n = 0, and the wait ends at
// the first check after the counter has moved past start + n.
void Delay(EventLoop& loop, uint32_t ms);

}  // namespace platform
