#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace platform {

LocalTime SystemClock::now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900,
            tm.tm_mon + 1,
            tm.tm_mday,
            tm.tm_hour,
            tm.tm_min,
            tm.tm_sec,
            static_cast<int>(tm.tm_gmtoff)};
}

namespace {
std::string threeParts(const char* format, int a, int b, int c) {
    char buf[48];
    std::snprintf(buf, sizeof buf, format, a, b, c);
    return buf;
}
}  // namespace

std::string dateText(const LocalTime& t) {
    return threeParts("%04d/%02d/%02d", t.year, t.month, t.day);
}
std::string shortDateText(const LocalTime& t) {
    return threeParts("%02d/%02d/%02d", ((t.year % 100) + 100) % 100, t.month, t.day);
}
std::string timeText(const LocalTime& t) {
    return threeParts("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

std::string isoText(const LocalTime& t) {
    const int offset = t.utcOffsetSeconds < 0 ? -t.utcOffsetSeconds : t.utcOffsetSeconds;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.utcOffsetSeconds < 0 ? '-' : '+',
                  offset / 3600, offset / 60 % 60);
    return buf;
}

}  // namespace platform
