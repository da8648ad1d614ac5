// The local date and time, as the program stamps log lines and device runs with it.
#pragma once

#include <string>

namespace platform {

struct LocalTime {
    int year = 2000;  // four digits
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;     // 0..23
    int minute = 0;
    int second = 0;
    int utcOffsetSeconds = 0;  // how far the local time is ahead of UTC (east positive)
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual LocalTime now() = 0;
};

// The desktop's local clock (glibc localtime_r).
class SystemClock : public Clock {
public:
    LocalTime now() override;
};

// "yyyy/mm/dd", "yy/mm/dd" and "hh:nn:ss": 24-hour, leading zeros.
std::string dateText(const LocalTime& t);
std::string shortDateText(const LocalTime& t);
std::string timeText(const LocalTime& t);
// ISO 8601 with the offset, for readers in any time zone: "2024-05-06T07:08:09+09:00".
std::string isoText(const LocalTime& t);

}  // namespace platform
