#include "discovery/search_reply.h"

#include "devlist/fields.h"
#include "discovery/byte_io.h"

namespace discovery {
namespace {

constexpr size_t kCodeAt = 3;
constexpr size_t kUnitAt = 7;
constexpr size_t kMacAt = 14;
constexpr size_t kModelAt = 20, kModelSize = 4;
constexpr size_t kVersionAt = 24;
constexpr size_t kVersionDateAt = 27;
constexpr size_t kCounterAt = 32;
constexpr size_t kModel2At = 36, kModel2Size = 8;

constexpr char kHexDigits[] = "0123456789ABCDEF";

constexpr int32_t kSecondsPerDay = 86400;
constexpr int32_t kSecondsPerHour = 3600;

// Bytes from the network that would break the record form: a comma splits a field, CR or LF
// a line, and NUL ends the text in many a reader.
std::string blankSeparators(std::string text) {
    for (char& c : text) {
        if (c == ',' || c == '\r' || c == '\n' || c == '\0') c = ' ';
    }
    return text;
}

}  // namespace

std::string HexText(std::string_view datagram) {
    std::string out;
    size_t n = std::min(datagram.size(), kHexTextBytes);
    out.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        auto b = static_cast<uint8_t>(datagram[i]);
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0x0F];
    }
    return out;
}

int32_t HexToInt(std::string_view text) {
    uint32_t sum = 0, weight = 1;
    for (size_t i = text.size(); i-- > 0;) {
        char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<uint32_t>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<uint32_t>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<uint32_t>(c - 'a' + 10);
        } else {
            continue;
        }
        sum += digit * weight;
        weight *= 16;
    }
    return static_cast<int32_t>(sum);
}

bool AcceptsReply(std::string_view datagram) {
    ByteReader r(datagram);
    if (!r.has(0, 3) || r.u8(0) != 0x00 || r.u8(1) != 0x80 || r.u8(2) != 0x00) return false;
    // The two hex digits of the code are read as a decimal number: any letter among them
    // makes the number 0, and so does a missing byte (an empty text).
    uint8_t code = r.u8(kCodeAt);
    int high = code >> 4, low = code & 0x0F;
    int decimal = (high < 10 && low < 10) ? high * 10 + low : 0;
    return decimal < 3;
}

std::optional<SearchReply> ParseSearchReply(std::string_view datagram) {
    if (!AcceptsReply(datagram)) return std::nullopt;
    ByteReader r(datagram);
    SearchReply p;
    p.code = r.u8(kCodeAt);
    p.counterUnit = r.u8(kUnitAt);
    for (size_t i = 0; i < p.address.size(); ++i) p.address[i] = r.u8(kAddressAt + i);
    for (size_t i = 0; i < p.mac.size(); ++i) p.mac[i] = r.u8(kMacAt + i);
    p.model = r.textUntilZero(kModelAt, kModelSize);
    p.versionMajor = r.u8(kVersionAt);
    p.versionMinor = r.u8(kVersionAt + 1);
    p.versionLetter = r.u8(kVersionAt + 2);
    for (size_t i = 0; i < p.versionDate.size(); ++i) p.versionDate[i] = r.u8(kVersionDateAt + i);
    p.counter = r.u32be(kCounterAt);
    p.model2 = r.textUntilZero(kModel2At, kModel2Size);
    return p;
}

std::string BuildSearchReply(const SearchReply& reply) {
    ByteWriter w(kReplySize);
    w.put8(1, 0x80);
    w.put8(kCodeAt, reply.code);
    w.put8(kUnitAt, reply.counterUnit);
    for (size_t i = 0; i < reply.address.size(); ++i) w.put8(kAddressAt + i, reply.address[i]);
    for (size_t i = 0; i < reply.mac.size(); ++i) w.put8(kMacAt + i, reply.mac[i]);
    w.putText(kModelAt, reply.model, kModelSize);
    w.put8(kVersionAt, reply.versionMajor);
    w.put8(kVersionAt + 1, reply.versionMinor);
    w.put8(kVersionAt + 2, reply.versionLetter);
    for (size_t i = 0; i < reply.versionDate.size(); ++i) {
        w.put8(kVersionDateAt + i, reply.versionDate[i]);
    }
    w.put32be(kCounterAt, reply.counter);
    w.putText(kModel2At, reply.model2, kModel2Size);
    return w.take();
}

std::string RunningTimeText(uint32_t counter, uint8_t counterUnit) {
    auto n = static_cast<int32_t>(counter);  // the counter is read as a signed number
    if (counterUnit == 0) n /= 100;
    // C++ division truncates toward zero and the remainder takes the dividend's sign, so a
    // negative counter gives negative parts throughout.
    int32_t days = n / kSecondsPerDay;
    int32_t hours = (n / kSecondsPerHour) % 24;
    int32_t minutes = (n % kSecondsPerHour) / 60;
    int32_t seconds = n % 60;
    using devlist::ZeroPad;
    return "Start:" + ZeroPad(days, 4) + " " + ZeroPad(hours, 2) + ":" + ZeroPad(minutes, 2) + ":" +
           ZeroPad(seconds, 2);
}

std::string DiscoveryRecord(const SearchReply& reply) {
    using devlist::ZeroPad;
    std::string ip;
    for (size_t i = 0; i < reply.address.size(); ++i) {
        if (i) ip += '.';
        ip += std::to_string(reply.address[i]);
    }
    std::string mac;
    for (size_t i = 0; i < reply.mac.size(); ++i) {
        if (i) mac += ':';
        mac += kHexDigits[reply.mac[i] >> 4];
        mac += kHexDigits[reply.mac[i] & 0x0F];
    }
    std::string model = blankSeparators(reply.model + "-" + reply.model2);
    std::string version =
        std::to_string(reply.versionMajor) + "." + ZeroPad(reply.versionMinor, 2) +
        blankSeparators(std::string(1, static_cast<char>(reply.versionLetter))) + " ";
    for (uint8_t part : reply.versionDate) version += ZeroPad(part, 2);

    std::string line = "000,F0000000,New Data,";
    line.reserve(160);
    line += ip;
    line += ",80,23,";
    line += mac;
    line += ',';
    line += model;
    line += ',';
    line += version;
    line += ",admin,plume,c:\\data\\defalt.txt,";
    line += RunningTimeText(reply.counter, reply.counterUnit);
    line += ",new data";
    return line;
}

}  // namespace discovery
