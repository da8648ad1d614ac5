#include "runner/signal_watch.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace runner {

SignalWatch::SignalWatch() {
    // A shell starts background jobs with SIGINT ignored; an ignored signal is never queued.
    // SIGHUP comes when the ssh session or terminal of an unattended run goes away: it stops the
    // run as SIGTERM does, instead of killing it with devices half-configured. Started under
    // nohup, the run keeps ignoring it.
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM}) {
        ::signal(sig, SIG_DFL);
        sigaddset(&set, sig);
    }
    struct sigaction hangup {};
    if (::sigaction(SIGHUP, nullptr, &hangup) != 0 || hangup.sa_handler != SIG_IGN)
        sigaddset(&set, SIGHUP);
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
