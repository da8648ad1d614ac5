// Code page 932 (Shift-JIS with the vendor extensions) at the boundary of the program.
// Everything inside the program is bytes in code page 932; these helpers turn such bytes into
// UTF-8 for showing them and for naming files, and typed UTF-8 back into code page 932.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// UTF-8 for display. Never fails: every byte that does not start a valid character becomes
// U+FFFD, one mark per byte, and decoding goes on with the next byte.
std::string decode(std::string_view cp932);
// The same with another mark in place of U+FFFD.
std::string decode(std::string_view cp932, std::string_view mark);

// Code page 932 for text the operator typed; nullopt when a character has no code there.
std::optional<std::string> encode(std::string_view utf8);

// The program's own fixed texts, written as UTF-8 in the source; they are always encodable.
std::string sj(std::string_view utf8);

// The text with every byte that does not start a valid character (and a lone lead byte) replaced
// by mark, so that the result is valid code page 932 for any reader; valid characters stay byte
// for byte.
std::string validOnly(std::string_view cp932, char mark);

// The text with each control byte (below 0x20, and 0x7F) written as the four characters "\xNN",
// so that printing it cannot move a terminal's cursor, recolour it or retitle its window. The
// two bytes of a character stay together.
std::string escapeControls(std::string_view cp932);

// True when the byte starts a two-byte character.
bool isLeadByte(unsigned char b);
// True for a byte that may follow a lead byte (0x40-0xFC without 0x7F).
bool isTrailByte(unsigned char b);

// True when every byte belongs to a character code page 932 defines.
bool isCp932(std::string_view bytes);
// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates, at most
// U+10FFFF).
bool isUtf8(std::string_view bytes);

// Where a text names a file: the name the file system knows (UTF-8 on this platform).
// Bytes that are not valid code page 932 are kept as they are.
std::filesystem::path toPath(std::string_view cp932);
std::string fromPath(const std::filesystem::path& path);

// Decodes a stream that arrives in pieces: a lead byte at the end of one piece waits for its
// trail byte in the next.
class StreamDecoder {
public:
    std::string feed(std::string_view piece);
    std::string finish();

private:
    std::string m_pending;
};

}  // namespace text
