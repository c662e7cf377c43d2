// How the windows write dates, times and decimal numbers: the Czech way ("9. 12. 2026",
// "7:36:43", "250,50", "0,1 s"), one place for every pane and dialog so that no field falls
// back to the points and month names of an English locale. Files and the line keep their own
// formats; these texts are only shown. UTF-8 (all ASCII).
#pragma once

#include <string>

namespace tk {

// "9. 12. 2026": day and month without a leading zero, separated by a dot and a space.
std::string CzechDate(int year, int month, int day);
// "7:36:43": the hour without a leading zero, minutes and seconds with one.
std::string CzechTime(int hour, int minute, int second);
// "9. 12. 2026 7:36:43".
std::string CzechDateTime(int year, int month, int day, int hour, int minute, int second);
// `value` rounded to `decimals` places with a decimal comma: "250,50", "-3,46", "0,1"; no
// grouping of thousands. Empty for NaN and infinities (no number to show).
std::string CzechDecimal(double value, int decimals);

// The patterns for Qt's date and time edits, matching the texts above.
inline constexpr const char* kCzechDatePattern = "d. M. yyyy";
inline constexpr const char* kCzechTimePattern = "H:mm:ss";

} // namespace tk
