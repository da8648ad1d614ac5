// How the program's heap treats large buffers. A device can flood tens of MiB into a session's
// texts; once the session is replaced those buffers must go back to the system, not stay in a
// heap that the allocator grew to fit them.
#pragma once

namespace platform {

// Call once at start, before any thread exists: buffers of 256 KiB and more are mapped on their
// own and returned when freed, whatever sizes were freed before.
void ReturnLargeBuffersToTheSystem();

}  // namespace platform
