// The real process's wait: the Qt loop of its QCoreApplication, and the operator's interrupts as
// the signal watch reads them.
#pragma once

#include "runner/context.h"
#include "runner/signal_watch.h"

namespace runner {

class ProcessServing : public Serving {
public:
    // watch: null for a verb that a signal ends outright.
    explicit ProcessServing(SignalWatch* watch) : m_watch(watch) {}
    void serve(const std::function<bool()>& done, std::function<void()> onInterrupt) override;
    void wake() override;

private:
    SignalWatch* m_watch;
};

}  // namespace runner
