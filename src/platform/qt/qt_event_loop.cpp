#include "platform/qt/qt_event_loop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace platform::qt {
namespace {

class QtTimer : public Timer {
public:
    QtTimer() {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_callback) m_callback();
        });
    }
    void start(uint32_t intervalMs) override { m_timer.start(static_cast<int>(intervalMs)); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    void setCallback(std::function<void()> onTimeout) override {
        m_callback = std::move(onTimeout);
    }

private:
    QTimer m_timer;
    std::function<void()> m_callback;
};

}  // namespace

QtEventLoop::QtEventLoop() : m_receiver(std::make_unique<QObject>()) {
    m_clock.start();
}

QtEventLoop::~QtEventLoop() = default;

void QtEventLoop::post(std::function<void()> event) {
    QMetaObject::invokeMethod(m_receiver.get(), std::move(event), Qt::QueuedConnection);
}

uint32_t QtEventLoop::tickCount() {
    return static_cast<uint32_t>(m_clock.elapsed());
}

void QtEventLoop::processEvents(uint32_t maxSleepMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (maxSleepMs == 0) return;
    // Sleep until the next event or the wake-up, whichever comes first: the wait yields the
    // processor but still dispatches every event as it arrives.
    QTimer wake;
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    wake.start(static_cast<int>(std::min<uint32_t>(maxSleepMs, 50)));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

std::unique_ptr<Timer> QtEventLoop::createTimer() {
    return std::make_unique<QtTimer>();
}

}  // namespace platform::qt
