// The unit's clock and the PC's local time as a plain date-time record with the fields of the
// original platform's system time structure.
#pragma once

#include <cstdint>

struct SysTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;     // 1..12
    uint16_t wDayOfWeek = 0; // 0 = Sunday
    uint16_t wDay = 0;       // 1..31
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;

    bool operator==(const SysTime&) const = default;
};

// The local time of this machine now.
SysTime GetLocalTime();
// The local time of a moment given in seconds since the epoch (milliseconds 0).
SysTime LocalTimeAt(int64_t epochSeconds);
