// Datagrams are read and written through these two, never by laying a struct over the bytes:
// the byte order is explicit (high byte first), a reader never looks past the datagram it was
// given, and a writer refuses to write past the buffer it owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace discovery {

// A search request carries the sender's address and a reply the device's, both at this offset.
constexpr size_t kAddressAt = 8;

class ByteReader {
public:
    explicit ByteReader(std::string_view bytes) : m_bytes(bytes) {}

    size_t size() const { return m_bytes.size(); }
    bool has(size_t offset, size_t count = 1) const {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }
    // The byte at offset, or nullopt past the end.
    std::optional<uint8_t> at(size_t offset) const {
        if (!has(offset)) return std::nullopt;
        return static_cast<uint8_t>(m_bytes[offset]);
    }
    // Bytes past the end read as 0: a short datagram gives zeros, never someone else's memory.
    uint8_t u8(size_t offset) const { return at(offset).value_or(0); }
    uint16_t u16be(size_t offset) const {
        return static_cast<uint16_t>(u8(offset) << 8 | u8(offset + 1));
    }
    uint32_t u32be(size_t offset) const {
        return static_cast<uint32_t>(u16be(offset)) << 16 | u16be(offset + 2);
    }
    // Bytes from offset up to the first zero byte, at most count of them.
    std::string textUntilZero(size_t offset, size_t count) const;

private:
    std::string_view m_bytes;
};

// A buffer of fixed size, zero-filled. Writing past its end is a programming error and throws
// std::out_of_range.
class ByteWriter {
public:
    explicit ByteWriter(size_t size) : m_bytes(size, '\0') {}

    void put8(size_t offset, uint8_t value);
    void put16be(size_t offset, uint16_t value);
    void put32be(size_t offset, uint32_t value);
    // Writes the bytes of text and leaves the rest of the field (up to count) as it is.
    void putText(size_t offset, std::string_view text, size_t count);

    const std::string& bytes() const { return m_bytes; }
    std::string take() { return std::move(m_bytes); }

private:
    std::string m_bytes;
};

}  // namespace discovery
