#include "platform/growing_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"

namespace platform {

GrowingFile::~GrowingFile() {
    if (m_fd >= 0) ::close(m_fd);
}

bool GrowingFile::create(const std::filesystem::path& path, Access access) {
    if (m_fd >= 0) close();
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                  access == Access::OwnerOnly ? 0600 : 0666);
    return m_fd >= 0;
}

bool GrowingFile::append(std::string_view bytes) {
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    return WriteAll(m_fd, bytes);
}

bool GrowingFile::close() {
    if (m_fd < 0) return true;
    int error = ::fsync(m_fd) == 0 ? 0 : errno;
    if (::close(m_fd) != 0 && error == 0) error = errno;
    m_fd = -1;
    errno = error;
    return error == 0;
}

}  // namespace platform
