// The settings file in the manner of the Windows profile functions: sections "[name]" and
// "key=value" lines, names matched without regard to letter case, values as stored text.
// Writing replaces a key's line in place and keeps every other line; a missing section or
// key is added. The text is code page 932 bytes, lines end in CR LF when written.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fleet {

class Profile {
public:
    // Parses the bytes of a settings file; any bytes are accepted (lines that are neither a
    // section nor a key are kept and ignored).
    static Profile fromBytes(std::string_view bytes);
    std::string toBytes() const;

    // The value text with blanks around it removed; nullopt when the section or key is missing.
    std::optional<std::string> readString(std::string_view section, std::string_view key) const;
    std::string readString(std::string_view section, std::string_view key,
                           std::string_view fallback) const;
    // Decimal; "0x"/"0X" followed by hex digits (text longer than 2) is hexadecimal; anything
    // else, or a missing key, gives the fallback.
    int readInteger(std::string_view section, std::string_view key, int fallback) const;
    // An integer with fallback 1 or 0; any non-zero value is true.
    bool readBool(std::string_view section, std::string_view key, bool fallback) const;

    void writeString(std::string_view section, std::string_view key, std::string_view value);
    void writeInteger(std::string_view section, std::string_view key, int value);
    void writeBool(std::string_view section, std::string_view key, bool value);

private:
    std::vector<std::string> m_lines;  // without their line ends
};

}  // namespace fleet
