#include "fleet/list_rewrite.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "devlist/list_file.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace fleet {

std::filesystem::path LockPathOf(const std::string& listPath) {
    std::filesystem::path p = text::toPath(listPath);
    std::error_code ec;
    // The list may not exist yet (the window's first save): its folder is resolved all the same.
    std::filesystem::path resolved = std::filesystem::weakly_canonical(p, ec);
    if (!ec && !resolved.empty()) p = std::move(resolved);
    p += ".lock";
    return p;
}

unsigned long ListNameCount(const std::string& listPath) {
    struct stat st {};
    // A symbolic link is followed, as every write of the list follows it.
    if (listPath.empty() || ::stat(text::toPath(listPath).c_str(), &st) != 0) return 0;
    if (!S_ISREG(st.st_mode)) return 0;  // a folder's links are its entries
    return static_cast<unsigned long>(st.st_nlink);
}

std::string SecondNameText(const std::string& listPath) {
    return listPath + text::sj(
                          " には別の名前 (ハードリンク) があります。保存すると、この名前の"
                          "ファイルだけが新しくなり、別の名前のファイルは元のまま残ります。");
}

ListLock::ListLock(const std::string& listPath) : m_path(LockPathOf(listPath)) {
    // A link or anything but a plain file at the lock's name is never opened through: that
    // would let whoever planted it choose the file this program creates or truncates.
    m_fd = platform::openLockFile(m_path);
    if (m_fd < 0) return;
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

ListLock::~ListLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}

ListRewrite RewriteList(const std::string& path, LockRule rule, const ListMerge& merge,
                        const std::optional<platform::FileStamp>& known) {
    ListRewrite out;
    ListLock lock(path);
    if (!lock.held() && rule == LockRule::Required) {
        out.status = ListRewrite::Status::NoLock;
        out.failed = text::fromPath(lock.path());
        return out;
    }
    ListNow now;
    now.stamp = platform::fileStamp(path);
    out.before = now.stamp;
    out.after = now.stamp;
    if (known && now.stamp.exists && now.stamp == *known) {
        now.unchanged = true;
    } else if (now.stamp.exists) {
        now.bytes = platform::readFile(path);
        if (!now.bytes) {
            out.status = ListRewrite::Status::Unreadable;
            out.failed = path;
            return out;
        }
    }
    ListChange change = merge(now);
    if (!change.bytes) return out;
    for (const std::string& bytes : change.keepAside) {
        if (bytes.empty()) continue;
        devlist::ListBackup kept = devlist::KeepListBackup(path, bytes);
        if (!kept.kept) {
            out.status = ListRewrite::Status::BackupFailed;
            out.failed = kept.name;
            return out;
        }
        out.keptNames.push_back(kept.name);
    }
    out.keptAside = true;
    // The list holds every device's login: a list file made anew is the user's alone.
    if (!platform::writeFileAtomic(path, *change.bytes, platform::Access::OwnerOnly)) {
        out.status = ListRewrite::Status::WriteFailed;
        out.failed = path;
        out.after = platform::fileStamp(path);
        return out;
    }
    out.status = ListRewrite::Status::Written;
    out.after = platform::fileStamp(path);
    return out;
}

}  // namespace fleet
