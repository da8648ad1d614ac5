#include "runner/process_serving.h"

#include <QCoreApplication>

namespace runner {

void ProcessServing::serve(const std::function<bool()>& done, std::function<void()> onInterrupt) {
    if (m_watch && onInterrupt) m_watch->watch(std::move(onInterrupt));
    while (!done()) QCoreApplication::exec();
}

void ProcessServing::wake() {
    QCoreApplication::quit();
}

}  // namespace runner
