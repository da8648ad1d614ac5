// Reads and rewrites the settings file line by line. The file may have been edited by hand, so
// every line the program does not own (comments, other sections, keys it never writes, odd
// spacing) is kept byte for byte; only the line of a written key is replaced, and missing
// keys and sections are added where a person would look for them.
//
// Names are matched without regard to ASCII letter case, but the text is code page 932: the
// second byte of a two-byte character can look like an ASCII letter or like "]", so every
// scan steps over whole characters.
#include "fleet/profile.h"

#include <climits>
#include <cstddef>

#include "text/cp932.h"

namespace fleet {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal when they differ only in the case of ASCII letters that stand as characters of their
// own; both bytes of a two-byte character must match exactly.
bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (text::isLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
            continue;
        }
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

// The name of a section header line, or nullopt when the line is not one. The name ends at
// the last "]" that is a character of its own; whatever follows it is ignored.
std::optional<std::string_view> sectionName(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    std::optional<std::size_t> close;
    for (std::size_t i = 1; i < t.size(); ++i) {
        if (text::isLeadByte(static_cast<unsigned char>(t[i])) && i + 1 < t.size()) {
            ++i;
        } else if (t[i] == ']') {
            close = i;
        }
    }
    if (!close) return std::nullopt;
    return trim(t.substr(1, *close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

// A "key=value" line split at its first "=" ("=" never occurs inside a two-byte character).
std::optional<KeyLine> keyLine(std::string_view line) {
    std::string_view t = trim(line);
    if (t.empty() || t.front() == ';') return std::nullopt;
    std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyLine{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
}

std::string_view unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
        return v.substr(1, v.size() - 2);
    }
    return v;
}

// A name or value with a line break would split into several lines and could forge keys or
// sections; only the text before the first break is stored.
std::string_view firstLine(std::string_view s) {
    return s.substr(0, s.find_first_of("\r\n"));
}

std::optional<int> parseInteger(std::string_view s) {
    long long value = 0;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        for (char c : s.substr(2)) {
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                return std::nullopt;
            }
            value = value * 16 + digit;
            if (value > INT_MAX) return std::nullopt;
        }
        return static_cast<int>(value);
    }
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return std::nullopt;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

struct Position {
    std::optional<std::size_t> section;  // index of the header line
    std::size_t end = 0;                 // one past the section's last line
    std::optional<std::size_t> key;      // index of the key's line
};

Position locate(const std::vector<std::string>& lines, std::string_view section,
                std::string_view key) {
    Position pos;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string_view> name = sectionName(lines[i]);
        if (pos.section) {
            if (name) break;
            pos.end = i + 1;
            if (!pos.key) {
                std::optional<KeyLine> kl = keyLine(lines[i]);
                if (kl && sameName(kl->key, key)) pos.key = i;
            }
        } else if (name && sameName(*name, section)) {
            pos.section = i;
            pos.end = i + 1;
        }
    }
    return pos;
}

}  // namespace

Profile Profile::fromBytes(std::string_view bytes) {
    Profile p;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t brk = bytes.find_first_of("\r\n", start);
        if (brk == std::string_view::npos) {
            p.m_lines.emplace_back(bytes.substr(start));
            break;
        }
        p.m_lines.emplace_back(bytes.substr(start, brk - start));
        start = brk + 1;
        if (bytes[brk] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
    }
    return p;
}

std::string Profile::toBytes() const {
    std::size_t size = 0;
    for (const std::string& line : m_lines) size += line.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string& line : m_lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::optional<std::string> Profile::readString(std::string_view section,
                                               std::string_view key) const {
    Position pos = locate(m_lines, section, key);
    if (!pos.key) return std::nullopt;
    return std::string(unquote(keyLine(m_lines[*pos.key])->value));
}

std::string Profile::readString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
    std::optional<std::string> v = readString(section, key);
    return v ? *v : std::string(fallback);
}

int Profile::readInteger(std::string_view section, std::string_view key, int fallback) const {
    std::optional<std::string> v = readString(section, key);
    if (!v) return fallback;
    return parseInteger(*v).value_or(fallback);
}

bool Profile::readBool(std::string_view section, std::string_view key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

void Profile::writeString(std::string_view section, std::string_view key, std::string_view value) {
    section = firstLine(section);
    key = firstLine(key);
    std::string line = std::string(key) + "=" + std::string(firstLine(value));

    Position pos = locate(m_lines, section, key);
    if (pos.key) {
        m_lines[*pos.key] = std::move(line);
        return;
    }
    if (pos.section) {
        // After the section's last non-blank line, so that a blank line separating it from
        // the next section stays where it is.
        std::size_t at = pos.end;
        while (at > *pos.section + 1 && trim(m_lines[at - 1]).empty()) --at;
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        return;
    }
    if (!m_lines.empty() && !trim(m_lines.back()).empty()) m_lines.emplace_back();
    m_lines.push_back("[" + std::string(section) + "]");
    m_lines.push_back(std::move(line));
}

void Profile::writeInteger(std::string_view section, std::string_view key, int value) {
    writeString(section, key, std::to_string(value));
}

void Profile::writeBool(std::string_view section, std::string_view key, bool value) {
    writeString(section, key, value ? "1" : "0");
}

}  // namespace fleet
