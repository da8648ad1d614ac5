#include "platform/clock.h"

#include <cstdio>
#include <ctime>

namespace platform {

LocalTime SystemClock::now() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
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

}  // namespace platform
