// Whole-file reads and writes. Paths are code page 932 bytes as the program holds them; they are
// converted to the file system's names here. Writes replace the file atomically (a temporary
// file beside it, then a rename), so a crash or a full disk never leaves half a file. Where the
// folder allows no new file but the file itself is writable, it is rewritten in place, with the
// room for the new text reserved first, so a full disk leaves the old file as it was; a file
// the user may not write is never replaced. The temporary files are named "<name>.qlxsave-*";
// one left behind by a killed save is removed at the next save of the same file.
//
// The program's own files (the settings file, the work folder) are named by the file system,
// not by the operator: they are held as native paths and never pass through code page 932,
// which cannot hold every name (the *Native functions).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool fileExists(std::string_view path);  // a regular file (or a link to one)
bool directoryExists(std::string_view path);
// Who may read a file or folder the program makes. Files holding the devices' logins (the list
// file and its copies) and the program's settings are the user's alone; an existing file keeps
// its mode whatever is asked here.
enum class Access {
    Shared,     // as the umask leaves it
    OwnerOnly,  // files 0600, folders 0700
};
// Creates the folder with every missing parent; true when it exists afterwards.
bool createDirectories(std::string_view path);
// The whole file, or nullopt when it cannot be read (missing, a folder, no permission).
std::optional<std::string> readFile(std::string_view path);
// What a save does with a symbolic link standing at the file's name.
enum class Links {
    // The file the link names is written (the list and settings files, which the operator may
    // keep elsewhere on purpose).
    Follow,
    // The link itself is replaced by the file and never written through: files whose names
    // come from device data, in a folder anyone may have planted a link in. Where no new file
    // can be made beside the link, the save fails.
    Replace,
};

// Replaces the file with bytes, keeping its mode and, where the process may set them, its
// owner and group; false when that failed or the user may not write the file (the old file is
// then untouched). Follows a link at the name.
bool writeFileAtomic(std::string_view path, std::string_view bytes,
                     Access newFile = Access::Shared);
// The running program's own file path.
std::string programPath();

bool fileExistsNative(const std::filesystem::path& path);
// Folders it makes get the access asked for; folders that exist are left as they are.
bool createDirectoriesNative(const std::filesystem::path& path, Access access = Access::Shared);
std::optional<std::string> readFileNative(const std::filesystem::path& path);
// Replaces the file with bytes through a temporary file beside it, first removing what killed
// saves of the same file left there, and makes the bytes durable (fsync) before the rename.
// False sets errno to why (here and in SaveBatch::write).
bool writeFileAtomicNative(const std::filesystem::path& path, std::string_view bytes,
                           Links links = Links::Replace, Access newFile = Access::Shared);

// Many saves into one folder, one after another on one thread: a fleet run's device files. The
// owner sweeps the folder (sweepStaleTemporaries) before the first and calls finish() after the
// last, so no save scans the folder or waits for its own fsync; thousands of device files would
// otherwise cost a scan of thousands and an fsync each. A file that exists is replaced by
// exchanging it with a spare file the batch keeps, which then holds the replaced bytes and takes
// the next save's: a run that rewrites thousands of files makes and deletes none. On a file
// system that skips recently deleted inodes when it makes a file, every new file of a run that
// follows another would scan past thousands of them. Each replacement stays atomic, and a spare
// a killed run left is a temporary file like any other, which the next sweep removes. A file that
// does not exist yet is made without a name, written and then linked at its name, which fails
// rather than replace anything that stands there by then: it needs no temporary name, no lock
// and no look at that name, and a killed run leaves nothing of it (where the file system makes
// no file without a name, a temporary file is renamed, as a save on its own does).
class SaveBatch {
public:
    struct Spare {
        int fd = -1;  // open and locked between saves
        std::filesystem::path name;
    };
    // What a batch learns once rather than at every save: the process's number and user, a
    // random start for the temporary files' names, and whether its folder takes new files, asked
    // again only when a look at the folder finds it another one or with another mode or owner.
    struct Known {
        std::filesystem::path folder;
        unsigned long long dev = 0, ino = 0, mode = 0, uid = 0, gid = 0;  // the folder's
        bool writable = false;
        int error = 0;               // why not
        bool lookWhenAsked = false;  // Looks::WhenAsked
        bool trusted = false;        // the last look stands until lookAgain()
        long pid = 0;                // 0: not learnt yet
        long euid = 0;
        uint32_t next = 0;
        bool unnamed = true;  // new files are made without a name and linked at theirs
    };
    // When a batch looks at its folder (one system call) to find it turned read-only or swapped:
    // before every save, or when its owner asks, at the start of each round of saves it was
    // handed, so that a save asked after the folder changed sees the change. Between looks the
    // system's own refusal of a create or an exchange sends the save back to look.
    enum class Looks { EverySave, WhenAsked };

    explicit SaveBatch(Looks looks = Looks::EverySave);
    ~SaveBatch();
    SaveBatch(const SaveBatch&) = delete;
    SaveBatch& operator=(const SaveBatch&) = delete;

    // As writeFileAtomicNative, without the scan and the fsync.
    bool write(const std::filesystem::path& path, std::string_view bytes,
               Links links = Links::Replace, Access newFile = Access::Shared);
    // With Looks::WhenAsked: the next save looks at its folder again.
    void lookAgain();
    // Removes the spare and makes every save into the folder's file system durable (syncfs);
    // false when the sync failed.
    bool finish(const std::filesystem::path& folder);

private:
    Spare m_spare;
    Known m_known;
};

// Opens (making it, 0600, when missing) a file that only serves to be locked, read and written
// by this user's programs: -1 when anything but a plain file stands at its name (a link, a
// FIFO, a device, a folder), which is never opened through, or when it cannot be opened.
int openLockFile(const std::filesystem::path& path);

// Removes from folder every temporary file that a killed save left, whatever file it was for.
void sweepStaleTemporaries(const std::filesystem::path& folder);
// Makes every save into the folder's file system durable (syncfs); false when it failed.
bool syncFolder(const std::filesystem::path& folder);
std::filesystem::path programPathNative();
// A file named in code page 932 (a bare name the program forms) inside a native folder.
std::filesystem::path nativeIn(const std::filesystem::path& folder, std::string_view cp932Name);
// Folder part with its trailing separator ("a/b/" for "a/b/c"), and the name after it; a
// backslash counts as a separator too, as do the lead-byte rules of code page 932.
std::string folderPart(std::string_view path);
std::string namePart(std::string_view path);
// Writes every byte to fd, again after an interrupted or partial write; false with errno set.
bool WriteAll(int fd, std::string_view bytes);

}  // namespace platform
