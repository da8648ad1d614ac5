// What tells a file's state on disk from an earlier one without reading it: which file stands at
// the name (a save that replaces it makes another), its size, its modification time to the
// nanosecond and its status change time. Another program's write changes at least one of them:
// a write in place of the same size that sets the modification time back still moves the status
// change time, which no program can set.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

struct FileStamp {
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;
    int64_t changedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file a code page 932 path names (following a link); exists is false when
// nothing can be found there.
FileStamp fileStamp(std::string_view path);

}  // namespace platform
