// The unit's clock and the PC's local time as a plain date-time record: calendar fields, the
// day of week and milliseconds, each in its own 16-bit field.
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

// The calendar of every date in the program (the unit's clock, the PC's, a time typed on the
// command line): the proleptic Gregorian calendar, with no time zone of its own.

// True for a date and time that exist: a year 1..9999, a day its month has, 0..23 hours,
// 0..59 minutes and seconds, milliseconds below 1000. The day of week is not looked at.
bool IsValidSysTime(const SysTime& t);
// Seconds since 1970-01-01 00:00:00 of the date and time as they stand (milliseconds
// ignored): the difference of two of them is the time between them in the same zone.
int64_t SysTimeSeconds(const SysTime& t);
// The time `seconds` later (or earlier), with the day of week filled in and the milliseconds
// kept. For a valid `t` only.
SysTime AddSeconds(const SysTime& t, int64_t seconds);

// The local time of this machine now.
SysTime GetLocalTime();
// The local time of a moment given in seconds since the epoch (milliseconds 0).
SysTime LocalTimeAt(int64_t epochSeconds);
