#include "platform/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace platform {
namespace fs = std::filesystem;

namespace {

// Whether the user may write the file or folder. Permission bits are checked as well as
// access(), so a name marked read-only for everyone stays so even for a privileged process.
// False sets errno.
bool userMayWrite(const fs::path& p, const struct stat& st) {
    if ((st.st_mode & 0222) == 0) {
        errno = EACCES;
        return false;
    }
    return ::access(p.c_str(), W_OK) == 0;
}

// A failed save tells why through errno, which the clean-up after the failure must not change.
bool failWith(int error) {
    errno = error;
    return false;
}

// Not atomic, but the only way left when the folder takes no new file: the file keeps its
// inode, mode, owner and group. The room for the new text is reserved before a byte changes,
// and the file is cut to its new length only after the write, so a full disk refuses the save
// with the old file whole.
bool writeInPlace(const fs::path& target, std::string_view bytes, Links links) {
    int flags = O_WRONLY | O_CLOEXEC | (links == Links::Replace ? O_NOFOLLOW : 0);
    int fd = ::open(target.c_str(), flags);
    if (fd < 0) return false;
    int error = bytes.empty() ? 0 : ::posix_fallocate(fd, 0, static_cast<off_t>(bytes.size()));
    if (error == 0 && !(WriteAll(fd, bytes) &&
                        ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0))
        error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    return error == 0 || failWith(error);
}

constexpr std::string_view kTemporaryMark = ".qlxsave-";

// "<name>.qlxsave-<digits>-<digits>": a temporary file of a save of <name>, or of any file when
// name is empty.
bool isTemporaryOf(const std::string& entry, const std::string& name) {
    size_t at = name.empty() ? entry.rfind(kTemporaryMark) : name.size();
    if (at == std::string::npos || at == 0 || entry.size() <= at + kTemporaryMark.size() ||
        entry.compare(0, name.size(), name) != 0 ||
        entry.compare(at, kTemporaryMark.size(), kTemporaryMark) != 0) {
        return false;
    }
    std::string_view rest = std::string_view(entry).substr(at + kTemporaryMark.size());
    size_t dash = rest.find('-');
    auto digits = [](std::string_view t) {
        return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return dash != std::string_view::npos && digits(rest.substr(0, dash)) &&
           digits(rest.substr(dash + 1));
}

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// A save holds a lock on its temporary file until the rename, so a temporary file nobody holds
// was left by a save that was killed. Links named like one are left alone.
void removeStaleTemporaries(const fs::path& folder, const std::string& name) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().native();
        if (!isTemporaryOf(entry, name)) continue;
        fs::path p = folder / entry;
        int fd = ::open(p.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {
        }, named{};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
            S_ISREG(held.st_mode) && ::lstat(p.c_str(), &named) == 0 && sameFile(held, named)) {
            ::unlink(p.c_str());
        }
        ::close(fd);
    }
}

// getrandom rather than a std::random_device per save: setting one up cost a tenth of the
// processor time of a fleet run that writes thousands of device files.
uint32_t randomNumber() {
    uint32_t v = 0;
    if (::getrandom(&v, sizeof v, GRND_NONBLOCK) != sizeof v)
        v = static_cast<uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return v;
}

void learn(SaveBatch::Known& known) {
    if (known.pid != 0) return;
    known.pid = ::getpid();
    known.euid = ::geteuid();
    known.next = randomNumber();
}

// A new, empty temporary file beside target, locked for as long as it is open, and what fstat
// says of it; -1 when the folder takes none. A batch numbers its names on from one random start.
int createTemporary(const fs::path& target, fs::path& tmp, mode_t mode, SaveBatch::Known* known,
                    struct stat& held) {
    if (known) learn(*known);
    for (int attempt = 0; attempt < 8; ++attempt) {
        tmp = target;
        tmp += std::string(kTemporaryMark) + std::to_string(known ? known->pid : ::getpid()) + "-" +
               std::to_string((known ? known->next++ : randomNumber()) % 1000000);
        int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return -1;
        }
        // Another save's clean-up may have taken the new file for a stale one before the lock:
        // it then has no name left. One renamed away keeps its one name, and the look at the
        // name just before the rename finds it gone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 && held.st_nlink == 1) {
            return fd;
        }
        ::close(fd);
    }
    return -1;
}

// Gives the temporary file (held: its fstat) the mode, owner and group of the file it replaces;
// false when the owner or group cannot be kept (the replacement would then belong to someone
// else).
bool takeOver(int fd, const struct stat& old, const struct stat& held) {
    if ((held.st_mode & 07777) == (old.st_mode & 07777) && held.st_uid == old.st_uid &&
        held.st_gid == old.st_gid)
        return true;
    if (::fchmod(fd, old.st_mode & 07777) != 0) return false;
    struct stat now {};
    if (::fstat(fd, &now) != 0) return false;
    if (now.st_uid == old.st_uid && now.st_gid == old.st_gid) return true;
    // Changing the owner may clear set-id bits: set the mode once more afterwards.
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 && ::fchmod(fd, old.st_mode & 07777) == 0;
}

}  // namespace

void sweepStaleTemporaries(const fs::path& folder) {
    removeStaleTemporaries(folder, {});
}

namespace {

// Whether the name still stands for the open file: a name in a folder others may write can be
// swapped for a link or another file at any moment, and the rename that ends a save moves
// whatever the name holds by then.
bool stillNames(int fd, const fs::path& name) {
    struct stat held {
    }, named{};
    return ::fstat(fd, &held) == 0 && ::lstat(name.c_str(), &named) == 0 &&
           S_ISREG(named.st_mode) && sameFile(held, named);
}

// The batch's spare for a save into folder, and what fstat says of it; -1 when it has none
// there, or when it is no plain file of this user's with exactly one name, since the save writes
// into it. One without a name (a sweep or someone else removed it) is let go; one that is unfit
// is let go under its name when that still stands for it (its other names keep it). Whether
// the name still stands for a fit spare is looked at once, just before the exchange: one whose
// name was taken is then left to whoever took it, and the save goes on with a new temporary
// file. It still holds the bytes of the file it replaced: the save writes over them and cuts it
// to its own length, since emptying a file first makes some file systems write it out at once
// when it is closed.
int takeSpare(SaveBatch::Spare& spare, const SaveBatch::Known& known, const fs::path& folder,
              fs::path& name, struct stat& held) {
    if (spare.fd < 0 || spare.name.parent_path() != folder) return -1;
    const int fd = std::exchange(spare.fd, -1);
    name = std::move(spare.name);
    if (::fstat(fd, &held) != 0 || held.st_nlink == 0) {
        ::close(fd);
        return -1;
    }
    if (S_ISREG(held.st_mode) && held.st_nlink == 1 && static_cast<long>(held.st_uid) == known.euid)
        return fd;
    struct stat named {};
    if (::lstat(name.c_str(), &named) == 0 && sameFile(held, named)) ::unlink(name.c_str());
    ::close(fd);
    return -1;
}

// After an exchange the spare's name holds the replaced file, kept open and locked (so that no
// sweep takes it for a killed save's) for the next save, which looks at it before it writes
// into it; one that cannot be held is let go under that name.
void keepSpare(SaveBatch::Spare& spare, const fs::path& name) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        spare.fd = fd;
        spare.name = name;
        return;
    }
    ::unlink(name.c_str());
    if (fd >= 0) ::close(fd);
}

// The spare's name goes only while it still stands for the spare.
void dropSpare(SaveBatch::Spare& spare) {
    if (spare.fd < 0) return;
    if (stillNames(spare.fd, spare.name)) ::unlink(spare.name.c_str());
    ::close(spare.fd);
    spare.fd = -1;
}

// The outcome of one try of a save: done (or failed for good); its temporary file's name (or the
// spare's) was taken from it before the rename and the save is tried once more with a new one;
// or it failed while it trusted what it had learnt before, and is tried once more looking at
// everything.
enum class Try { Done, NameTaken, SpareTaken, Unsure };

// Whether the user may make files in folder; false sets errno. A batch looks at the folder at
// every save, which a folder turned read-only or swapped for another during a run must fail,
// but asks whether the user may write it only when the look finds a change; one that looks when
// asked trusts a look that found the folder writable until it is asked again.
bool folderTakesFiles(const fs::path& folder, SaveBatch::Known* known) {
    if (known && known->trusted && known->folder == folder) return true;
    struct stat dir {};
    if (::stat(folder.c_str(), &dir) != 0) return false;
    auto same = [&dir](const SaveBatch::Known& k) {
        return k.dev == dir.st_dev && k.ino == dir.st_ino && k.mode == dir.st_mode &&
               k.uid == dir.st_uid && k.gid == dir.st_gid;
    };
    if (known && known->folder == folder && same(*known)) {
        known->trusted = known->lookWhenAsked && known->writable;
        errno = known->error;
        return known->writable;
    }
    const bool writable = userMayWrite(folder, dir);
    if (known) {
        known->folder = folder;
        known->dev = dir.st_dev;
        known->ino = dir.st_ino;
        known->mode = dir.st_mode;
        known->uid = dir.st_uid;
        known->gid = dir.st_gid;
        known->writable = writable;
        known->error = writable ? 0 : errno;
        known->trusted = known->lookWhenAsked && writable;
    }
    return writable;
}

// Whether the user may write the file that stands at a name. A batch that is not careful takes
// the mode bits' word for a file of its own user's, or any for a privileged process: where the
// system still refuses (a read-only mount, an unchangeable file), the exchange or rename fails
// and the careful try asks.
bool mayReplace(const fs::path& target, const struct stat& old, SaveBatch::Known* known,
                bool careful) {
    if (!careful && known && (old.st_mode & 0222) != 0) {
        learn(*known);
        if (known->euid == 0 ||
            (static_cast<long>(old.st_uid) == known->euid && (old.st_mode & S_IWUSR) != 0))
            return true;
    }
    return userMayWrite(target, old);
}

// A batch's new file: made without a name in folder, written, and linked at target, which fails
// when anything stands there by then (the save is then tried again carefully, the usual way).
// Where the file system or the system makes or links no file without a name, the batch stops
// trying and the save goes on the usual way. Nothing of a failed try stays behind.
Try saveUnnamed(const fs::path& folder, const fs::path& target, std::string_view bytes, mode_t mode,
                SaveBatch::Known& known, bool& ok) {
    ok = false;
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) known.unnamed = false;
        return Try::Unsure;
    }
    const bool written = WriteAll(fd, bytes);
    int error = errno;
    // Linking by the descriptor's name in /proc needs no privilege, unlike AT_EMPTY_PATH.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    const bool linked = written && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, target.c_str(),
                                            AT_SYMLINK_FOLLOW) == 0;
    if (written && !linked) {
        error = errno;
        if (error != EEXIST && error != EACCES && error != EPERM && error != EROFS)
            known.unnamed = false;
    }
    // A file whose close fails may not hold its bytes: the careful try writes it again.
    if (::close(fd) != 0 || !linked) {
        if (!linked) errno = error;
        return Try::Unsure;
    }
    ok = true;
    return Try::Done;
}

// spare and known: null for a save on its own, which scans for leftovers and fsyncs. A try that
// is not careful trusts what the batch learnt before and fails as Unsure. False sets errno.
Try trySave(const fs::path& path, std::string_view bytes, Links links, Access newFile,
            SaveBatch::Spare* spare, SaveBatch::Known* known, bool careful, bool& ok) {
    ok = false;
    if (path.empty()) {
        errno = ENOENT;
        return Try::Done;
    }
    fs::path target = path;
    struct stat atName {};
    const bool named = ::lstat(target.c_str(), &atName) == 0;
    bool link = named && S_ISLNK(atName.st_mode);
    std::error_code ec;
    if (link && links == Links::Follow) {
        // Write through a link to the file it names, as an in-place write would.
        fs::path resolved = fs::canonical(target, ec);
        if (!ec) target = resolved;
    } else if (!link && named && S_ISDIR(atName.st_mode)) {
        errno = EISDIR;
        return Try::Done;
    }
    // What stands at a name that is no link is what lstat saw there.
    struct stat old = atName;
    bool replacingLink = link && links == Links::Replace;
    bool exists = !replacingLink && named && (!link || ::stat(target.c_str(), &old) == 0);
    if (exists && !S_ISREG(old.st_mode)) {
        errno = EINVAL;
        return Try::Done;
    }
    if (exists && !mayReplace(target, old, known, careful)) return Try::Done;

    fs::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    if (careful && known) known->trusted = false;
    const bool folderWritable = folderTakesFiles(folder, known);
    const int folderError = folderWritable ? 0 : errno;
    if (folderWritable && !spare) removeStaleTemporaries(folder, target.filename().native());
    fs::path tmp;
    const mode_t mode = newFile == Access::OwnerOnly ? 0600 : 0666;
    if (folderWritable && !exists && spare && !careful && known->unnamed) {
        const Try unnamed = saveUnnamed(folder, target, bytes, mode, *known, ok);
        if (unnamed == Try::Done || known->unnamed) return unnamed;
    }
    struct stat held {};
    int fd = folderWritable && exists && spare ? takeSpare(*spare, *known, folder, tmp, held) : -1;
    const bool fromSpare = fd >= 0;
    if (fd < 0 && folderWritable) fd = createTemporary(target, tmp, mode, known, held);
    if (fd < 0) {
        if (!careful) return Try::Unsure;
        if (!folderWritable) errno = folderError;
        if (exists) ok = writeInPlace(target, bytes, links);
        return Try::Done;
    }
    if (exists && !takeOver(fd, old, held)) {
        ::unlink(tmp.c_str());
        ::close(fd);
        if (!careful) return Try::Unsure;
        ok = writeInPlace(target, bytes, links);
        return Try::Done;
    }
    // The lock on the temporary file is held until it has its final name. A spare no longer than
    // the new bytes (held: its fstat before the write) is covered by them whole; a longer one is
    // cut to their length.
    const bool covered = static_cast<unsigned long long>(held.st_size) <= bytes.size();
    ok = WriteAll(fd, bytes) &&
         (spare ? covered || ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0
                : ::fsync(fd) == 0);
    int error = ok ? 0 : errno;
    // A temporary name that stands for another file by now is left to whoever took it: renamed,
    // it would put their link or file at the target and lose these bytes.
    // What the name holds is compared with what fstat said of the open file before the write.
    struct stat atTmp {};
    if (ok &&
        !(::lstat(tmp.c_str(), &atTmp) == 0 && S_ISREG(atTmp.st_mode) && sameFile(held, atTmp))) {
        ::close(fd);
        ok = false;
        return fromSpare ? Try::SpareTaken : Try::NameTaken;
    }
    // An exchange leaves the replaced file at the temporary's name instead of deleting it.
    const bool exchanged =
        ok && exists && spare &&
        ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, target.c_str(), RENAME_EXCHANGE) == 0;
    if (ok && !exchanged && ::rename(tmp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) ::unlink(tmp.c_str());
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (exchanged) keepSpare(*spare, tmp);
    if (!ok) errno = error;
    return ok || careful ? Try::Done : Try::Unsure;
}

bool saveAtomic(const fs::path& path, std::string_view bytes, Links links, Access newFile,
                SaveBatch::Spare* spare, SaveBatch::Known* known) {
    bool ok = false;
    // A save on its own trusts nothing it learnt before; a batch's is careful only on its
    // second try. A name taken twice fails the save; the spare's, once let go, is not tried again.
    bool careful = known == nullptr;
    for (int taken = 0;;) {
        switch (trySave(path, bytes, links, newFile, spare, known, careful, ok)) {
            case Try::Done:
                return ok;
            case Try::Unsure:
                careful = true;
                break;
            case Try::NameTaken:
                if (++taken == 2) return failWith(EEXIST);
                break;
            case Try::SpareTaken:
                break;
        }
    }
}

}  // namespace

bool writeFileAtomicNative(const fs::path& path, std::string_view bytes, Links links,
                           Access newFile) {
    return saveAtomic(path, bytes, links, newFile, nullptr, nullptr);
}

SaveBatch::~SaveBatch() {
    dropSpare(m_spare);
}

SaveBatch::SaveBatch(Looks looks) {
    m_known.lookWhenAsked = looks == Looks::WhenAsked;
}

void SaveBatch::lookAgain() {
    m_known.trusted = false;
}

bool SaveBatch::write(const fs::path& path, std::string_view bytes, Links links, Access newFile) {
    return saveAtomic(path, bytes, links, newFile, &m_spare, &m_known);
}

bool SaveBatch::finish(const fs::path& folder) {
    dropSpare(m_spare);
    return syncFolder(folder);
}

bool WriteAll(int fd, std::string_view bytes) {
    const char* p = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

}  // namespace platform
