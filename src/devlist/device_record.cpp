// The device record as a value: the bridge between a record line and named fields, used where
// code wants the whole record rather than one field.
#include "devlist/device_record.h"

#include "devlist/fields.h"

namespace devlist {

namespace {

// Byte `position` (1-based) of the flags is "1".
bool flagSet(std::string_view flags, size_t position) {
    return position >= 1 && position <= flags.size() && flags[position - 1] == '1';
}

size_t commaCount(std::string_view line) {
    size_t n = 0;
    for (char c : line)
        if (c == ',') ++n;
    return n;
}

}  // namespace

DeviceRecord DeviceRecord::fromLine(std::string_view line) {
    DeviceRecord r;
    r.no = FieldGet(kNo, line);
    r.flags = FieldGet(kFlags, line);
    r.listName = FieldGet(kListName, line);
    r.ipAddress = FieldGet(kIpAddress, line);
    r.httpPort = FieldGet(kHttpPort, line);
    r.telnetPort = FieldGet(kTelnetPort, line);
    r.macAddress = FieldGet(kMacAddress, line);
    r.modelVersion = FieldGet(kModelVersion, line);
    r.deviceName = FieldGet(kDeviceName, line);
    r.userId = FieldGet(kUserId, line);
    r.password = FieldGet(kPassword, line);
    r.sendFile = FieldGet(kSendFile, line);
    r.lastSend = FieldGet(kLastSend, line);
    r.message = FieldGet(kMessage, line);
    if (commaCount(line) >= kSaveName) r.saveName = FieldGet(kSaveName, line);
    return r;
}

std::string DeviceRecord::toLine() const {
    std::string out;
    for (const std::string* f :
         {&no, &flags, &listName, &ipAddress, &httpPort, &telnetPort, &macAddress, &modelVersion,
          &deviceName, &userId, &password, &sendFile, &lastSend, &message}) {
        if (f != &no) out += ',';
        out += *f;
    }
    return out;
}

bool IsGroupMember(std::string_view flags, int group) {
    if (group < 1 || group > 3) return false;
    return flagSet(flags, 4 + static_cast<size_t>(group));
}

bool IsChecked(std::string_view flags) {
    return flagSet(flags, 8);
}

}  // namespace devlist
