// The event loop port on Qt's loop of the GUI thread.
#pragma once

#include <QElapsedTimer>

#include "platform/event_loop.h"

namespace platform::qt {

class QtEventLoop : public EventLoop {
public:
    QtEventLoop();
    uint32_t tickCount() override;
    void processEvents(uint32_t maxSleepMs) override;
    std::unique_ptr<Timer> createTimer() override;

private:
    QElapsedTimer m_clock;
};

}  // namespace platform::qt
