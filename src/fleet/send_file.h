// Which settings file a send streams to a device, and what a send does when it is not there.
// A send that connected without its settings would stream nothing and still end as
// "#000 OK 正常送信": the device is not served at all instead, in both front ends.
#pragma once

#include <string>

#include "fleet/run_report.h"
#include "platform/clock.h"
#include "session/send_store.h"

namespace fleet {

// The common file ("共通", 0), the record's own "送信ファイル" (1), or none (any other choice).
std::string SendFilePath(int sendMethod, const std::string& commonFile,
                         const std::string& recordFile);

struct SendFileLoad {
    session::SendLines lines;
    // Non-empty when a send cannot go ahead: "送信ファイル %s が見つかりません。", code page 932.
    std::string missing;
};

// The lines a device is sent. A check never streams the file, so a missing one is no fault
// there; a send needs a file that can be read.
SendFileLoad LoadSendFile(const std::string& path, bool checkMode);

std::string MissingSendFileText(const std::string& path);

// The report row of a device that was not served: its record's name, address and port, no
// time spent, and why.
ReportRow NotServedRow(int number, const std::string& record, const platform::LocalTime& now,
                       const std::string& reason);

}  // namespace fleet
