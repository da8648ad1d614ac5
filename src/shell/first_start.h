// The note a first start leaves in the communication log: with no list file yet, the window
// shows an empty list and nothing says where the list is looked for or how devices get into
// it.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace shell {

// The log line (code page 932) when no list file exists at listFilePath, else nothing. A
// relative path is shown inside currentFolder, where the program looks for it.
std::optional<std::string> FirstStartNote(const std::string& listFilePath,
                                          const std::filesystem::path& currentFolder);

}  // namespace shell
