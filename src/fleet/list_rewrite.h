// The one way anything rewrites the list file: take the lock beside it (ListLock), look at the
// file as it is now, let the caller's merge make the bytes to write from it, keep aside what the
// caller must not lose, write the file atomically (fsynced) and look at it again, all while the
// lock is held. A result write, the window's save and a search's --apply differ only in their
// merge, so no writer can skip the lock, write over a file it could not read, or drop the bytes
// a load left out.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_stamp.h"

namespace fleet {

// Holds an exclusive flock on the list's lock file for its lifetime: every writer of the list
// takes it for its short read-modify-write. The lock belongs to the file, not to the name it was
// reached by: it is "<list>.lock" beside the list with every link resolved, so a list reached
// through a symbolic link or a relative path has the one lock. The lock file never follows a
// link planted at its name and is the user's alone. It is left in place: removing it would let
// two writers lock two different files.
class ListLock {
public:
    explicit ListLock(const std::string& listPath);
    ~ListLock();
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    bool held() const { return m_fd >= 0; }
    const std::filesystem::path& path() const { return m_path; }

private:
    int m_fd = -1;
    std::filesystem::path m_path;
};

// The lock file of the list at listPath (see ListLock).
std::filesystem::path LockPathOf(const std::string& listPath);

// How many names (hard links) the list file at listPath has; 0 when it cannot be looked at. A
// list with more than one is not shared safely: a write replaces the file under one name only,
// and each name has a lock of its own, so the writers would part without a word.
unsigned long ListNameCount(const std::string& listPath);
// What the window tells the operator of such a list before its first write over it.
std::string SecondNameText(const std::string& listPath);

// The list file as a merge finds it, under the lock.
struct ListNow {
    platform::FileStamp stamp;  // taken before the read: a write after it is seen as a change
    // The file's bytes; nullopt when nothing stands at the path, or when the caller's copy is
    // still the file (unchanged is then true) and it was not read again.
    std::optional<std::string> bytes;
    bool unchanged = false;
};

// What a merge makes of the file.
struct ListChange {
    std::optional<std::string> bytes;  // what to write; nullopt: nothing
    // Bytes the file held that the write drops, each kept in a ".bak" copy beside the list
    // before it is replaced (devlist::KeepListBackup); the write does not happen without them.
    std::vector<std::string> keepAside;
};

struct ListRewrite {
    enum class Status {
        Written,
        NotWritten,    // the merge wrote nothing
        NoLock,        // the lock could not be taken (only when it is required)
        Unreadable,    // something stands at the path that could not be read: never written
        BackupFailed,  // failed names the copy that could not be made
        WriteFailed,
    };
    Status status = Status::NotWritten;
    std::string failed;          // the path that could not be locked or written, code page 932
    platform::FileStamp before;  // the file as the merge found it
    platform::FileStamp after;   // as the lock is released
    bool keptAside = false;      // keepAside is in its copies
    std::vector<std::string> keptNames;  // the copies' names
};

enum class LockRule {
    Required,    // no lock, no write
    BestEffort,  // a folder that takes no lock file still gets its list written
};

using ListMerge = std::function<ListChange(const ListNow&)>;

// The locked rewrite of the list at path. With `known`, a file whose stamp under the lock is
// still `known` is not read again (ListNow::unchanged): the caller holds its bytes.
ListRewrite RewriteList(const std::string& path, LockRule rule, const ListMerge& merge,
                        const std::optional<platform::FileStamp>& known = std::nullopt);

}  // namespace fleet
