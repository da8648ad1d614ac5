// Whole-file reads and writes. Paths are code page 932 bytes as the program holds them; they are
// converted to the file system's names here. Writes replace the file atomically (a temporary
// file beside it, then a rename), so a crash or a full disk never leaves half a file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool fileExists(std::string_view path);  // a regular file (or a link to one)
bool directoryExists(std::string_view path);
// Creates the folder with every missing parent; true when it exists afterwards.
bool createDirectories(std::string_view path);
// The whole file, or nullopt when it cannot be read (missing, a folder, no permission).
std::optional<std::string> readFile(std::string_view path);
// Replaces the file with bytes; false when that failed (the old file is then untouched).
bool writeFileAtomic(std::string_view path, std::string_view bytes);
// The running program's own file path.
std::string programPath();
// Folder part with its trailing separator ("a/b/" for "a/b/c"), and the name after it; a
// backslash counts as a separator too, as do the lead-byte rules of code page 932.
std::string folderPart(std::string_view path);
std::string namePart(std::string_view path);

}  // namespace platform
