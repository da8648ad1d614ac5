// Search request and reply bytes. All numbers are high byte first.
#include "search.h"

#include <algorithm>
#include <cctype>

namespace devsim {
namespace {

constexpr uint8_t kRequestHeader[] = {0x00, 0xFF, 0x00, 0x01, 0x20};
constexpr uint8_t kReplyHeader[] = {0x00, 0x80, 0x00};
constexpr size_t kChecksumAt = 5;

class Writer {
public:
    explicit Writer(size_t size) : m_bytes(size, '\0') {}
    void put8(size_t at, uint8_t v) { m_bytes.at(at) = static_cast<char>(v); }
    void put32(size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k) put8(at + k, static_cast<uint8_t>(v >> (24 - 8 * k)));
    }
    // Text into a fixed field, cut to its width, the rest left zero.
    void putText(size_t at, size_t width, std::string_view s) {
        for (size_t k = 0; k < width && k < s.size(); ++k) put8(at + k, static_cast<uint8_t>(s[k]));
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

class Reader {
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    std::optional<uint8_t> get8(size_t at) const {
        if (at >= m_bytes.size()) return std::nullopt;
        return static_cast<uint8_t>(m_bytes[at]);
    }
    uint32_t get32(size_t at) const {
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) v = (v << 8) | get8(at + k).value_or(0);
        return v;
    }
    // A fixed field whose text ends early at a zero byte.
    std::string getText(size_t at, size_t width) const {
        std::string s;
        for (size_t k = 0; k < width; ++k) {
            uint8_t b = get8(at + k).value_or(0);
            if (b == 0) break;
            s += static_cast<char>(b);
        }
        return s;
    }

private:
    std::string_view m_bytes;
};

uint8_t checksum(std::string_view bytes) {
    unsigned sum = 0;
    for (unsigned char b : bytes) sum += b;
    return static_cast<uint8_t>(sum);
}

// Leading decimal digits of s from pos, moving pos past them.
unsigned digits(std::string_view s, size_t& pos, size_t max) {
    unsigned v = 0;
    for (size_t n = 0;
         pos < s.size() && n < max && std::isdigit(static_cast<unsigned char>(s[pos])); ++n)
        v = v * 10 + static_cast<unsigned>(s[pos++] - '0');
    return v;
}

std::array<uint8_t, 6> macBytes(std::string_view text) {
    std::array<uint8_t, 6> mac{};
    if (text.size() != 17) return {};
    for (size_t k = 0; k < 6; ++k) {
        if (k > 0 && text[3 * k - 1] != ':' && text[3 * k - 1] != '-') return {};
        auto hex = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        int hi = hex(text[3 * k]), lo = hex(text[3 * k + 1]);
        if (hi < 0 || lo < 0) return {};
        mac[k] = static_cast<uint8_t>(hi * 16 + lo);
    }
    return mac;
}

}  // namespace

std::string buildSearchRequest(uint32_t own) {
    Writer w(kRequestSize);
    for (size_t k = 0; k < sizeof kRequestHeader; ++k) w.put8(k, kRequestHeader[k]);
    w.put32(8, own);
    w.put8(12, 0x23);
    w.put8(13, 0x32);
    w.put8(kChecksumAt, checksum(w.bytes()));
    return w.bytes();
}

bool isSearchRequest(std::string_view d) {
    if (d.size() != kRequestSize) return false;
    for (size_t k = 0; k < sizeof kRequestHeader; ++k)
        if (static_cast<uint8_t>(d[k]) != kRequestHeader[k]) return false;
    std::string zeroed(d);
    zeroed[kChecksumAt] = 0;
    return checksum(zeroed) == static_cast<uint8_t>(d[kChecksumAt]);
}

std::optional<uint32_t> requestAddress(std::string_view d) {
    if (!isSearchRequest(d)) return std::nullopt;
    return Reader(d).get32(8);
}

std::string buildReply(const ReplyFields& f) {
    Writer w(kReplySize);
    for (size_t k = 0; k < sizeof kReplyHeader; ++k) w.put8(k, kReplyHeader[k]);
    w.put8(3, f.code);
    w.put8(7, f.hundredths ? 0x00 : 0x01);
    w.put32(8, f.address);
    for (size_t k = 0; k < 6; ++k) w.put8(14 + k, f.mac[k]);
    w.putText(20, 4, f.model1);
    w.put8(24, f.major);
    w.put8(25, f.minor);
    w.put8(26, static_cast<uint8_t>(f.letter));
    for (size_t k = 0; k < 3; ++k) w.put8(27 + k, f.date[k]);
    w.put32(32, f.counter);
    w.putText(36, 8, f.model2);
    return w.bytes();
}

std::optional<ReplyFields> parseReply(std::string_view d) {
    Reader r(d);
    if (d.size() < kReplySize) return std::nullopt;
    for (size_t k = 0; k < sizeof kReplyHeader; ++k)
        if (r.get8(k) != kReplyHeader[k]) return std::nullopt;
    ReplyFields f;
    f.code = *r.get8(3);
    f.hundredths = *r.get8(7) == 0;
    f.address = r.get32(8);
    for (size_t k = 0; k < 6; ++k) f.mac[k] = *r.get8(14 + k);
    f.model1 = r.getText(20, 4);
    f.major = *r.get8(24);
    f.minor = *r.get8(25);
    f.letter = static_cast<char>(*r.get8(26));
    for (size_t k = 0; k < 3; ++k) f.date[k] = *r.get8(27 + k);
    f.counter = r.get32(32);
    f.model2 = r.getText(36, 8);
    return f;
}

ReplyFields replyFieldsOf(const DeviceConfig& d) {
    ReplyFields f;
    f.address = d.address;
    f.mac = macBytes(d.mac);
    size_t dash = d.model.find('-');
    f.model1 = d.model.substr(0, std::min<size_t>(dash, 4));
    if (dash != std::string::npos) f.model2 = d.model.substr(dash + 1, 8);
    // "1.05a 240331": major, minor, the letter, then the date as three two-digit numbers.
    std::string_view v = d.version;
    size_t pos = 0;
    f.major = static_cast<uint8_t>(digits(v, pos, 3));
    if (pos < v.size() && v[pos] == '.') ++pos;
    f.minor = static_cast<uint8_t>(digits(v, pos, 3));
    if (pos < v.size() && v[pos] != ' ') f.letter = v[pos++];
    while (pos < v.size() && v[pos] == ' ') ++pos;
    for (auto& part : f.date) part = static_cast<uint8_t>(digits(v, pos, 2));
    f.counter = d.uptime;
    return f;
}

std::vector<std::string> searchReplies(const DeviceConfig& d) {
    const Faults& f = d.faults;
    if (f.udpNone) return {};
    std::string reply = buildReply(replyFieldsOf(d));
    if (f.udpMalformed) reply[2] = 0x01;
    if (f.udpShort) reply.resize(kShortReply);
    if (f.udpOversized) reply.resize(kOversizedReply, 'Z');
    if (f.udpDuplicate) return {reply, reply};
    return {reply};
}

}  // namespace devsim
