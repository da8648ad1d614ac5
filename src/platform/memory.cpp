#include "platform/memory.h"

#include <malloc.h>

namespace platform {

void ReturnLargeBuffersToTheSystem() {
    // A fixed threshold: the allocator otherwise raises it after each large free, so the next
    // flood's buffers land in the heap and its memory is kept after the session ends.
    mallopt(M_MMAP_THRESHOLD, 256 * 1024);
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024);
}

}  // namespace platform
