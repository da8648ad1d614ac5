#include "discovery/search_request.h"

#include <charconv>
#include <limits>

#include "devlist/fields.h"
#include "discovery/byte_io.h"

namespace discovery {
namespace {

constexpr std::array<uint8_t, 5> kHead = {0x00, 0xFF, 0x00, 0x01, kRequestSize};
constexpr size_t kChecksumAt = 5;
constexpr size_t kReplyPortAt = 12;
// A part of the address text is read only this far after the previous full stop.
constexpr size_t kPartWindow = 255;

int32_t decimalOrZero(std::string_view text) {
    long long v = devlist::ParseNumber(text, 0);
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    return static_cast<int32_t>(v);
}

uint8_t checksum(std::string_view bytes) {
    unsigned sum = 0;
    for (char c : bytes) sum += static_cast<uint8_t>(c);
    return static_cast<uint8_t>(sum);
}

}  // namespace

bool IsDottedIpv4(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (p == end || *p != '.') return false;
            ++p;
        }
        const char* start = p;
        while (p != end && *p >= '0' && *p <= '9') ++p;
        if (p == start || p - start > 3) return false;
        int value = 0;
        std::from_chars(start, p, value);
        if (value > 255) return false;
    }
    return p == end;
}

OwnOctets ParseOwnAddress(std::string_view text) {
    // Five full stops appended: four parts are always found, and missing ones read as 0.
    std::string rest = std::string(text) + ".....";
    OwnOctets own{};
    for (int32_t& part : own) {
        size_t dot = rest.find('.');
        if (dot == std::string::npos) {
            // A long text cut the appended stops away: the part is empty and the text stays.
            part = 0;
            continue;
        }
        part = decimalOrZero(std::string_view(rest).substr(0, dot));
        rest = rest.substr(dot + 1, kPartWindow);
    }
    return own;
}

std::string TargetHost(const OwnOctets& own) {
    return std::to_string(own[0]) + "." + std::to_string(own[1]) + "." + std::to_string(own[2]) +
           ".255";
}

std::string BuildSearchRequest(const OwnOctets& own) {
    ByteWriter w(kRequestSize);
    for (size_t i = 0; i < kHead.size(); ++i) w.put8(i, kHead[i]);
    for (size_t i = 0; i < own.size(); ++i) w.put8(kAddressAt + i, static_cast<uint8_t>(own[i]));
    w.put16be(kReplyPortAt, kReplyPort);
    w.put8(kChecksumAt, checksum(w.bytes()));
    return w.take();
}

std::optional<SearchRequest> ParseSearchRequest(std::string_view datagram) {
    ByteReader r(datagram);
    if (r.size() != kRequestSize) return std::nullopt;
    for (size_t i = 0; i < kHead.size(); ++i) {
        if (r.u8(i) != kHead[i]) return std::nullopt;
    }
    std::string zeroed(datagram);
    zeroed[kChecksumAt] = 0;
    if (checksum(zeroed) != r.u8(kChecksumAt)) return std::nullopt;
    SearchRequest req;
    for (size_t i = 0; i < req.address.size(); ++i) req.address[i] = r.u8(kAddressAt + i);
    req.replyPort = r.u16be(kReplyPortAt);
    return req;
}

}  // namespace discovery
