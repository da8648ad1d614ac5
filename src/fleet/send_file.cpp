#include "fleet/send_file.h"

#include "devlist/fields.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace fleet {

std::string SendFilePath(int sendMethod, const std::string& commonFile,
                         const std::string& recordFile) {
    if (sendMethod == 0) return commonFile;
    if (sendMethod == 1) return recordFile;
    return {};
}

std::string MissingSendFileText(const std::string& path) {
    return text::sj("送信ファイル ") + path + text::sj(" が見つかりません。");
}

SendFileLoad LoadSendFile(const std::string& path, bool checkMode) {
    SendFileLoad load;
    std::optional<std::string> bytes;
    if (!path.empty()) bytes = platform::readFile(path);
    if (bytes) {
        load.lines = session::LoadSendStore(*bytes, checkMode);
    } else if (!checkMode) {
        load.missing = MissingSendFileText(path);
    }
    return load;
}

ReportRow NotServedRow(int number, const std::string& record, const platform::LocalTime& now,
                       const std::string& reason) {
    ReportRow row;
    row.number = number;
    row.name = devlist::FieldGet(devlist::kListName, record);
    row.address = devlist::FieldGet(devlist::kIpAddress, record);
    row.port = session::TelnetPortOf(devlist::FieldGet(devlist::kTelnetPort, record));
    row.start = now;
    row.end = now;
    row.message = reason;
    return row;
}

}  // namespace fleet
