// A device's answer to the search request and the device record made from it. The reply's
// numbers are high byte first; bytes 44 and later carry nothing the program uses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace discovery {

constexpr size_t kReplySize = 44;
// The diagnostic hex text shows at most this many bytes of a datagram.
constexpr size_t kHexTextBytes = 120;

struct SearchReply {
    uint8_t code = 1;         // byte 3: accepted as read in decimal below 3 (see AcceptsReply)
    uint8_t counterUnit = 0;  // byte 7: 0 = the counter counts hundredths, else seconds
    std::array<uint8_t, 4> address{};
    std::array<uint8_t, 6> mac{};
    std::string model;  // bytes 20..23, up to the first zero byte
    uint8_t versionMajor = 0;
    uint8_t versionMinor = 0;
    uint8_t versionLetter = 0;
    std::array<uint8_t, 3> versionDate{};  // bytes 27..29
    uint32_t counter = 0;                  // bytes 32..35, the running time
    std::string model2;                    // bytes 36..43, up to the first zero byte
};

// Up to the first 120 bytes, two upper-case hex digits each, no separators.
std::string HexText(std::string_view datagram);
// The value of a hex text, skipping any other character; 32-bit two's-complement wrap-around,
// so eight digits starting at 8 or more give a negative number.
int32_t HexToInt(std::string_view text);

// The header test: bytes 0..2 are 00 80 00, and byte 3, its two hex digits read as a decimal
// number (0 when a digit is a letter, or when the byte is missing), is below 3. So 0x00-0x02
// pass, 0x03-0x09 fail, 0x0A passes.
bool AcceptsReply(std::string_view datagram);
// The reply's fields, or nullopt when the header test fails. Bytes missing from a short
// reply read as 0.
std::optional<SearchReply> ParseSearchReply(std::string_view datagram);
// The 44 bytes of a reply (code, unit and the fields; the rest zero). Model texts longer than
// their field are a programming error.
std::string BuildSearchReply(const SearchReply& reply);

// "Start:" + days + " " + hh:mm:ss of the counter, in hundredths when unit is 0. A counter at
// or above 2^31 is negative, and so is every part of it.
std::string RunningTimeText(uint32_t counter, uint8_t counterUnit);
// The device record of a reply, numbered "000": "New Data" at the reply's address with its MAC
// address, model and version texts and running time, and the fixed defaults.
std::string DiscoveryRecord(const SearchReply& reply);

}  // namespace discovery
