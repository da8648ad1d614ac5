#include "platform/file_stamp.h"

#include <sys/stat.h>

#include "text/cp932.h"

namespace platform {

FileStamp fileStamp(std::string_view path) {
    FileStamp stamp;
    struct stat st {};
    if (path.empty() || ::stat(text::toPath(path).c_str(), &st) != 0) return stamp;
    stamp.exists = true;
    stamp.device = static_cast<uint64_t>(st.st_dev);
    stamp.inode = static_cast<uint64_t>(st.st_ino);
    stamp.size = static_cast<int64_t>(st.st_size);
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = static_cast<int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return stamp;
}

}  // namespace platform
