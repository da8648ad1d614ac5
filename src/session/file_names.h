// Names of the files a session writes into the work folder. Their parts come from untrusted
// text (the "保存名称" box, the MAC address and name that the device reports), so a name never
// leads out of the work folder.
#pragma once

#include <string>
#include <string_view>

namespace session {

// name with every byte that must not appear in a file name replaced by '_': path separators,
// control bytes, the bytes that other systems forbid in names (< > : " | ? *), each dot of a
// ".." and a lone lead byte at the end. A two-byte character is kept whole, even when its
// second byte is '\' or '|'.
std::string SafeFileName(std::string_view name);

std::string PreWriteDumpName(std::string_view saveName);   // saveName + "q1.txt"
std::string PostWriteDumpName(std::string_view saveName);  // saveName + "q2.txt"
std::string Log20Name(std::string_view macAddress);        // "QLX" + MAC digits + "l20.txt"
std::string CommLogName(std::string_view saveName);        // saveName + "R1.txt"

}  // namespace session
