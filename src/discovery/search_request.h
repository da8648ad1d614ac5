// The search request: the one datagram the program sends over UDP, a fixed 32 bytes broadcast
// to the search port of the PC's own network, naming the port on which replies are expected.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace discovery {

constexpr uint16_t kSearchPort = 15580;  // devices listen here
constexpr uint16_t kReplyPort = 9010;    // the program listens here for their replies
constexpr size_t kRequestSize = 32;

// The four parts of the own address as read from its text; a part that is not a decimal
// number (or is missing) is 0. Values are kept whole: only the request takes their low 8 bits.
using OwnOctets = std::array<int32_t, 4>;

// True for four decimal parts 0..255 of one to three digits separated by dots, nothing else:
// the form an own address given by the operator must have.
bool IsDottedIpv4(std::string_view text);
// "a.b.c.d" read part by part: the text before each "." as a decimal number, 0 otherwise.
OwnOctets ParseOwnAddress(std::string_view text);
// The directed broadcast address searched: the first three parts, then ".255".
std::string TargetHost(const OwnOctets& own);

// The request bytes: 00 FF 00 01 20, the checksum, 00 00, the own address, the reply port
// high byte first, then zeros. The checksum is the sum of all 32 bytes (itself taken as 0)
// modulo 256.
std::string BuildSearchRequest(const OwnOctets& own);

struct SearchRequest {
    std::array<uint8_t, 4> address{};
    uint16_t replyPort = 0;
};
// The request as a device reads it; nullopt unless the length, the fixed bytes and the
// checksum are right.
std::optional<SearchRequest> ParseSearchRequest(std::string_view datagram);

}  // namespace discovery
