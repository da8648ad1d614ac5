// Any datagram as a search reply: the receive handler must neither crash nor read past the
// datagram, and an accepted reply must give one record line of exactly 14 fields that reads
// back the same after a round trip through the reply bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "discovery/registration.h"
#include "discovery/search_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view datagram(reinterpret_cast<const char*>(data), size);
    devlist::LineStore replies, reg;
    discovery::ReplyCollector collector;
    bool accepted = discovery::ReceiveReply(replies, reg, collector, "127.0.0.2", 15580, datagram);
    if (replies.size() != 2 || replies[1].size() > 2 * discovery::kHexTextBytes) __builtin_trap();
    if (accepted != (reg.size() == 1)) __builtin_trap();

    auto reply = discovery::ParseSearchReply(datagram);
    if (reply.has_value() != accepted) __builtin_trap();
    if (!reply) return 0;
    std::string line = discovery::DiscoveryRecord(*reply);
    if (std::count(line.begin(), line.end(), ',') != 13) __builtin_trap();
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos) __builtin_trap();
    auto again = discovery::ParseSearchReply(discovery::BuildSearchReply(*reply));
    if (!again || discovery::DiscoveryRecord(*again) != line) __builtin_trap();
    return 0;
}
