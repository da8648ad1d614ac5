#include "runner/signal_watch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace runner {

SignalWatch::SignalWatch() {
    // A shell starts background jobs with SIGINT ignored; an ignored signal is never queued.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &set, nullptr);
    m_fd = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

SignalWatch::~SignalWatch() {
    m_notifier.reset();
    if (m_fd >= 0) ::close(m_fd);
}

void SignalWatch::watch(std::function<void()> onSignal) {
    if (m_fd < 0) return;
    m_onSignal = std::move(onSignal);
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] {
        signalfd_siginfo info;
        while (::read(m_fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
            if (m_onSignal) m_onSignal();
        }
    });
}

}  // namespace runner
