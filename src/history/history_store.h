// The settings history: a bare git repository with one file per device, each holding the device's
// variable dump as it sent it, and one commit per run that changed something. Written and read
// in-process through libgit2, so no git program is needed; `git log -p` reads it all the same.
//
// A commit is made safe against a kill the way git makes it: every object is written and synced
// first, the branch is moved last, so a repository is always whole, whatever moment the process
// ends. Two processes that commit at once both land: the branch is moved only from the head the
// commit was built on, and on a lost race the commit is built again on the new head.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace history {

// The repository of a work folder: "history.git" in it, beside the devices' files.
std::filesystem::path HistoryPath(const std::filesystem::path& workFolder);

// The dump as it is stored: the first line without the time it ends with, so that a device
// that did not change gives the same bytes.
std::string StoredDump(std::string_view dump);

// The dump without its first line: what the device holds, whoever and whenever it was read.
std::string_view DumpBody(std::string_view stored);

// An object's name in the repository (its 20-byte SHA-1).
struct BlobId {
    unsigned char bytes[20] = {};
};

struct FileVersion {
    std::string file;   // the name in the repository
    std::string bytes;  // as StoredDump keeps it; unused when blob is set
    std::string label;  // what a commit message calls the device
    // The content written already (Store::writeBlob), so that a run holds no dump until its
    // commit.
    std::optional<BlobId> blob{};
};

struct CommitInfo {
    std::string id;    // the commit's hexadecimal name
    int64_t time = 0;  // seconds since 1970, UTC
    int utcOffsetMinutes = 0;
    std::string author;
    std::string message;
};

// One run's change to a device's file, oldest first or newest first as asked.
struct Revision {
    CommitInfo commit;
    std::optional<std::string> before;  // none: the device's first dump
    std::string after;
};

struct CommitResult {
    bool ok = true;
    int commits = 0;                  // 0: nothing changed
    std::vector<std::string> labels;  // the devices whose file changed, in the order given
    std::string error;                // !ok: why, in English
};

class Store {
public:
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // The repository at path; made (bare, branch "main") when create is set and it is not
    // there. Null with error (English) when it cannot be opened or made.
    static std::unique_ptr<Store> open(const std::filesystem::path& path, bool create,
                                       std::string& error);

    // Records a run. `before`: the dumps a send took before its settings; each one goes in only
    // when its body differs from what the head holds for the device (it changed outside the
    // program, or it is the device's first dump), in a commit of its own first. `after`: the
    // dumps the run ends with, in the run's commit. message gets the labels of the devices that
    // changed in each commit (before: true for the first). The author is `user`.
    using Message = std::function<std::string(bool before, const std::vector<std::string>& labels)>;
    CommitResult commit(const std::vector<FileVersion>& before,
                        const std::vector<FileVersion>& after, const Message& message,
                        const std::string& user);

    // Names a file's content as an object for a later commit of this store, which writes it;
    // false when it cannot. Content the head held for the file when the store first looked
    // names the object already there: most of a run's devices are as they were. New content is
    // held until the commit (or until what is held grows past a bound) and then written at
    // once, as one pack when there is much of it.
    bool writeBlob(const std::string& file, const std::string& bytes, BlobId& id);
    // The file's content in the head as the store first read it (the tree writeBlob compares
    // with), read once per store; nullopt when it held none.
    std::optional<std::string> known(const std::string& file);

    // The file's content at the head; nullopt when it holds none.
    std::optional<std::string> latest(const std::string& file) const;
    // The file's content as of `time` (seconds since 1970): the last commit made by then.
    std::optional<std::string> at(const std::string& file, int64_t time) const;
    // For each file, the commits that changed it (newest first), made at `since` or later.
    std::vector<std::vector<Revision>> revisions(const std::vector<std::string>& files,
                                                 int64_t since) const;
    // Commits on the branch, newest first.
    std::vector<CommitInfo> log() const;

    // Test seam: runs after the objects of a commit are written, before the branch moves.
    std::function<void()> beforeBranchMove;

private:
    struct Impl;
    explicit Store(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

// The operator: the account's name (the password database), else $USER, else "qlx-setting".
std::string OperatorName();

}  // namespace history
