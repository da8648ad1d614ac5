#include "history/pack_merge.h"

#include <git2.h>
#include <git2/sys/odb_backend.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <unordered_set>
#include <vector>

#include "history/pack_writer.h"
#include "platform/files.h"

namespace history {
namespace {

namespace fs = std::filesystem;

struct Pack {
    fs::path index;
    git_odb_backend* backend = nullptr;
    std::vector<git_oid> ids;
};

int collect(const git_oid* id, void* payload) {
    static_cast<std::vector<git_oid>*>(payload)->push_back(*id);
    return 0;
}

// The packs that may be merged, each with the names of its objects; false when there are no
// more than most, or when one cannot be read (nothing is merged then).
bool listPacks(const fs::path& folder, std::vector<Pack>& packs, size_t most) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path p = it->path();
        if (p.extension() != ".idx" || p.filename().native().rfind("pack-", 0) != 0) continue;
        if (fs::exists(fs::path(p).replace_extension(".keep"), ec)) continue;
        packs.push_back({p, nullptr, {}});
    }
    if (ec || packs.size() <= most) return false;
    for (Pack& pack : packs)
        if (git_odb_backend_one_pack(&pack.backend, pack.index.c_str()) != 0 ||
            pack.backend->foreach (pack.backend, collect, &pack.ids) != 0)
            return false;
    return true;
}

bool merge(const fs::path& repoPath, std::vector<Pack>& packs, size_t most) {
    const fs::path folder = repoPath / "objects" / "pack";
    if (!listPacks(folder, packs, most)) return false;
    // Largest first; the packs from `first` on are merged, the ones before it each hold at least
    // twice as many objects as all the packs after them together: an object is rewritten a few
    // times in the repository's life, not at every merge.
    std::sort(packs.begin(), packs.end(),
              [](const Pack& a, const Pack& b) { return a.ids.size() > b.ids.size(); });
    std::vector<size_t> after(packs.size() + 1, 0);
    for (size_t i = packs.size(); i-- > 0;) after[i] = after[i + 1] + packs[i].ids.size();
    size_t first = 0;
    while (first + 2 < packs.size() && packs[first].ids.size() >= 2 * after[first + 1]) ++first;

    std::unordered_set<std::string> seen;
    std::vector<std::pair<Pack*, git_oid>> objects;
    for (size_t i = first; i < packs.size(); ++i)
        for (const git_oid& id : packs[i].ids)
            if (seen.insert(std::string(reinterpret_cast<const char*>(id.id), sizeof id.id)).second)
                objects.emplace_back(&packs[i], id);
    PackWriter writer(folder, static_cast<uint32_t>(objects.size()));
    for (const auto& [pack, id] : objects) {
        void* data = nullptr;
        size_t size = 0;
        git_object_t type = GIT_OBJECT_INVALID;
        if (pack->backend->read(&data, &size, &type, pack->backend, &id) != 0) return false;
        const bool added =
            writer.add(id.id, static_cast<int>(type), {static_cast<const char*>(data), size});
        git_odb_backend_data_free(pack->backend, data);
        if (!added) return false;
    }
    std::string error;
    if (!writer.finish(error) || !platform::syncFolder(repoPath)) return false;
    // The index goes first: without it no reader looks into the pack.
    for (size_t i = first; i < packs.size(); ++i) {
        ::unlink(packs[i].index.c_str());
        for (const char* extension : {".pack", ".rev", ".bitmap"})
            ::unlink(fs::path(packs[i].index).replace_extension(extension).c_str());
    }
    return true;
}

}  // namespace

bool MergePacks(const fs::path& repoPath, size_t most) {
    const int lock = platform::openLockFile(repoPath / "qlx-pack-merge.lock");
    if (lock < 0) return false;
    bool merged = false;
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
        std::vector<Pack> packs;
        merged = merge(repoPath, packs, most);
        for (Pack& pack : packs)
            if (pack.backend) pack.backend->free(pack.backend);
    }
    ::close(lock);
    return merged;
}

}  // namespace history
