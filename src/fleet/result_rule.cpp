#include "fleet/result_rule.h"

#include <algorithm>

#include "devlist/fields.h"
#include "text/cp932.h"

namespace fleet {
namespace {

// The commas of a 14-field record.
constexpr size_t kRecordCommas = devlist::kMessage;

}  // namespace

std::optional<std::string> ResultMessage(const Outcome& o) {
    switch (o.result) {
        case session::kResultOk:
            return text::sj("#000 OK 正常送信") + (o.resetPending ? "(CPURESET)" : "");
        case session::kResultLoginError:
            return std::string("#104 NG ID/PASS Login Error");
        case session::kResultTimeOut:
            return std::string("#404 NG Time Out");
        case session::kResultExists:
            return std::string("#108 NG already exists.");
        case session::kResultTextCut:
            return std::string("#507 NG Text Cut");
        case session::kResultSaveFailed:
            return std::string("#508 NG File Save Error");
        case session::kResultFailure: {
            // The reply's line break became blanks; the list, the report and the progress line
            // show the text without them.
            std::string message =
                "#421 NG " + session::RecordValue(o.failureText, session::kFailureTextBytes);
            message.erase(message.find_last_not_of(' ') + 1);
            return message;
        }
        default:
            return std::nullopt;
    }
}

bool IsSuccessMessage(std::string_view message) {
    return message.starts_with("#000");
}

std::string ApplyOutcome(std::string_view line, const Outcome& o) {
    std::string out(line);
    size_t commas = static_cast<size_t>(std::count(out.begin(), out.end(), ','));
    if (commas < kRecordCommas) out.append(kRecordCommas - commas, ',');
    auto set = [&out](int field, const std::string& value) {
        out = devlist::FieldSet(field, value, out);
    };
    if (o.modelVersion)
        set(devlist::kModelVersion, session::RecordValue(*o.modelVersion, session::kVersionBytes));
    if (o.macAddress)
        set(devlist::kMacAddress, session::RecordValue(*o.macAddress, session::kMacBytes));
    if (o.deviceName)
        set(devlist::kDeviceName, session::RecordValue(*o.deviceName, session::kNameBytes));
    set(devlist::kLastSend, o.lastSend);
    if (auto message = ResultMessage(o)) set(devlist::kMessage, *message);
    return out;
}

std::string ResultLine(std::string_view line, int place, const Outcome& outcome,
                       Numbering numbering) {
    const size_t mark = line.find(",F");
    const bool shifted = line.find(',') != mark;
    if (numbering == Numbering::KeepNumber ? !shifted : mark == std::string_view::npos)
        return ApplyOutcome(line, outcome);
    // A line without ",F" keeps none of its fields but the number.
    const std::string_view body = mark == std::string_view::npos ? "," : line.substr(mark);
    return ApplyOutcome(devlist::ZeroPad(place + 1, 3) + std::string(body), outcome);
}

}  // namespace fleet
