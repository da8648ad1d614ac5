// Many new objects written into the repository as one pack file and its index, the form git
// itself keeps objects in after packing them: a run that records a thousand devices for the
// first time writes two files instead of a thousand, each made, written, linked and unlinked on
// its own. The objects go in whole (no deltas), compressed as loose objects are, and nothing of
// the pack is visible to a reader before its index has its final name; neither file is synced
// here: the commit syncs the repository before its branch names anything in them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace history {

class PackWriter {
public:
    // A pack of exactly count objects, in folder (the repository's "objects/pack").
    PackWriter(std::filesystem::path folder, uint32_t count);
    // A pack not finished leaves nothing behind.
    ~PackWriter();
    PackWriter(const PackWriter&) = delete;
    PackWriter& operator=(const PackWriter&) = delete;

    // An object by its name (the 20 bytes of its SHA-1, as the object database hashes it) and
    // type (git's numbers: 1 commit, 2 tree, 3 blob); false once anything failed.
    bool add(const unsigned char (&id)[20], int type, std::string_view bytes);
    // Names the pack after its checksum and writes its index beside it; false with error
    // (English) when a write failed or fewer objects came than were announced.
    bool finish(std::string& error);

private:
    struct Entry {
        unsigned char id[20];
        uint32_t crc;
        uint64_t offset;
    };
    bool put(const void* data, size_t size);
    bool flushBuffer();

    std::filesystem::path m_folder;
    std::filesystem::path m_temporary;
    uint32_t m_count;
    int m_fd = -1;
    bool m_failed = false;
    std::string m_error;
    uint64_t m_offset = 0;
    std::string m_buffer;
    std::vector<Entry> m_entries;
    struct Hash;
    struct Deflate;
    std::unique_ptr<Hash> m_hash;
    std::unique_ptr<Deflate> m_deflate;
};

}  // namespace history
