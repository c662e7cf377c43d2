#include "base/CzechFormat.h"

#include <cmath>
#include <cstdio>

namespace tk {

std::string CzechDate(int year, int month, int day) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%d. %d. %d", day, month, year);
    return buf;
}

std::string CzechTime(int hour, int minute, int second) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", hour, minute, second);
    return buf;
}

std::string CzechDateTime(int year, int month, int day, int hour, int minute, int second) {
    return CzechDate(year, month, day) + ' ' + CzechTime(hour, minute, second);
}

std::string CzechDecimal(double value, int decimals) {
    if (!std::isfinite(value))
        return {};
    if (decimals < 0)
        decimals = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string text(buf);
    // printf follows the C locale, which the program never changes: its point is the one
    // separator to replace.
    for (char& c : text)
        if (c == '.')
            c = ',';
    if (text.size() > 1 && text[0] == '-' && text.find_first_not_of("-0,") == std::string::npos)
        text.erase(0, 1); // "-0,00" is no number a user would write
    return text;
}

} // namespace tk
