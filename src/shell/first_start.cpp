#include "shell/first_start.h"

#include "platform/files.h"
#include "text/cp932.h"

namespace shell {

std::optional<std::string> FirstStartNote(const std::string& listFilePath,
                                          const std::filesystem::path& currentFolder) {
    if (platform::fileExists(listFilePath) || platform::directoryExists(listFilePath)) {
        return std::nullopt;
    }
    // The path as code page 932 text; a folder it cannot hold is left out of the line.
    std::string shown = listFilePath;
    if (shown.empty() || shown.front() != '/') {
        std::filesystem::path absolute = currentFolder / text::toPath(listFilePath);
        if (auto whole = text::encode(absolute.lexically_normal().native())) shown = *whole;
    }
    return text::sj("リストファイル ") + shown +
           text::sj(
               " はまだありません。機器は「List編集」で追加するか、「List編集」の"
               "「LAN上 検索」で見つけて登録してください。");
}

}  // namespace shell
