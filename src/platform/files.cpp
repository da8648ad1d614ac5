#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "text/cp932.h"

namespace platform {
namespace fs = std::filesystem;

bool fileExistsNative(const fs::path& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool fileExists(std::string_view path) {
    return !path.empty() && fileExistsNative(text::toPath(path));
}

bool directoryExists(std::string_view path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(text::toPath(path), ec);
}

bool createDirectoriesNative(const fs::path& p, Access access) {
    std::error_code ec;
    if (access == Access::Shared) {
        fs::create_directories(p, ec);
        return fs::is_directory(p, ec);
    }
    // Each missing folder is made with its final mode, so it is never open to others.
    fs::path made;
    for (const fs::path& part : p) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return fs::is_directory(p, ec);
}

bool createDirectories(std::string_view path) {
    return createDirectoriesNative(text::toPath(path));
}

std::optional<std::string> readFileNative(const fs::path& path) {
    if (!fileExistsNative(path)) return std::nullopt;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return out;
}

std::optional<std::string> readFile(std::string_view path) {
    if (path.empty()) return std::nullopt;
    return readFileNative(text::toPath(path));
}

int openLockFile(const fs::path& path) {
    // Checked before the open as well as after it: opening a FIFO or a device may itself block
    // or act on the device.
    struct stat named {};
    if (::lstat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) return -1;
    const int fd = ::open(path.c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK, 0600);
    if (fd < 0) return -1;
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool syncFolder(const fs::path& folder) {
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

bool writeFileAtomic(std::string_view path, std::string_view bytes, Access newFile) {
    if (path.empty()) return false;
    return writeFileAtomicNative(text::toPath(path), bytes, Links::Follow, newFile);
}

fs::path programPathNative() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : p;
}

std::string programPath() {
    return text::fromPath(programPathNative());
}

fs::path nativeIn(const fs::path& folder, std::string_view cp932Name) {
    return folder / text::toPath(cp932Name);
}

namespace {
// Index just after the last separator ('/', '\\' or a drive ':'), skipping trail bytes of
// two-byte characters, whose second byte may equal '\\'.
size_t nameStart(std::string_view path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(path[i]);
        if (text::isLeadByte(b)) {
            ++i;
            continue;
        }
        if (b == '/' || b == '\\' || b == ':') start = i + 1;
    }
    return start;
}
}  // namespace

std::string folderPart(std::string_view path) {
    return std::string(path.substr(0, nameStart(path)));
}
std::string namePart(std::string_view path) {
    return std::string(path.substr(nameStart(path)));
}

}  // namespace platform
