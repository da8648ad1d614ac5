#include "platform/scratch_folder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <system_error>

namespace platform {
namespace fs = std::filesystem;

namespace {

constexpr size_t kUniqueChars = 6;  // the XXXXXX of mkdtemp
constexpr int kAttempts = 8;

// The folder at name, opened and locked, when it is a folder of this user's (not a link) that
// nobody else holds; -1 otherwise. The name is checked to stand for the locked folder, since a
// sweep may have removed it between its making and the lock.
int lockFolder(const fs::path& name) {
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat held {
    }, named{};
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
        held.st_uid == ::geteuid() && ::lstat(name.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        return fd;
    }
    ::close(fd);
    return -1;
}

}  // namespace

std::unique_ptr<ScratchFolder> ScratchFolder::make(const fs::path& base,
                                                   const std::string& prefix) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        std::string pattern = (base / (prefix + std::string(kUniqueChars, 'X'))).string();
        if (!::mkdtemp(pattern.data())) return nullptr;
        const int fd = lockFolder(pattern);
        if (fd >= 0) return std::unique_ptr<ScratchFolder>(new ScratchFolder(fd, pattern));
    }
    return nullptr;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
    ::close(m_fd);
}

fs::path temporaryFolder() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    return ec ? fs::path("/tmp") : base;
}

void sweepScratchFolders(const fs::path& base, const std::string& prefix) {
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().native();
        if (name.size() != prefix.size() + kUniqueChars || name.compare(0, prefix.size(), prefix))
            continue;
        const int fd = lockFolder(it->path());
        if (fd < 0) continue;
        std::error_code removeError;
        fs::remove_all(it->path(), removeError);
        ::close(fd);
    }
}

}  // namespace platform
