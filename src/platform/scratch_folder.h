// A folder of a program's own under the temporary folder, for files nobody keeps. It is held
// locked for as long as it lives and removed with everything in it at the end; a folder that
// nobody holds was left by a program that was killed, and the next one removes it.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace platform {

class ScratchFolder {
public:
    // A new folder "<prefix>XXXXXX" in base; null when none can be made.
    static std::unique_ptr<ScratchFolder> make(const std::filesystem::path& base,
                                               const std::string& prefix);
    // Removes the folder and everything in it.
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    ScratchFolder(int fd, std::filesystem::path path) : m_fd(fd), m_path(std::move(path)) {}

    int m_fd = -1;  // the folder, locked
    std::filesystem::path m_path;
};

// The temporary folder ($TMPDIR, else /tmp).
std::filesystem::path temporaryFolder();

// Removes every "<prefix>XXXXXX" folder of this user's in base that no living ScratchFolder
// holds. Links and other users' folders are left alone.
void sweepScratchFolders(const std::filesystem::path& base, const std::string& prefix);

}  // namespace platform
