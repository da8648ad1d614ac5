// iconv's "CP932" is the table to use: "SHIFT_JIS" lacks the vendor rows (① or ～).
#include "text/cp932.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace text {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {
        if (m_cd == reinterpret_cast<iconv_t>(-1)) std::abort();
    }
    ~Converter() { iconv_close(m_cd); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts as much as possible; returns the number of input bytes consumed and appends
    // output. Stops at the first invalid or incomplete sequence (errno tells which).
    size_t run(std::string_view in, std::string& out, int& err) {
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        char* inp = const_cast<char*>(in.data());
        size_t inleft = in.size();
        char buf[1024];
        err = 0;
        while (inleft > 0) {
            char* outp = buf;
            size_t outleft = sizeof buf;
            size_t r = iconv(m_cd, &inp, &inleft, &outp, &outleft);
            out.append(buf, static_cast<size_t>(outp - buf));
            if (r == static_cast<size_t>(-1)) {
                if (errno == E2BIG) continue;
                err = errno;
                break;
            }
        }
        return in.size() - inleft;
    }

private:
    iconv_t m_cd;
};

std::mutex g_mutex;

Converter& decoder() {
    static Converter c("UTF-8", "CP932");
    return c;
}
Converter& encoder() {
    static Converter c("CP932", "UTF-8");
    return c;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

}  // namespace

bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool isTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

bool isCp932(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    std::lock_guard lock(g_mutex);
    int err = 0;
    return decoder().run(bytes, out, err) == bytes.size();
}

bool isUtf8(std::string_view bytes) {
    size_t i = 0;
    const size_t n = bytes.size();
    auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    auto cont = [&](size_t k) { return k < n && (at(k) & 0xC0) == 0x80; };
    while (i < n) {
        const unsigned char b = at(i);
        if (b < 0x80) {
            ++i;
        } else if (b >= 0xC2 && b <= 0xDF) {
            if (!cont(i + 1)) return false;
            i += 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            if (!cont(i + 1) || !cont(i + 2)) return false;
            const unsigned char c = at(i + 1);
            if ((b == 0xE0 && c < 0xA0) || (b == 0xED && c > 0x9F)) return false;
            i += 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            if (!cont(i + 1) || !cont(i + 2) || !cont(i + 3)) return false;
            const unsigned char c = at(i + 1);
            if ((b == 0xF0 && c < 0x90) || (b == 0xF4 && c > 0x8F)) return false;
            i += 4;
        } else {
            return false;
        }
    }
    return true;
}

std::string decode(std::string_view in) {
    return decode(in, kReplacement);
}

std::string decode(std::string_view in, std::string_view mark) {
    std::string out;
    out.reserve(in.size() + in.size() / 2);
    std::lock_guard lock(g_mutex);
    while (!in.empty()) {
        int err = 0;
        size_t used = decoder().run(in, out, err);
        in.remove_prefix(used);
        if (in.empty()) break;
        // An invalid byte, or a lone lead byte at the end: mark it and go on.
        out += mark;
        in.remove_prefix(1);
    }
    return out;
}

std::string validOnly(std::string_view in, char mark) {
    std::string out;
    out.reserve(in.size());
    std::lock_guard lock(g_mutex);
    std::string scratch;
    for (size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        const size_t width = isLeadByte(b) && i + 1 < in.size() ? 2 : 1;
        const std::string_view one = in.substr(i, width);
        scratch.clear();
        int err = 0;
        // 0x80, 0xA0 and 0xFD-0xFF are no characters of the code page, whatever iconv makes
        // of them.
        const bool noCharacter =
            width == 1 && (isLeadByte(b) || b == 0x80 || b == 0xA0 || b >= 0xFD);
        if (!noCharacter && decoder().run(one, scratch, err) == width) {
            out.append(one);
            i += width;
        } else {
            out += mark;
            ++i;  // a lead byte with a wrong trail byte: the trail byte is looked at on its own
        }
    }
    return out;
}

std::string escapeControls(std::string_view in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        const auto b = static_cast<unsigned char>(in[i]);
        const auto next = i + 1 < in.size() ? static_cast<unsigned char>(in[i + 1]) : 0;
        if (isLeadByte(b) && next >= 0x40 && next <= 0xfc && next != 0x7f) {
            out.append(in.substr(i, 2));
            ++i;
        } else if (b < 0x20 || b == 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", b);
            out += buf;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

std::optional<std::string> encode(std::string_view utf8) {
    std::string out;
    std::lock_guard lock(g_mutex);
    int err = 0;
    size_t used = encoder().run(utf8, out, err);
    if (used != utf8.size()) return std::nullopt;
    return out;
}

std::string sj(std::string_view utf8) {
    auto r = encode(utf8);
    if (!r) std::abort();  // a fixed text of the program that code page 932 cannot hold
    return *r;
}

std::filesystem::path toPath(std::string_view cp932) {
    // A name that is not valid code page 932 is used byte for byte rather than altered.
    std::string out;
    {
        std::lock_guard lock(g_mutex);
        int err = 0;
        size_t used = decoder().run(cp932, out, err);
        if (used != cp932.size()) return std::filesystem::path(std::string(cp932));
    }
    return std::filesystem::path(out);
}

std::string fromPath(const std::filesystem::path& path) {
    const std::string& native = path.native();
    auto r = encode(native);
    return r ? *r : native;
}

std::string StreamDecoder::feed(std::string_view piece) {
    std::string buf = m_pending;
    buf.append(piece);
    m_pending.clear();
    // Find whether the last byte is a lead byte waiting for its partner.
    size_t i = 0;
    while (i < buf.size()) {
        unsigned char b = static_cast<unsigned char>(buf[i]);
        if (isLeadByte(b)) {
            if (i + 1 == buf.size()) {
                m_pending = buf.substr(i);
                buf.resize(i);
                break;
            }
            i += 2;
        } else {
            ++i;
        }
    }
    return decode(buf);
}

std::string StreamDecoder::finish() {
    std::string rest = decode(m_pending);
    m_pending.clear();
    return rest;
}

}  // namespace text
