#include "status/SysTime.h"

#include <chrono>
#include <ctime>
#include <sys/time.h>

namespace {

std::chrono::sys_days DaysOf(const SysTime& t) {
    using namespace std::chrono;
    return sys_days{year{t.wYear} / month{t.wMonth} / day{t.wDay}};
}

} // namespace

bool IsValidSysTime(const SysTime& t) {
    using namespace std::chrono;
    const year_month_day ymd{year{t.wYear}, month{t.wMonth}, day{t.wDay}};
    return t.wYear >= 1 && t.wYear <= 9999 && ymd.ok() && t.wHour < 24 && t.wMinute < 60 &&
           t.wSecond < 60 && t.wMilliseconds < 1000;
}

int64_t SysTimeSeconds(const SysTime& t) {
    const int64_t days = DaysOf(t).time_since_epoch().count();
    return days * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
}

SysTime AddSeconds(const SysTime& t, int64_t seconds) {
    using namespace std::chrono;
    const sys_seconds when = DaysOf(t) + hours{t.wHour} + minutes{t.wMinute} +
                             std::chrono::seconds{t.wSecond} + std::chrono::seconds{seconds};
    const auto dayPoint = floor<days>(when);
    const year_month_day ymd{dayPoint};
    const hh_mm_ss hms{when - dayPoint};
    SysTime out;
    out.wYear = static_cast<uint16_t>(static_cast<int>(ymd.year()));
    out.wMonth = static_cast<uint16_t>(static_cast<unsigned>(ymd.month()));
    out.wDay = static_cast<uint16_t>(static_cast<unsigned>(ymd.day()));
    out.wDayOfWeek = static_cast<uint16_t>(weekday{dayPoint}.c_encoding());
    out.wHour = static_cast<uint16_t>(hms.hours().count());
    out.wMinute = static_cast<uint16_t>(hms.minutes().count());
    out.wSecond = static_cast<uint16_t>(hms.seconds().count());
    out.wMilliseconds = t.wMilliseconds;
    return out;
}

SysTime GetLocalTime() {
    struct timeval tv {};
    ::gettimeofday(&tv, nullptr);
    SysTime t = LocalTimeAt(tv.tv_sec);
    t.wMilliseconds = static_cast<uint16_t>(tv.tv_usec / 1000);
    return t;
}

SysTime LocalTimeAt(int64_t epochSeconds) {
    struct tm tm {};
    const time_t secs = static_cast<time_t>(epochSeconds);
    ::localtime_r(&secs, &tm);
    SysTime t;
    t.wYear = static_cast<uint16_t>(tm.tm_year + 1900);
    t.wMonth = static_cast<uint16_t>(tm.tm_mon + 1);
    t.wDayOfWeek = static_cast<uint16_t>(tm.tm_wday);
    t.wDay = static_cast<uint16_t>(tm.tm_mday);
    t.wHour = static_cast<uint16_t>(tm.tm_hour);
    t.wMinute = static_cast<uint16_t>(tm.tm_min);
    t.wSecond = static_cast<uint16_t>(tm.tm_sec);
    return t;
}
