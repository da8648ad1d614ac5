#include "history/history_store.h"

#include <fcntl.h>
#include <git2.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "history/object_stage.h"
#include "history/pack_merge.h"

namespace history {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBranch = "refs/heads/main";
// " yy/mm/dd hh:mm:ss" at the end of a dump's first line.
constexpr size_t kStampBytes = 18;
// A lost race is retried this often, a little longer each time: another run's commit takes
// milliseconds, so a branch locked for longer than the stale age was left by a killed process.
constexpr int kCommitAttempts = 50;
constexpr auto kRetryStep = std::chrono::milliseconds(20);
constexpr auto kStaleLockAge = std::chrono::seconds(60);
// The encoding the messages are written in: device names are code page 932, as everywhere.
constexpr const char* kMessageEncoding = "CP932";

template <typename T, void (*Free)(T*)>
struct Owned {
    T* p = nullptr;
    Owned() = default;
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (p) Free(p);
    }
    T** out() { return &p; }
    T* get() const { return p; }
};
using Repo = Owned<git_repository, git_repository_free>;
using Tree = Owned<git_tree, git_tree_free>;
using Commit = Owned<git_commit, git_commit_free>;
using Blob = Owned<git_blob, git_blob_free>;
using Builder = Owned<git_treebuilder, git_treebuilder_free>;
using Ref = Owned<git_reference, git_reference_free>;
using Walk = Owned<git_revwalk, git_revwalk_free>;
using Signature = Owned<git_signature, git_signature_free>;
using Odb = Owned<git_odb, git_odb_free>;

std::string lastError(const char* what) {
    const git_error* e = git_error_last();
    return std::string(what) + ": " + (e && e->message ? e->message : "unknown error");
}

bool isDigitAt(std::string_view s, size_t i) {
    return s[i] >= '0' && s[i] <= '9';
}

// " dd/dd/dd dd:dd:dd"
bool isStamp(std::string_view s) {
    if (s.size() != kStampBytes || s[0] != ' ' || s[9] != ' ') return false;
    for (size_t i : {3u, 6u})
        if (s[i] != '/') return false;
    for (size_t i : {12u, 15u})
        if (s[i] != ':') return false;
    for (size_t i : {1u, 2u, 4u, 5u, 7u, 8u, 10u, 11u, 13u, 14u, 16u, 17u})
        if (!isDigitAt(s, i)) return false;
    return true;
}

std::string blobText(git_repository* repo, const git_oid* id) {
    Blob blob;
    if (git_blob_lookup(blob.out(), repo, id) != 0) return {};
    return std::string(static_cast<const char*>(git_blob_rawcontent(blob.get())),
                       static_cast<size_t>(git_blob_rawsize(blob.get())));
}

CommitInfo infoOf(const git_commit* c) {
    CommitInfo info;
    char hex[GIT_OID_HEXSZ + 1] = {};
    git_oid_tostr(hex, sizeof hex, git_commit_id(c));
    info.id = hex;
    info.time = git_commit_time(c);
    info.utcOffsetMinutes = git_commit_time_offset(c);
    if (const git_signature* a = git_commit_author(c)) info.author = a->name ? a->name : "";
    info.message = git_commit_message(c) ? git_commit_message(c) : "";
    return info;
}

bool syncRepository(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
}

// A lock on the branch that no commit in progress can still hold: a process killed while it
// moved the branch left it, and it would refuse every later run.
void removeStaleLock(const fs::path& repoPath) {
    const fs::path lock = repoPath / (std::string(kBranch) + ".lock");
    std::error_code ec;
    const auto written = fs::last_write_time(lock, ec);
    if (ec) return;
    if (fs::file_time_type::clock::now() - written > kStaleLockAge) fs::remove(lock, ec);
}

}  // namespace

fs::path HistoryPath(const fs::path& workFolder) {
    return workFolder / "history.git";
}

std::string StoredDump(std::string_view dump) {
    size_t end = dump.find('\n');
    if (end == std::string_view::npos) end = dump.size();
    size_t line = end;
    while (line > 0 && dump[line - 1] == '\r') --line;
    if (line < kStampBytes || !isStamp(dump.substr(line - kStampBytes, kStampBytes)))
        return std::string(dump);
    std::string out(dump.substr(0, line - kStampBytes));
    out.append(dump.substr(line));
    return out;
}

std::string_view DumpBody(std::string_view stored) {
    const size_t end = stored.find('\n');
    return end == std::string_view::npos ? std::string_view() : stored.substr(end + 1);
}

std::string OperatorName() {
    // getpwuid_r: another thread of the program may look an account up at the same time.
    struct passwd pw {};
    struct passwd* found = nullptr;
    char buf[4096];
    if (::getpwuid_r(::getuid(), &pw, buf, sizeof buf, &found) == 0 && found && pw.pw_name &&
        *pw.pw_name)
        return pw.pw_name;
    if (const char* user = std::getenv("USER"); user && *user) return user;
    return "qlx-setting";
}

struct Store::Impl {
    fs::path path;
    git_repository* repo = nullptr;
    // The head's tree as writeBlob first found it. An older head serves as well as the newest:
    // what it names stays reachable, and was synced before any branch named it.
    bool headRead = false;
    git_tree* known = nullptr;
    // New dumps not yet in the object database.
    ObjectStage stage;
    ~Impl() {
        if (known) git_tree_free(known);
        if (repo) git_repository_free(repo);
        git_libgit2_shutdown();
    }

    // The branch's head; nullopt for a branch without a commit. False: it cannot be read.
    bool head(std::optional<git_oid>& id) const {
        git_oid oid;
        const int rc = git_reference_name_to_id(&oid, repo, kBranch);
        if (rc == GIT_ENOTFOUND) {
            id.reset();
            return true;
        }
        if (rc != 0) return false;
        id = oid;
        return true;
    }

    // The branch's commits from its head back along first parents, newest first. False: no
    // head, or the walk cannot be made.
    bool walkFromHead(Walk& walk) const {
        std::optional<git_oid> headId;
        if (!head(headId) || !headId || git_revwalk_new(walk.out(), repo) != 0) return false;
        git_revwalk_sorting(walk.get(), GIT_SORT_TOPOLOGICAL | GIT_SORT_TIME);
        git_revwalk_simplify_first_parent(walk.get());
        return git_revwalk_push(walk.get(), &*headId) == 0;
    }

    bool treeOf(const git_oid& commitId, Tree& tree) const {
        Commit c;
        return git_commit_lookup(c.out(), repo, &commitId) == 0 &&
               git_commit_tree(tree.out(), c.get()) == 0;
    }

    std::optional<std::string> fileIn(const git_tree* tree, const std::string& file) const {
        const git_tree_entry* e = tree ? git_tree_entry_byname(tree, file.c_str()) : nullptr;
        if (!e) return std::nullopt;
        return blobText(repo, git_tree_entry_id(e));
    }

    // After packs it may have read from were merged and removed.
    void reopen() {
        git_repository* fresh = nullptr;
        if (git_repository_open_bare(&fresh, path.c_str()) != 0) return;
        if (known) git_tree_free(known);
        known = nullptr;
        headRead = false;
        git_repository_free(repo);
        repo = fresh;
    }

    // The head's tree, read once; null when the branch has none (or it cannot be read: then
    // every dump is written, as into a new repository).
    const git_tree* knownTree() {
        if (!headRead) {
            headRead = true;
            std::optional<git_oid> headId;
            Tree tree;
            if (head(headId) && headId && treeOf(*headId, tree)) std::swap(known, tree.p);
        }
        return known;
    }
};

Store::Store(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
Store::~Store() = default;

std::unique_ptr<Store> Store::open(const fs::path& path, bool create, std::string& error) {
    git_libgit2_init();
    auto impl = std::make_unique<Impl>();  // shuts libgit2 down again when it goes
    impl->path = path;
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (!create) {
            error = "no history at " + path.string();
            return nullptr;
        }
        git_repository_init_options o = GIT_REPOSITORY_INIT_OPTIONS_INIT;
        o.flags = GIT_REPOSITORY_INIT_BARE | GIT_REPOSITORY_INIT_MKPATH;
        o.initial_head = "main";
        // Another run may make it at the same moment: then it is there to be opened.
        if (git_repository_init_ext(&impl->repo, path.c_str(), &o) == 0)
            return std::unique_ptr<Store>(new Store(std::move(impl)));
    }
    if (git_repository_open_bare(&impl->repo, path.c_str()) != 0) {
        error = lastError(path.c_str());
        return nullptr;
    }
    return std::unique_ptr<Store>(new Store(std::move(impl)));
}

CommitResult Store::commit(const std::vector<FileVersion>& before,
                           const std::vector<FileVersion>& after, const Message& message,
                           const std::string& user) {
    git_repository* repo = m_impl->repo;
    CommitResult result;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
    Signature sig;
    if (git_signature_now(sig.out(), user.c_str(),
                          (user + "@" + (*host ? host : "localhost")).c_str()) != 0)
        return {false, 0, {}, lastError("signature")};

    // The names of the dumps the run ends with, hashed once whatever the attempts.
    std::vector<git_oid> afterIds(after.size());
    for (size_t i = 0; i < after.size(); ++i) {
        if (after[i].blob)
            git_oid_fromraw(&afterIds[i], after[i].blob->bytes);
        else if (git_odb_hash(&afterIds[i], after[i].bytes.data(), after[i].bytes.size(),
                              GIT_OBJECT_BLOB) != 0)
            return {false, 0, {}, lastError("hash")};
    }

    for (int attempt = 0; attempt < kCommitAttempts; ++attempt) {
        result = {};
        std::optional<git_oid> headId;
        if (!m_impl->head(headId)) return {false, 0, {}, lastError("head")};
        Tree headTree;
        if (headId && !m_impl->treeOf(*headId, headTree)) return {false, 0, {}, lastError("tree")};

        std::optional<git_oid> parent = headId;
        const git_tree* base = headTree.get();
        Tree stepTree;
        // One step: the files that differ from base into a commit on parent. Their contents go
        // into the object database first (as one pack when there are many), since a tree names
        // only objects the database holds.
        std::string stageError;
        auto step = [&](const std::vector<FileVersion>& files, bool beforeStep) -> bool {
            Builder b;
            if (git_treebuilder_new(b.out(), repo, base) != 0) return false;
            std::vector<std::pair<const FileVersion*, git_oid>> changed;
            for (size_t i = 0; i < files.size(); ++i) {
                const FileVersion& f = files[i];
                const git_tree_entry* e = git_treebuilder_get(b.get(), f.file.c_str());
                git_oid id;
                if (beforeStep) {
                    if (e && DumpBody(blobText(repo, git_tree_entry_id(e))) == DumpBody(f.bytes))
                        continue;
                    if (!m_impl->stage.add(f.bytes, id)) return false;
                } else {
                    id = afterIds[i];
                    if (e && git_oid_equal(&id, git_tree_entry_id(e))) continue;
                    if (!f.blob) m_impl->stage.hold(id, f.bytes);
                }
                changed.emplace_back(&f, id);
            }
            if (changed.empty()) return true;
            if (!m_impl->stage.empty() && !m_impl->stage.write(repo, stageError)) return false;
            std::vector<std::string> labels;
            for (const auto& [f, id] : changed) {
                if (git_treebuilder_insert(nullptr, b.get(), f->file.c_str(), &id,
                                           GIT_FILEMODE_BLOB) != 0)
                    return false;
                labels.push_back(f->label);
            }
            if (labels.empty()) return true;
            git_oid treeId, commitId;
            Tree tree;
            Commit parentCommit;
            if (git_treebuilder_write(&treeId, b.get()) != 0 ||
                git_tree_lookup(tree.out(), repo, &treeId) != 0)
                return false;
            if (parent && git_commit_lookup(parentCommit.out(), repo, &*parent) != 0) return false;
            const git_commit* parents[] = {parentCommit.get()};
            const std::string text = message(beforeStep, labels);
            if (git_commit_create(&commitId, repo, nullptr, sig.get(), sig.get(), kMessageEncoding,
                                  text.c_str(), tree.get(), parent ? 1 : 0, parents) != 0)
                return false;
            parent = commitId;
            ++result.commits;
            for (auto& l : labels) result.labels.push_back(std::move(l));
            stepTree.p = tree.p;
            tree.p = nullptr;
            base = stepTree.get();
            return true;
        };
        auto failed = [&stageError] {
            return CommitResult{
                false, 0, {}, stageError.empty() ? lastError("commit") : stageError};
        };
        // What the run's commit will name is held with the dumps before the send, so that both
        // go into one pack: whatever the head already holds is on disk.
        for (size_t i = 0; i < after.size(); ++i) {
            const git_tree_entry* e =
                base ? git_tree_entry_byname(base, after[i].file.c_str()) : nullptr;
            if (!after[i].blob && !(e && git_oid_equal(&afterIds[i], git_tree_entry_id(e))))
                m_impl->stage.hold(afterIds[i], after[i].bytes);
        }
        if (!step(before, true)) return failed();
        Tree keep;  // the first step's tree, while the second builds on it
        std::swap(keep.p, stepTree.p);
        if (!step(after, false)) return failed();
        if (result.commits == 0) return result;

        // Everything the new head names is on disk before the branch names it.
        if (!syncRepository(m_impl->path))
            return {false, 0, {}, "cannot sync " + m_impl->path.string()};
        if (beforeBranchMove) beforeBranchMove();
        Ref moved;
        const int rc =
            headId ? git_reference_create_matching(moved.out(), repo, kBranch, &*parent, 1,
                                                   &*headId, "qlx-setting")
                   : git_reference_create(moved.out(), repo, kBranch, &*parent, 0, "qlx-setting");
        if (rc == 0) {
            if (MergePacks(m_impl->path)) m_impl->reopen();
            return result;
        }
        if (rc != GIT_EMODIFIED && rc != GIT_ELOCKED && rc != GIT_EEXISTS)
            return {false, 0, {}, lastError("branch")};
        // Another run moved or holds the branch: build the commits again on its head.
        if (rc == GIT_ELOCKED) removeStaleLock(m_impl->path);
        std::this_thread::sleep_for(kRetryStep * (1 + attempt % 5));
    }
    return {false, 0, {}, "the branch stayed locked by another run"};
}

bool Store::writeBlob(const std::string& file, const std::string& bytes, BlobId& id) {
    Impl& impl = *m_impl;
    // A file the head holds costs a hash to compare; a new one is held for the commit.
    const git_tree* known = impl.knownTree();
    const git_tree_entry* e = known ? git_tree_entry_byname(known, file.c_str()) : nullptr;
    git_oid oid;
    if (e && git_odb_hash(&oid, bytes.data(), bytes.size(), GIT_OBJECT_BLOB) != 0) return false;
    if (!e || !git_oid_equal(&oid, git_tree_entry_id(e))) {
        std::string error;
        if (!impl.stage.add(bytes, oid) ||
            (impl.stage.full() && !impl.stage.write(impl.repo, error)))
            return false;
    }
    std::memcpy(id.bytes, oid.id, sizeof id.bytes);
    return true;
}

std::optional<std::string> Store::known(const std::string& file) {
    return m_impl->fileIn(m_impl->knownTree(), file);
}

std::optional<std::string> Store::latest(const std::string& file) const {
    std::optional<git_oid> headId;
    Tree tree;
    if (!m_impl->head(headId) || !headId || !m_impl->treeOf(*headId, tree)) return std::nullopt;
    return m_impl->fileIn(tree.get(), file);
}

std::vector<CommitInfo> Store::log() const {
    std::vector<CommitInfo> out;
    Walk walk;
    if (!m_impl->walkFromHead(walk)) return out;
    git_oid id;
    while (git_revwalk_next(&id, walk.get()) == 0) {
        Commit c;
        if (git_commit_lookup(c.out(), m_impl->repo, &id) != 0) break;
        out.push_back(infoOf(c.get()));
    }
    return out;
}

std::optional<std::string> Store::at(const std::string& file, int64_t time) const {
    Walk walk;
    if (!m_impl->walkFromHead(walk)) return std::nullopt;
    git_oid id;
    while (git_revwalk_next(&id, walk.get()) == 0) {
        Commit c;
        Tree tree;
        if (git_commit_lookup(c.out(), m_impl->repo, &id) != 0) return std::nullopt;
        if (git_commit_time(c.get()) > time) continue;
        if (git_commit_tree(tree.out(), c.get()) != 0) return std::nullopt;
        return m_impl->fileIn(tree.get(), file);
    }
    return std::nullopt;
}

std::vector<std::vector<Revision>> Store::revisions(const std::vector<std::string>& files,
                                                    int64_t since) const {
    std::vector<std::vector<Revision>> out(files.size());
    git_repository* repo = m_impl->repo;
    Walk walk;
    if (!m_impl->walkFromHead(walk)) return out;
    git_oid id;
    while (git_revwalk_next(&id, walk.get()) == 0) {
        Commit c, parent;
        Tree tree, parentTree;
        if (git_commit_lookup(c.out(), repo, &id) != 0) break;
        if (git_commit_time(c.get()) < since) break;
        if (git_commit_tree(tree.out(), c.get()) != 0) break;
        if (git_commit_parentcount(c.get()) > 0 &&
            (git_commit_parent(parent.out(), c.get(), 0) != 0 ||
             git_commit_tree(parentTree.out(), parent.get()) != 0))
            break;
        std::optional<CommitInfo> info;
        for (size_t i = 0; i < files.size(); ++i) {
            const char* name = files[i].c_str();
            const git_tree_entry* now = git_tree_entry_byname(tree.get(), name);
            if (!now) continue;
            const git_tree_entry* was =
                parentTree.get() ? git_tree_entry_byname(parentTree.get(), name) : nullptr;
            if (was && git_oid_equal(git_tree_entry_id(was), git_tree_entry_id(now))) continue;
            if (!info) info = infoOf(c.get());
            Revision r{*info, std::nullopt, blobText(repo, git_tree_entry_id(now))};
            if (was) r.before = blobText(repo, git_tree_entry_id(was));
            out[i].push_back(std::move(r));
        }
    }
    return out;
}

}  // namespace history
