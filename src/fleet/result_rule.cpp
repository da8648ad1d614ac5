#include "fleet/result_rule.h"

#include <algorithm>

#include "devlist/fields.h"
#include "text/cp932.h"

namespace fleet {
namespace {

bool isTrailByte(unsigned char b) {
    return b >= 0x40 && b <= 0xfc && b != 0x7f;
}

// The commas of a 14-field record.
constexpr size_t kRecordCommas = devlist::kMessage;

}  // namespace

std::string RecordSafe(std::string_view text, size_t maxBytes) {
    std::string out;
    out.reserve(std::min(text.size(), maxBytes));
    for (size_t i = 0; i < text.size();) {
        auto b = static_cast<unsigned char>(text[i]);
        if (text::isLeadByte(b) && i + 1 < text.size() &&
            isTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            if (out.size() + 2 > maxBytes) break;
            out.append(text.substr(i, 2));
            i += 2;
            continue;
        }
        if (out.size() + 1 > maxBytes) break;
        bool blank = b < 0x20 || b == 0x7f || b == ',' || text::isLeadByte(b);
        out += blank ? ' ' : static_cast<char>(b);
        ++i;
    }
    return out;
}

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
        case session::kResultFailure:
            // The device's reply ends at its line's end, as the window records it.
            return "#421 NG " +
                   RecordSafe(o.failureText.substr(0, o.failureText.find_first_of("\r\n")),
                              kFailureTextBytes);
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
    if (o.modelVersion) set(devlist::kModelVersion, RecordSafe(*o.modelVersion, kVersionBytes));
    if (o.macAddress) set(devlist::kMacAddress, RecordSafe(*o.macAddress, kMacBytes));
    if (o.deviceName) set(devlist::kDeviceName, RecordSafe(*o.deviceName, kNameBytes));
    set(devlist::kLastSend, o.lastSend);
    if (auto message = ResultMessage(o)) set(devlist::kMessage, *message);
    return out;
}

}  // namespace fleet
