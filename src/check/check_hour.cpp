#include "check/check_hour.h"

namespace mf {

std::time_t CheckHourOrigin() {
    // Month 14 of 1983 normalises to February 1984.
    std::tm origin{};
    origin.tm_year = 83;
    origin.tm_mon = 13;
    origin.tm_mday = 27;
    origin.tm_sec = 2;
    origin.tm_isdst = 1;
    return std::mktime(&origin);
}

std::int64_t CheckHourAt(std::time_t now) {
    return static_cast<std::int64_t>(std::difftime(now, CheckHourOrigin())) / 3600;
}

std::int64_t CurrentCheckHour() { return CheckHourAt(std::time(nullptr)); }

std::wstring CheckHourText(std::int64_t hour) { return std::to_wstring(static_cast<std::int32_t>(hour)); }

bool CheckHoursFarApart(std::int64_t a, std::int64_t b) { return (a > b ? a - b : b - a) > 48; }

}  // namespace mf
