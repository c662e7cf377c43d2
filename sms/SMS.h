// One SMS message: its time stamp, the unread bit and the list that holds it, up to four
// phone numbers and the text. Texts and numbers are CP1250 bytes, one byte per character.
#pragma once

#include "sms/ByteStream.h"
#include "status/SysTime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The three lists of the store.
inline constexpr int SMS_RECEIVED = 0; // "Přijaté"
inline constexpr int SMS_SENT = 1;     // "Odeslané"
inline constexpr int SMS_TOSEND = 2;   // "K odeslání"
inline constexpr int SMS_LIST_COUNT = 3;

inline constexpr int SMS_LIST_MAX = 5;           // messages in one list
inline constexpr int SMS_MAX_NUMBERS = 4;        // numbers of one message
inline constexpr size_t SMS_PART_LEN = 160;      // characters of one sent part
inline constexpr size_t SMS_MAX_TEXT = 640;      // characters of a whole text (4 parts)
inline constexpr size_t SMS_MAX_NUMBER_LEN = 16; // characters of one number
inline constexpr size_t SMS_REPLY_MAX = 188;     // bytes of a stored-message reply

inline constexpr uint32_t SMS_FLAG_UNREAD = 0x80000000u;
inline constexpr uint32_t SMS_FLAG_LIST = 0x7FFFFFFFu;

class CSMS {
public:
    // No numbers, no text, unread, list 0, time stamp 1.1.2000 0:00:00.
    CSMS() = default;
    // From a stored-message reply of the unit (header included), at most 188 bytes: the time
    // stamp from bytes 4..9, the sender from byte 11, then the text. A number or text that is
    // not terminated within the reply ends with the reply. The sender always takes slot 0,
    // even when empty. Unread.
    CSMS(const uint8_t* reply, size_t replyLen);
    CSMS(const CSMS& other);
    CSMS& operator=(const CSMS& other);
    ~CSMS() = default;

    // Day, month, year - 2000 (kept modulo 256), hour, minute and second.
    void SetTime(const SysTime& t);

    // The number in slot i, or nullptr when i is out of range or the slot is empty.
    const char* GetNumber(int i) const;
    // Filled slots counted from slot 0 up to the first empty one.
    int GetNumberCount() const;
    // Stores a copy of s (at most 16 characters; a longer one is cut) in the first empty
    // slot. The slot index, or -1 when four numbers are held or memory is exhausted.
    int AddNumber(std::string_view s);
    // Replaces the number in slot i; an empty slot i gets s through AddNumber (so it lands in
    // the first empty slot). i out of range: nothing.
    void SetNumber(std::string_view s, int i);
    // Frees slot i and moves the later numbers one slot down.
    void RemoveNumber(int i);
    // Takes the numbers of a recipient line as people write it (sms/Recipients.h: "," ";"
    // or a line break between recipients, blanks, dashes, dots and brackets dropped); surplus
    // numbers held before are removed. RCPT_OK, or the line's fault: the numbers are then
    // left as they were, so nothing is sent to a number nobody meant.
    int SetNumbers(std::string_view line);

    // Copies the text (up to its first zero byte, at most 640 characters). The stored text,
    // or nullptr when no buffer could be had (the message then has no text).
    const char* SetText(std::string_view s);
    // The text, or nullptr before the first SetText.
    const char* GetText() const { return m_pszText.get(); }
    size_t GetTextLength() const;
    // Capacity of the text buffer in bytes; 0 while there is none. Buffers grow in steps of
    // 160 bytes and are kept while the new text fits and wastes at most 160 bytes.
    uint32_t GetTextSize() const { return m_nTextSize; }
    // Parts of 160 characters, rounded up; 0 for an empty text.
    int GetPartCount() const;

    bool IsUnread() const { return (m_nFlags & SMS_FLAG_UNREAD) != 0; }
    void SetUnread(bool unread);
    int GetList() const { return static_cast<int>(m_nFlags & SMS_FLAG_LIST); }
    // Keeps the unread bit.
    void SetList(int list);
    uint32_t GetFlags() const { return m_nFlags; }

    // One record of "SMS.dat". Read: 1, or 0 when the record is cut short or not trustworthy
    // (text size over 641 or number size over 17, or zero); the message is then undefined.
    // Write: 1, or 0 when a write failed.
    int Read(CByteReader& file);
    int Write(CByteWriter& file) const;
    // One line of the text export: "hh:mm:ss  d.m.yyyy", TAB, the numbers joined by ", ",
    // TAB, the text, CR LF. 1, or 0 when the write failed.
    int WriteText(CByteWriter& file) const;

    uint8_t m_nDay = 1;
    uint8_t m_nMonth = 1;
    uint8_t m_nYear = 0; // year - 2000
    uint8_t m_nHour = 0;
    uint8_t m_nMinute = 0;
    uint8_t m_nSecond = 0;

private:
    uint32_t m_nFlags = SMS_FLAG_UNREAD | SMS_RECEIVED;
    std::array<std::optional<std::string>, SMS_MAX_NUMBERS> m_apszNumber;
    std::unique_ptr<char[]> m_pszText;
    uint32_t m_nTextSize = 0;
};

// Results of SmsTextFromUtf8.
inline constexpr int SMS_INPUT_OK = 0;
inline constexpr int SMS_INPUT_BAD_CHAR = 1; // CP1250 cannot hold a character
inline constexpr int SMS_INPUT_TOO_LONG = 2; // more than 640 characters

// A text typed by the user (UTF-8) as the CP1250 bytes the store holds. `out` is written only
// on success; on SMS_INPUT_BAD_CHAR `bad` receives the character to name to the user. The
// store never converts on its own: callers refuse what this refuses.
int SmsTextFromUtf8(std::string_view utf8, std::string& out, std::string* bad = nullptr);
