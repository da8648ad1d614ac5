// SIGINT, SIGTERM and SIGHUP as events of the Qt loop: the signals are blocked and read from a
// signalfd, so a handler runs between events like any other and needs no global flag.
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace runner {

class SignalWatch {
public:
    // Blocks the signals for this thread and every thread started later: call it first.
    SignalWatch();
    ~SignalWatch();
    // onSignal runs once per signal received, on the loop.
    void watch(std::function<void()> onSignal);
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd = -1;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_onSignal;
};

}  // namespace runner
