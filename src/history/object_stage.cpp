#include "history/object_stage.h"

#include "history/pack_writer.h"

namespace history {

bool ObjectStage::add(std::string_view bytes, git_oid& id) {
    if (git_odb_hash(&id, bytes.data(), bytes.size(), GIT_OBJECT_BLOB) != 0) return false;
    hold(id, bytes);
    return true;
}

void ObjectStage::hold(const git_oid& id, std::string_view bytes) {
    if (!m_names.insert(std::string(reinterpret_cast<const char*>(id.id), sizeof id.id)).second)
        return;
    m_objects.push_back({id, std::string(bytes)});
    m_bytes += bytes.size();
}

bool ObjectStage::write(git_repository* repo, std::string& error) {
    git_odb* odb = nullptr;
    if (git_repository_odb(&odb, repo) != 0) {
        error = "cannot open the object database";
        return false;
    }
    bool ok = true;
    if (m_objects.size() >= kPackFrom) {
        PackWriter pack(std::filesystem::path(git_repository_path(repo)) / "objects" / "pack",
                        static_cast<uint32_t>(m_objects.size()));
        for (const Object& o : m_objects)
            if (!pack.add(o.id.id, GIT_OBJECT_BLOB, o.bytes)) break;
        ok = pack.finish(error);
        // The database looks for packs again only when an object is missing; every one of
        // these is looked up as the commit's trees are built.
        if (ok) git_odb_refresh(odb);
    } else {
        // The database's write finds an object the repository holds already and writes nothing.
        for (const Object& o : m_objects) {
            git_oid id;
            if (git_odb_write(&id, odb, o.bytes.data(), o.bytes.size(), GIT_OBJECT_BLOB) != 0) {
                const git_error* e = git_error_last();
                error = std::string("cannot write an object: ") +
                        (e && e->message ? e->message : "unknown error");
                ok = false;
                break;
            }
        }
    }
    git_odb_free(odb);
    if (ok) {
        m_objects.clear();
        m_bytes = 0;
    }
    return ok;
}

}  // namespace history
