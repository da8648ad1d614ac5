// A new file that grows by appends: a run's report, which keeps every row written so far when the
// run is cut short, at the cost of one write per row whatever the file's length. It is made
// only where no file stands (never through a link, never over an earlier run's file), and made
// durable once, when it is closed.
#pragma once

#include <filesystem>
#include <string_view>

#include "platform/files.h"

namespace platform {

class GrowingFile {
public:
    GrowingFile() = default;
    ~GrowingFile();
    GrowingFile(const GrowingFile&) = delete;
    GrowingFile& operator=(const GrowingFile&) = delete;

    // False, errno telling why, when anything stands at the name or it cannot be made.
    bool create(const std::filesystem::path& path, Access access = Access::Shared);
    bool isOpen() const { return m_fd >= 0; }
    // The whole of bytes at the end; false (errno) when not all of it was written.
    bool append(std::string_view bytes);
    // fsync and close; false (errno) when either failed. Nothing to do when not open.
    bool close();

private:
    int m_fd = -1;
};

}  // namespace platform
