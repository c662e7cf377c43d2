// The texts the windows show for dates, times and decimal numbers.
#include "base/CzechFormat.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(CzechFormat, DatesTimesAndDecimalsAreWrittenTheCzechWay) {
    EXPECT_EQ(tk::CzechDate(2026, 12, 9), "9. 12. 2026");
    EXPECT_EQ(tk::CzechDate(2008, 1, 31), "31. 1. 2008");
    EXPECT_EQ(tk::CzechTime(7, 36, 43), "7:36:43");
    EXPECT_EQ(tk::CzechTime(0, 0, 5), "0:00:05");
    EXPECT_EQ(tk::CzechTime(23, 59, 59), "23:59:59");
    EXPECT_EQ(tk::CzechDateTime(2026, 12, 7, 9, 30, 0), "7. 12. 2026 9:30:00");

    const struct {
        double value;
        int decimals;
        const char* text;
    } decimals[] = {
        {250.5, 2, "250,50"},
        {0.1, 1, "0,1"},
        {-3.456, 2, "-3,46"},
        {1234567.0, 2, "1234567,00"}, // no grouping that would read as two numbers
        {-0.001, 2, "0,00"},          // no minus before a zero
        {7.0, 0, "7"},
        {2.5, -1, "2"},
        {NAN, 2, ""},
        {INFINITY, 2, ""},
        {-INFINITY, 1, ""},
    };
    for (const auto& d : decimals)
        EXPECT_EQ(tk::CzechDecimal(d.value, d.decimals), d.text) << d.value << " " << d.decimals;
}
