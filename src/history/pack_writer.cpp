#include "history/pack_writer.h"

#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/files.h"

namespace history {
namespace {

namespace fs = std::filesystem;

constexpr size_t kBufferBytes = 64 * 1024;
constexpr uint32_t kPackVersion = 2;
constexpr uint32_t kIndexVersion = 2;
constexpr unsigned char kIndexMagic[4] = {0xff, 't', 'O', 'c'};
// Offsets from here on go into the index's table of 8-byte offsets.
constexpr uint64_t kLargeOffset = 0x80000000u;

void putBig32(std::string& out, uint32_t v) {
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, 4);
}

std::string hex(const unsigned char* bytes, size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

// A new file in folder for the pack's bytes while they are written; -1 when none can be made.
int createTemporary(const fs::path& folder, fs::path& name) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        uint32_t r = 0;
        if (::getrandom(&r, sizeof r, GRND_NONBLOCK) != sizeof r)
            r = static_cast<uint32_t>(attempt);
        name = folder / ("tmp_pack_qlx_" + std::to_string(::getpid()) + "_" + std::to_string(r));
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0444);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

// SHA-1, which names the pack and closes both files: libgit2 offers no plain SHA-1 of bytes.
struct PackWriter::Hash {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    unsigned char block[64] = {};
    size_t used = 0;
    uint64_t total = 0;

    static uint32_t rol(uint32_t v, int n) { return (v << n) | (v >> (32 - n)); }

    static uint32_t big32(const unsigned char* p) {
        uint32_t v;
        std::memcpy(&v, p, sizeof v);
        return __builtin_bswap32(v);
    }

    // The schedule's words kept in a ring of 16 and the five state words renamed from round to
    // round instead of moved: several times faster than the textbook form.
    void compress(const unsigned char* p) {
        uint32_t w[16];
        for (int i = 0; i < 16; ++i) w[i] = big32(p + 4 * i);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        auto word = [&w](int i) {
            if (i < 16) return w[i];
            return w[i & 15] =
                       rol(w[(i - 3) & 15] ^ w[(i - 8) & 15] ^ w[(i - 14) & 15] ^ w[i & 15], 1);
        };
#define QLX_SHA1_ROUND(f, k, A, B, E, i)  \
    E += rol(A, 5) + (f) + (k) + word(i); \
    B = rol(B, 30);
#define QLX_SHA1_FIVE(f, k, i)                    \
    QLX_SHA1_ROUND(f(b, c, d), k, a, b, e, i)     \
    QLX_SHA1_ROUND(f(a, b, c), k, e, a, d, i + 1) \
    QLX_SHA1_ROUND(f(e, a, b), k, d, e, c, i + 2) \
    QLX_SHA1_ROUND(f(d, e, a), k, c, d, b, i + 3) \
    QLX_SHA1_ROUND(f(c, d, e), k, b, c, a, i + 4)
        auto choose = [](uint32_t x, uint32_t y, uint32_t z) { return z ^ (x & (y ^ z)); };
        auto parity = [](uint32_t x, uint32_t y, uint32_t z) { return x ^ y ^ z; };
        auto majority = [](uint32_t x, uint32_t y, uint32_t z) { return (x & y) | (z & (x | y)); };
#pragma GCC unroll 4
        for (int i = 0; i < 20; i += 5) {
            QLX_SHA1_FIVE(choose, 0x5A827999u, i)
        }
#pragma GCC unroll 4
        for (int i = 20; i < 40; i += 5) {
            QLX_SHA1_FIVE(parity, 0x6ED9EBA1u, i)
        }
#pragma GCC unroll 4
        for (int i = 40; i < 60; i += 5) {
            QLX_SHA1_FIVE(majority, 0x8F1BBCDCu, i)
        }
#pragma GCC unroll 4
        for (int i = 60; i < 80; i += 5) {
            QLX_SHA1_FIVE(parity, 0xCA62C1D6u, i)
        }
#undef QLX_SHA1_FIVE
#undef QLX_SHA1_ROUND
        h[0] += a;
        h[1] += b;
        h[2] += c;
        h[3] += d;
        h[4] += e;
    }

    void update(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        total += size;
        if (used > 0) {
            const size_t take = std::min(size, sizeof block - used);
            std::memcpy(block + used, p, take);
            used += take;
            p += take;
            size -= take;
            if (used < sizeof block) return;
            compress(block);
            used = 0;
        }
        for (; size >= sizeof block; p += sizeof block, size -= sizeof block) compress(p);
        std::memcpy(block, p, size);
        used = size;
    }

    void final(unsigned char (&out)[20]) {
        const uint64_t bits = total * 8;
        const unsigned char one = 0x80, zero = 0;
        update(&one, 1);
        while (used != 56) update(&zero, 1);
        unsigned char length[8];
        for (int i = 0; i < 8; ++i) length[i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
        update(length, 8);
        for (int i = 0; i < 20; ++i)
            out[i] = static_cast<unsigned char>(h[i / 4] >> (24 - 8 * (i % 4)));
    }
};

// One deflate stream reused for every object, at the speed loose objects are written with.
struct PackWriter::Deflate {
    z_stream z{};
    bool ready = false;
    Deflate() { ready = deflateInit(&z, Z_BEST_SPEED) == Z_OK; }
    ~Deflate() {
        if (ready) deflateEnd(&z);
    }
};

PackWriter::PackWriter(fs::path folder, uint32_t count)
    : m_folder(std::move(folder)),
      m_count(count),
      m_hash(std::make_unique<Hash>()),
      m_deflate(std::make_unique<Deflate>()) {
    m_entries.reserve(count);
    m_fd = createTemporary(m_folder, m_temporary);
    m_failed = m_fd < 0 || !m_deflate->ready;
    if (m_failed) {
        m_error = "cannot make a pack in " + m_folder.string() + ": " + std::strerror(errno);
        return;
    }
    std::string header = "PACK";
    putBig32(header, kPackVersion);
    putBig32(header, count);
    put(header.data(), header.size());
}

PackWriter::~PackWriter() {
    if (m_fd >= 0) ::close(m_fd);
    if (!m_temporary.empty()) ::unlink(m_temporary.c_str());
}

bool PackWriter::flushBuffer() {
    if (!m_failed && !platform::WriteAll(m_fd, m_buffer)) {
        m_failed = true;
        m_error = "cannot write " + m_temporary.string() + ": " + std::strerror(errno);
    }
    m_buffer.clear();
    return !m_failed;
}

bool PackWriter::put(const void* data, size_t size) {
    m_hash->update(data, size);
    m_buffer.append(static_cast<const char*>(data), size);
    m_offset += size;
    return m_buffer.size() < kBufferBytes || flushBuffer();
}

bool PackWriter::add(const unsigned char (&id)[20], int type, std::string_view bytes) {
    if (m_failed) return false;
    if (m_entries.size() == m_count) {
        m_failed = true;
        m_error = "more objects than the pack announced";
        return false;
    }
    Entry entry{};
    std::memcpy(entry.id, id, sizeof entry.id);
    entry.offset = m_offset;
    // The type and the size, four bits of it first, then seven to a byte while more follow.
    unsigned char header[16];
    size_t n = 0;
    uint64_t size = bytes.size();
    unsigned char c = static_cast<unsigned char>((type & 7) << 4 | (size & 15));
    size >>= 4;
    while (size != 0) {
        header[n++] = c | 0x80;
        c = size & 0x7f;
        size >>= 7;
    }
    header[n++] = c;
    uLong crc = crc32(0L, header, static_cast<uInt>(n));
    put(header, n);

    z_stream& z = m_deflate->z;
    deflateReset(&z);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = 0;
    size_t left = bytes.size();
    unsigned char out[16384];
    for (int rc = Z_OK; rc != Z_STREAM_END;) {
        if (z.avail_in == 0 && left > 0) {
            z.avail_in = static_cast<uInt>(std::min<size_t>(left, 1u << 30));
            left -= z.avail_in;
        }
        z.next_out = out;
        z.avail_out = sizeof out;
        rc = deflate(&z, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            m_failed = true;
            m_error = "cannot compress an object";
            return false;
        }
        const size_t made = sizeof out - z.avail_out;
        crc = crc32(crc, out, static_cast<uInt>(made));
        if (!put(out, made)) return false;
    }
    entry.crc = static_cast<uint32_t>(crc);
    m_entries.push_back(entry);
    return true;
}

bool PackWriter::finish(std::string& error) {
    if (!m_failed && m_entries.size() != m_count) {
        m_failed = true;
        m_error = "fewer objects than the pack announced";
    }
    unsigned char checksum[20];
    m_hash->final(checksum);
    if (!m_failed) {
        m_buffer.append(reinterpret_cast<const char*>(checksum), sizeof checksum);
        flushBuffer();
    }
    if (m_fd >= 0 && ::close(m_fd) != 0 && !m_failed) {
        m_failed = true;
        m_error = "cannot write " + m_temporary.string() + ": " + std::strerror(errno);
    }
    m_fd = -1;
    if (m_failed) {
        error = m_error;
        return false;
    }
    const std::string name = "pack-" + hex(checksum, sizeof checksum);
    const fs::path pack = m_folder / (name + ".pack");
    if (::rename(m_temporary.c_str(), pack.c_str()) != 0) {
        error = "cannot name " + pack.string() + ": " + std::strerror(errno);
        return false;
    }
    m_temporary.clear();

    // The index: a fan-out table by first byte, the sorted names, their checksums and offsets
    // (large ones in a table of their own), the pack's checksum and the index's own.
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry& a, const Entry& b) {
        return std::memcmp(a.id, b.id, sizeof a.id) < 0;
    });
    std::string index(reinterpret_cast<const char*>(kIndexMagic), sizeof kIndexMagic);
    putBig32(index, kIndexVersion);
    uint32_t fanout[256] = {};
    for (const Entry& e : m_entries) ++fanout[e.id[0]];
    for (uint32_t i = 0, sum = 0; i < 256; ++i) putBig32(index, sum += fanout[i]);
    for (const Entry& e : m_entries) index.append(reinterpret_cast<const char*>(e.id), 20);
    for (const Entry& e : m_entries) putBig32(index, e.crc);
    std::string large;
    uint32_t largeCount = 0;
    for (const Entry& e : m_entries) {
        if (e.offset < kLargeOffset) {
            putBig32(index, static_cast<uint32_t>(e.offset));
            continue;
        }
        putBig32(index, static_cast<uint32_t>(kLargeOffset | largeCount++));
        putBig32(large, static_cast<uint32_t>(e.offset >> 32));
        putBig32(large, static_cast<uint32_t>(e.offset));
    }
    index += large;
    index.append(reinterpret_cast<const char*>(checksum), sizeof checksum);
    Hash own;
    own.update(index.data(), index.size());
    unsigned char indexChecksum[20];
    own.final(indexChecksum);
    index.append(reinterpret_cast<const char*>(indexChecksum), sizeof indexChecksum);

    const int fd = createTemporary(m_folder, m_temporary);
    const bool written = fd >= 0 && platform::WriteAll(fd, index);
    const int writeError = errno;
    if (fd >= 0 && ::close(fd) != 0 && written) {
        error = "cannot write an index in " + m_folder.string() + ": " + std::strerror(errno);
        return false;
    }
    const fs::path idx = m_folder / (name + ".idx");
    if (!written || ::rename(m_temporary.c_str(), idx.c_str()) != 0) {
        // A pack without its index is never read: it is left as it is, since a pack of the
        // same name may have been another process's.
        error = "cannot write " + idx.string() + ": " + std::strerror(written ? errno : writeError);
        return false;
    }
    m_temporary.clear();
    return true;
}

}  // namespace history
