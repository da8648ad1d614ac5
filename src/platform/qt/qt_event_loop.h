// The event loop port on Qt's loop of the GUI thread.
#pragma once

#include <QElapsedTimer>
#include <memory>

class QObject;

#include "platform/event_loop.h"

namespace platform::qt {

class QtEventLoop : public EventLoop {
public:
    QtEventLoop();
    ~QtEventLoop() override;
    uint32_t tickCount() override;
    void processEvents(uint32_t maxSleepMs) override;
    std::unique_ptr<Timer> createTimer() override;
    void post(std::function<void()> event) override;

private:
    QElapsedTimer m_clock;
    // Lives in the loop's thread: events queued to it run there, and are dropped with it.
    std::unique_ptr<QObject> m_receiver;
};

}  // namespace platform::qt
