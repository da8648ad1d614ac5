#include "platform/event_loop.h"

namespace platform {

void Delay(EventLoop& loop, uint32_t ms) {
    const uint32_t start = loop.tickCount();
    for (;;) {
        uint32_t elapsed = loop.tickCount() - start;  // wrap-safe
        uint32_t left = elapsed <= ms ? ms - elapsed + 1 : 0;
        loop.processEvents(left);
        if (loop.tickCount() - start > ms) return;
    }
}

}  // namespace platform
