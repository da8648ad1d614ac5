#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "text/cp932.h"

namespace platform {
namespace fs = std::filesystem;

bool fileExists(std::string_view path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(text::toPath(path), ec);
}

bool directoryExists(std::string_view path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(text::toPath(path), ec);
}

bool createDirectories(std::string_view path) {
    std::error_code ec;
    fs::path p = text::toPath(path);
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

std::optional<std::string> readFile(std::string_view path) {
    if (!fileExists(path)) return std::nullopt;
    int fd = ::open(text::toPath(path).c_str(), O_RDONLY | O_CLOEXEC);
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

bool writeFileAtomic(std::string_view path, std::string_view bytes) {
    if (path.empty()) return false;
    fs::path target = text::toPath(path);
    std::error_code ec;
    if (fs::is_directory(target, ec)) return false;
    // Write through a link to the file it names, as an in-place write would.
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    }
    static std::mt19937 rng{std::random_device{}()};
    fs::path tmp = target;
    tmp += ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(rng() % 1000000);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    // Keep the permissions of the file being replaced.
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) ::fchmod(fd, st.st_mode & 07777);
    const char* p = bytes.data();
    size_t left = bytes.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && ::rename(tmp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) ::unlink(tmp.c_str());
    return ok;
}

std::string programPath() {
    std::error_code ec;
    fs::path p = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : text::fromPath(p);
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
