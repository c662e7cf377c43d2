#include "sms/SMS.h"

#include "base/Cp1250.h"
#include "sms/Recipients.h"

#include <cstdio>
#include <cstring>
#include <new>

namespace {

// A record is trusted only up to the sizes the store itself can hold.
constexpr uint32_t kMaxTextSize = SMS_MAX_TEXT + 1;
constexpr uint32_t kMaxNumberSize = SMS_MAX_NUMBER_LEN + 1;

// Bytes up to the first zero, at most `size` of them.
std::string_view UpToZero(const char* p, size_t size) {
    if (size == 0)
        return ""; // an empty view may carry no pointer, and the copies below need one
    return std::string_view(p, ::strnlen(p, size));
}

} // namespace

CSMS::CSMS(const uint8_t* reply, size_t replyLen) {
    if (!reply)
        replyLen = 0;
    if (replyLen > SMS_REPLY_MAX)
        replyLen = SMS_REPLY_MAX;
    uint8_t* const stamp[6] = {&m_nDay, &m_nMonth, &m_nYear, &m_nHour, &m_nMinute, &m_nSecond};
    for (size_t i = 0; i < 6; ++i)
        *stamp[i] = 4 + i < replyLen ? reply[4 + i] : 0;

    std::string_view number;
    std::string_view text;
    if (replyLen > 11) {
        const char* p = reinterpret_cast<const char*>(reply) + 11;
        const size_t left = replyLen - 11;
        number = UpToZero(p, left);
        if (number.size() < left) {
            const size_t textLeft = left - number.size() - 1;
            text = UpToZero(p + number.size() + 1, textLeft);
        }
    }
    SetNumber(number, 0);
    SetText(text);
}

CSMS::CSMS(const CSMS& other) {
    *this = other;
}

CSMS& CSMS::operator=(const CSMS& other) {
    if (this == &other)
        return *this;
    m_nDay = other.m_nDay;
    m_nMonth = other.m_nMonth;
    m_nYear = other.m_nYear;
    m_nHour = other.m_nHour;
    m_nMinute = other.m_nMinute;
    m_nSecond = other.m_nSecond;
    m_nFlags = other.m_nFlags;
    try {
        m_apszNumber = other.m_apszNumber;
    } catch (const std::bad_alloc&) {
        for (auto& n : m_apszNumber)
            n.reset();
    }
    if (other.GetText())
        SetText(other.GetText());
    else {
        m_pszText.reset();
        m_nTextSize = 0;
    }
    return *this;
}

void CSMS::SetTime(const SysTime& t) {
    m_nDay = static_cast<uint8_t>(t.wDay);
    m_nMonth = static_cast<uint8_t>(t.wMonth);
    m_nYear = static_cast<uint8_t>(t.wYear - 2000);
    m_nHour = static_cast<uint8_t>(t.wHour);
    m_nMinute = static_cast<uint8_t>(t.wMinute);
    m_nSecond = static_cast<uint8_t>(t.wSecond);
}

const char* CSMS::GetNumber(int i) const {
    if (i < 0 || i >= SMS_MAX_NUMBERS || !m_apszNumber[static_cast<size_t>(i)])
        return nullptr;
    return m_apszNumber[static_cast<size_t>(i)]->c_str();
}

int CSMS::GetNumberCount() const {
    int n = 0;
    while (n < SMS_MAX_NUMBERS && m_apszNumber[static_cast<size_t>(n)])
        ++n;
    return n;
}

int CSMS::AddNumber(std::string_view s) {
    s = UpToZero(s.data(), s.size());
    if (s.size() > SMS_MAX_NUMBER_LEN)
        s = s.substr(0, SMS_MAX_NUMBER_LEN);
    for (size_t i = 0; i < m_apszNumber.size(); ++i) {
        if (m_apszNumber[i])
            continue;
        try {
            m_apszNumber[i].emplace(s);
        } catch (const std::bad_alloc&) {
            return -1;
        }
        return static_cast<int>(i);
    }
    return -1;
}

void CSMS::SetNumber(std::string_view s, int i) {
    if (i < 0 || i >= SMS_MAX_NUMBERS)
        return;
    auto& slot = m_apszNumber[static_cast<size_t>(i)];
    if (!slot) {
        AddNumber(s);
        return;
    }
    s = UpToZero(s.data(), s.size());
    if (s.size() > SMS_MAX_NUMBER_LEN)
        s = s.substr(0, SMS_MAX_NUMBER_LEN);
    slot->assign(s); // never grows past 16 characters: the capacity is already there
}

void CSMS::RemoveNumber(int i) {
    if (i < 0 || i >= SMS_MAX_NUMBERS)
        return;
    for (size_t k = static_cast<size_t>(i); k + 1 < m_apszNumber.size(); ++k)
        m_apszNumber[k] = std::move(m_apszNumber[k + 1]);
    m_apszNumber.back().reset();
}

int CSMS::SetNumbers(std::string_view line) {
    const RecipientList list = ParseRecipients(line);
    if (list.error != RCPT_OK)
        return list.error;
    int k = 0;
    for (const std::string& number : list.numbers)
        SetNumber(number, k++);
    while (GetNumberCount() > k)
        RemoveNumber(k);
    return RCPT_OK;
}

const char* CSMS::SetText(std::string_view s) {
    s = UpToZero(s.data(), s.size());
    if (s.size() > SMS_MAX_TEXT)
        s = s.substr(0, SMS_MAX_TEXT);
    const uint32_t need = static_cast<uint32_t>(s.size()) + 1;
    if (m_pszText && need <= m_nTextSize && need + SMS_PART_LEN >= m_nTextSize) {
        std::memmove(m_pszText.get(), s.data(), s.size());
        m_pszText[s.size()] = '\0';
        return m_pszText.get();
    }
    const uint32_t size = need + (SMS_PART_LEN - need % SMS_PART_LEN) + 1;
    // s may point into the old buffer: copy before releasing it.
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size]);
    if (buffer) {
        std::memcpy(buffer.get(), s.data(), s.size());
        buffer[s.size()] = '\0';
    }
    m_pszText = std::move(buffer);
    m_nTextSize = m_pszText ? size : 0;
    return m_pszText.get();
}

size_t CSMS::GetTextLength() const {
    return m_pszText ? std::strlen(m_pszText.get()) : 0;
}

int CSMS::GetPartCount() const {
    return static_cast<int>((GetTextLength() + SMS_PART_LEN - 1) / SMS_PART_LEN);
}

void CSMS::SetUnread(bool unread) {
    if (unread)
        m_nFlags |= SMS_FLAG_UNREAD;
    else
        m_nFlags &= ~SMS_FLAG_UNREAD;
}

void CSMS::SetList(int list) {
    m_nFlags = (m_nFlags & SMS_FLAG_UNREAD) | (static_cast<uint32_t>(list) & SMS_FLAG_LIST);
}

int CSMS::Read(CByteReader& file) {
    uint8_t stamp[6];
    if (file.Read(stamp, sizeof stamp) != sizeof stamp)
        return 0;
    m_nDay = stamp[0];
    m_nMonth = stamp[1];
    m_nYear = stamp[2];
    m_nHour = stamp[3];
    m_nMinute = stamp[4];
    m_nSecond = stamp[5];
    if (!ReadU32LE(file, m_nFlags))
        return 0;

    // Sizes beyond what the store writes come from a damaged file: the record is not
    // trusted, so a wild size never turns into a huge allocation.
    uint32_t textSize = 0;
    if (!ReadU32LE(file, textSize) || textSize == 0 || textSize > kMaxTextSize)
        return 0;
    char text[kMaxTextSize];
    if (file.Read(text, textSize) != textSize)
        return 0;
    if (!SetText(UpToZero(text, textSize)))
        return 0;

    for (auto& n : m_apszNumber)
        n.reset();
    uint32_t count = 0;
    if (!ReadU32LE(file, count))
        return 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t size = 0;
        if (!ReadU32LE(file, size) || size == 0 || size > kMaxNumberSize)
            return 0;
        char number[kMaxNumberSize];
        if (file.Read(number, size) != size)
            return 0;
        if (i < SMS_MAX_NUMBERS)
            AddNumber(UpToZero(number, size));
    }
    return 1;
}

int CSMS::Write(CByteWriter& file) const {
    const uint8_t stamp[6] = {m_nDay, m_nMonth, m_nYear, m_nHour, m_nMinute, m_nSecond};
    bool ok = file.Write(stamp, sizeof stamp);
    ok = WriteU32LE(file, m_nFlags) && ok;
    const size_t length = GetTextLength();
    ok = WriteU32LE(file, static_cast<uint32_t>(length + 1)) && ok;
    ok = file.Write(m_pszText ? m_pszText.get() : "", length + 1) && ok;
    const int count = GetNumberCount();
    ok = WriteU32LE(file, static_cast<uint32_t>(count)) && ok;
    for (int i = 0; i < count; ++i) {
        const std::string& number = *m_apszNumber[static_cast<size_t>(i)];
        ok = WriteU32LE(file, static_cast<uint32_t>(number.size() + 1)) && ok;
        ok = file.Write(number.c_str(), number.size() + 1) && ok;
    }
    return ok ? 1 : 0;
}

int CSMS::WriteText(CByteWriter& file) const {
    char stamp[64];
    const int n = std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d  %d.%d.%d\t", m_nHour,
                                m_nMinute, m_nSecond, m_nDay, m_nMonth, 2000 + m_nYear);
    std::string line(stamp, static_cast<size_t>(n));
    const int count = GetNumberCount();
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            line += ", ";
        line += *m_apszNumber[static_cast<size_t>(i)];
    }
    line += '\t';
    if (m_pszText)
        line += m_pszText.get();
    line += "\r\n";
    return file.Write(line.data(), line.size()) ? 1 : 0;
}

int SmsTextFromUtf8(std::string_view utf8, std::string& out, std::string* bad) {
    std::string text;
    if (!tk::Utf8ToCp1250(utf8, text, bad))
        return SMS_INPUT_BAD_CHAR;
    // Line breaks are CR LF in the store, as the unit and the stored files have them, and
    // count as two characters; an editor that gives bare LF has them completed here.
    std::string cp1250;
    cp1250.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            cp1250 += '\r';
        cp1250 += text[i];
    }
    if (cp1250.size() > SMS_MAX_TEXT)
        return SMS_INPUT_TOO_LONG;
    out = std::move(cp1250);
    return SMS_INPUT_OK;
}
