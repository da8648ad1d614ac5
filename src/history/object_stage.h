// A run's new dumps, held until its commit needs them and then written all at once: as one pack
// when there are many (a first run records every device), else each as a loose object, so that
// a run in which a few devices changed adds no pack. What is held is bounded: past a budget, what
// is held so far is written out the same way, and the run goes on.
#pragma once

#include <git2.h>

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace history {

class ObjectStage {
public:
    // From this many objects on, a write makes one pack of them.
    static constexpr size_t kPackFrom = 64;
    // Bytes held before they are written without waiting for the commit.
    static constexpr size_t kHeldBytes = 32u << 20;

    // Names bytes as a blob (id) and holds them until write(), unless this stage held them
    // before; false when they cannot be hashed.
    bool add(std::string_view bytes, git_oid& id);
    // The same for bytes already named (id: their name as a blob).
    void hold(const git_oid& id, std::string_view bytes);
    bool full() const { return m_bytes >= kHeldBytes; }
    bool empty() const { return m_objects.empty(); }
    // Writes everything held into the repository's object database and lets it go; false with
    // error (English). Nothing is synced: the commit syncs before its branch moves.
    bool write(git_repository* repo, std::string& error);

private:
    struct Object {
        git_oid id;
        std::string bytes;
    };
    std::vector<Object> m_objects;
    std::unordered_set<std::string> m_names;  // the ids ever held, as raw bytes
    size_t m_bytes = 0;
};

}  // namespace history
