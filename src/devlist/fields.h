// Field accessors of a device record line. A record is one line of code page 932 bytes whose
// fields are separated by a single ","; there is no quoting. Positions count bytes.
#pragma once

#include <string>
#include <string_view>

namespace devlist {

constexpr int kMaxRecords = 999;
// A record holds at most this many bytes after its number field and the comma after it.
constexpr size_t kRecordCut = 255;

enum Field : int {
    kNo = 0,
    kFlags,
    kListName,
    kIpAddress,
    kHttpPort,
    kTelnetPort,
    kMacAddress,
    kModelVersion,
    kDeviceName,
    kUserId,
    kPassword,
    kSendFile,
    kLastSend,
    kMessage,
    kSaveName,  // optional 15th field
};

// Field n (0-based) of line; "" when missing or when it does not end within the 255 bytes
// after the first comma.
std::string FieldGet(int n, std::string_view line);
// The same field as a view into line, for scans that must not allocate.
std::string_view FieldView(int n, std::string_view line);
// line with field n replaced; unchanged when the line has fewer than n+1 fields. No length cut.
std::string FieldSet(int n, std::string_view value, std::string_view line);
// Decimal text of number (with its minus sign) left-padded with "0" to width bytes, at most 16
// of them; a longer text is kept whole.
std::string ZeroPad(long long number, int width);
// "a.b.c.d" as four 3-digit groups joined by ".", for sorting.
std::string IpSortKey(std::string_view ip);
// mac without its ":".
std::string MacDigits(std::string_view mac);
// The file-name part of a path: after the last "\", "/" or drive ":" (two-byte characters
// whose second byte is "\" are not separators).
std::string FileNameOf(std::string_view path);
// A decimal number read from text (optional sign, digits only); fallback otherwise.
long long ParseNumber(std::string_view text, long long fallback);
// The record number at the start of a display line (its first 3 bytes); fallback otherwise.
long long LeadingNumber(std::string_view displayText, long long fallback = 0);

}  // namespace devlist
