// Checks shared by the SMS fuzz targets.
#pragma once

#include "tests/fuzz/FuzzCheck.h"

#include "sms/SMS.h"

#include <cstring>

// What every message must satisfy, however it was made: at most four numbers of at most 16
// characters, filled from slot 0 on; a text of at most 640 characters inside its buffer.
inline void CheckMessage(const CSMS& sms) {
    const int count = sms.GetNumberCount();
    FUZZ_CHECK(count >= 0 && count <= SMS_MAX_NUMBERS);
    for (int i = 0; i < SMS_MAX_NUMBERS; ++i) {
        const char* number = sms.GetNumber(i);
        FUZZ_CHECK((number != nullptr) == (i < count));
        if (number)
            FUZZ_CHECK(std::strlen(number) <= SMS_MAX_NUMBER_LEN);
    }
    FUZZ_CHECK(sms.GetNumber(-1) == nullptr && sms.GetNumber(SMS_MAX_NUMBERS) == nullptr);
    const size_t length = sms.GetTextLength();
    FUZZ_CHECK(length <= SMS_MAX_TEXT);
    if (sms.GetText()) {
        FUZZ_CHECK(length < sms.GetTextSize());
        FUZZ_CHECK(std::strlen(sms.GetText()) == length);
    } else {
        FUZZ_CHECK(length == 0 && sms.GetTextSize() == 0);
    }
    FUZZ_CHECK(sms.GetPartCount() == static_cast<int>((length + SMS_PART_LEN - 1) / SMS_PART_LEN));
    FUZZ_CHECK(sms.GetPartCount() <= 4);
}

inline bool SameText(const char* a, const char* b) {
    return (a == nullptr) == (b == nullptr) && (a == nullptr || std::strcmp(a, b) == 0);
}

// Equal as the store keeps them: time stamp, flags, numbers and text.
inline bool SameMessage(const CSMS& a, const CSMS& b) {
    if (a.m_nDay != b.m_nDay || a.m_nMonth != b.m_nMonth || a.m_nYear != b.m_nYear ||
        a.m_nHour != b.m_nHour || a.m_nMinute != b.m_nMinute || a.m_nSecond != b.m_nSecond ||
        a.GetFlags() != b.GetFlags() || a.GetNumberCount() != b.GetNumberCount())
        return false;
    for (int i = 0; i < a.GetNumberCount(); ++i) {
        if (!SameText(a.GetNumber(i), b.GetNumber(i)))
            return false;
    }
    return SameText(a.GetText(), b.GetText());
}
