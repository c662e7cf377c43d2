#include "status/SysTime.h"

#include <ctime>
#include <sys/time.h>

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
