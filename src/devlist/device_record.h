// One device: the 14 fields of a record line and the optional 15th, with their defaults.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace devlist {

// Flags, by byte: 1 "F" record marker; 2-4 reserved "000"; 5-7 group 1-3 ("1" = member);
// 8 check mark ("1" = checked).
constexpr std::string_view kDefaultFlags = "F0000000";

struct DeviceRecord {
    std::string no;
    std::string flags{kDefaultFlags};
    std::string listName{"no name"};
    std::string ipAddress{"0.0.0.0"};
    std::string httpPort{"80"};
    std::string telnetPort{"23"};
    std::string macAddress{"00:ee:80:00:00:00"};
    std::string modelVersion;
    std::string deviceName;
    std::string userId{"admin"};
    std::string password{"plume"};
    std::string sendFile{"defalt.txt"};
    std::string lastSend;
    std::string message;
    std::optional<std::string> saveName;  // the 15th field, when the line has one

    // Reads every field with FieldGet.
    static DeviceRecord fromLine(std::string_view line);
    // The 14 fields joined with "," (13 commas, no trailing comma); the 15th is never written.
    std::string toLine() const;
};

bool IsGroupMember(std::string_view flags, int group);  // group 1..3
bool IsChecked(std::string_view flags);

}  // namespace devlist
