// The search datagrams as a device sees them: the 32-byte request it accepts and the reply it
// sends back, each builder paired with its parser over a bounds-checked reader and writer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"

namespace devsim {

inline constexpr size_t kRequestSize = 32;
inline constexpr size_t kReplySize = 44;
inline constexpr size_t kOversizedReply = 1400;
inline constexpr size_t kShortReply = 20;

struct ReplyFields {
    uint8_t code = 1;        // below 3: accepted
    bool hundredths = true;  // the counter counts hundredths of a second, else seconds
    uint32_t address = 0;    // host order
    std::array<uint8_t, 6> mac{};
    std::string model1;  // at most 4 bytes
    std::string model2;  // at most 8 bytes
    uint8_t major = 0, minor = 0;
    char letter = ' ';
    std::array<uint8_t, 3> date{};
    uint32_t counter = 0;

    bool operator==(const ReplyFields&) const = default;
};

std::string buildSearchRequest(uint32_t ownAddress);
// True for a request as the program builds it: the fixed header, its length and the checksum.
bool isSearchRequest(std::string_view datagram);
// The own address the request carries (bytes 8..11); nullopt for anything but a request.
std::optional<uint32_t> requestAddress(std::string_view datagram);

std::string buildReply(const ReplyFields& fields);
// nullopt when the header is not "00 80 00" or the datagram is shorter than the layout.
std::optional<ReplyFields> parseReply(std::string_view datagram);

// The reply fields of a device: its address, its MAC text read as six hex pairs (zeros when it
// is no MAC address), its model texts and its version text "1.05a 240331".
ReplyFields replyFieldsOf(const DeviceConfig& device);
// What the device sends for one request, after its faults: none, one or two datagrams.
std::vector<std::string> searchReplies(const DeviceConfig& device);

}  // namespace devsim
