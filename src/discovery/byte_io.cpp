#include "discovery/byte_io.h"

#include <stdexcept>

namespace discovery {

std::string ByteReader::textUntilZero(size_t offset, size_t count) const {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = u8(offset + i);
        if (b == 0) break;
        out += static_cast<char>(b);
    }
    return out;
}

void ByteWriter::put8(size_t offset, uint8_t value) {
    if (offset >= m_bytes.size()) throw std::out_of_range("ByteWriter: write past the buffer");
    m_bytes[offset] = static_cast<char>(value);
}

void ByteWriter::put16be(size_t offset, uint16_t value) {
    put8(offset, static_cast<uint8_t>(value >> 8));
    put8(offset + 1, static_cast<uint8_t>(value));
}

void ByteWriter::put32be(size_t offset, uint32_t value) {
    put16be(offset, static_cast<uint16_t>(value >> 16));
    put16be(offset + 2, static_cast<uint16_t>(value));
}

void ByteWriter::putText(size_t offset, std::string_view text, size_t count) {
    if (text.size() > count) throw std::out_of_range("ByteWriter: text longer than its field");
    for (size_t i = 0; i < text.size(); ++i) put8(offset + i, static_cast<uint8_t>(text[i]));
}

}  // namespace discovery
