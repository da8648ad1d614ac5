// The field accessors every subsystem uses on record lines. They work on raw code page 932
// bytes and never allocate more than the text they return, because the list view calls them
// for every column of every record on each redraw.
#include "devlist/fields.h"

#include <algorithm>
#include <limits>

#include "text/cp932.h"

namespace devlist {

// Field 0 runs to the first comma (or the end of the line);
// every later field is looked up in a window of at most 255 bytes after the first comma, and a
// field whose closing comma lies beyond that window reads as "". The line is treated as if a
// comma were appended, which is why the last field needs no trailing comma.
std::string_view FieldView(int n, std::string_view line) {
    if (n < 0) return {};
    size_t first = line.find(',');
    if (n == 0) return first == std::string_view::npos ? line : line.substr(0, first);
    if (first == std::string_view::npos) return {};  // only the appended comma: no field 1
    std::string_view window = line.substr(first + 1, kRecordCut);
    // The appended comma falls inside the window only when the window reaches the line's end
    // with room to spare.
    bool closedByEnd = first + 1 + window.size() == line.size() && window.size() < kRecordCut;
    size_t start = 0;
    for (int i = 1;; ++i) {
        size_t comma = window.find(',', start);
        if (comma == std::string_view::npos) {
            if (!closedByEnd) return {};
            closedByEnd = false;  // the appended comma can end one field only
            comma = window.size();
        }
        if (i == n) return window.substr(start, comma - start);
        if (comma >= window.size()) return {};
        start = comma + 1;
    }
}

std::string FieldGet(int n, std::string_view line) {
    return std::string(FieldView(n, line));
}

std::string FieldSet(int n, std::string_view value, std::string_view line) {
    if (n < 0) return std::string(line);
    size_t start = 0;
    for (int i = 0; i < n; ++i) {
        size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) return std::string(line);
        start = comma + 1;
    }
    size_t end = line.find(',', start);
    if (end == std::string_view::npos) end = line.size();
    std::string out;
    out.reserve(line.size() - (end - start) + value.size());
    out.append(line.substr(0, start));
    out.append(value);
    out.append(line.substr(end));
    return out;
}

std::string ZeroPad(long long number, int width) {
    // The zeros go before the whole decimal text, a minus sign included: -12 at width 4 is
    // "0-12", as the running time of a search reply shows a negative counter.
    std::string digits = std::to_string(number);
    long long room = static_cast<long long>(width) - static_cast<long long>(digits.size());
    size_t pad = static_cast<size_t>(std::clamp<long long>(room, 0, 16));
    return std::string(pad, '0') + digits;
}

std::string IpSortKey(std::string_view ip) {
    std::string key;
    size_t start = 0;
    for (int part = 0; part < 4; ++part) {
        std::string_view piece;
        if (start <= ip.size()) {
            size_t dot = ip.find('.', start);
            if (dot == std::string_view::npos) dot = ip.size();
            piece = ip.substr(start, dot - start);
            start = dot + 1;
        }
        long long value = ParseNumber(piece, 0);
        if (value < 0) value = 0;
        if (part) key += '.';
        key += ZeroPad(value, 3);
    }
    return key;
}

std::string MacDigits(std::string_view mac) {
    std::string out;
    out.reserve(mac.size());
    for (char c : mac)
        if (c != ':') out += c;
    return out;
}

std::string FileNameOf(std::string_view path) {
    size_t nameStart = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(path[i]);
        if (text::isLeadByte(b) && i + 1 < path.size()) {
            ++i;  // the trail byte may be "\" (0x5C) and is part of the character
            continue;
        }
        if (b == '\\' || b == '/' || b == ':') nameStart = i + 1;
    }
    return std::string(path.substr(nameStart));
}

long long ParseNumber(std::string_view text, long long fallback) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return fallback;
    // Accumulate negatively so that the most negative value still fits.
    long long value = 0;
    constexpr long long kMin = std::numeric_limits<long long>::min();
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (c < '0' || c > '9') return fallback;
        int digit = c - '0';
        if (value < (kMin + digit) / 10) return fallback;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == kMin) return fallback;
        value = -value;
    }
    return value;
}

long long LeadingNumber(std::string_view displayText, long long fallback) {
    return ParseNumber(displayText.substr(0, 3), fallback);
}

}  // namespace devlist
