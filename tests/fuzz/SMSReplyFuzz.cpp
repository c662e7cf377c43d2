// A stored-message reply of the unit (header included) as it arrives: the message record
// built from it. The input is the reply, allocated to the byte, so a read past it is caught.
//
// Checked: one number, the sender's, of at most 16 characters; a text of at most 640; both
// exactly what the reply holds within its first 188 bytes; the record survives a copy, its
// "SMS.dat" record and the text export.
#include "tests/fuzz/SMSCheck.h"

#include "sms/ByteStream.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// Bytes from p up to the first zero or the end.
std::string UpToZero(const uint8_t* p, const uint8_t* end) {
    return std::string(p, std::find(p, end, uint8_t{0}));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const CSMS sms(data, size);
    CheckMessage(sms);
    FUZZ_CHECK(sms.GetNumberCount() == 1);
    FUZZ_CHECK(sms.IsUnread());
    FUZZ_CHECK(sms.GetText() != nullptr);

    // What the reply holds: the time stamp from byte 4, the sender from byte 11 and the text
    // after the sender's zero; nothing after byte 187.
    const size_t len = std::min(size, SMS_REPLY_MAX);
    const uint8_t* const end = data + len;
    FUZZ_CHECK(sms.m_nDay == (len > 4 ? data[4] : 0) && sms.m_nSecond == (len > 9 ? data[9] : 0));
    const std::string number = len > 11 ? UpToZero(data + 11, end) : std::string();
    const size_t textAt = 11 + number.size() + 1;
    const std::string text = textAt < len ? UpToZero(data + textAt, end) : std::string();
    FUZZ_CHECK(sms.GetNumber(0) == number.substr(0, SMS_MAX_NUMBER_LEN));
    FUZZ_CHECK(sms.GetText() == text.substr(0, SMS_MAX_TEXT));

    const CSMS copy(sms);
    FUZZ_CHECK(SameMessage(copy, sms));

    CMemoryWriter file;
    FUZZ_CHECK(sms.Write(file) == 1);
    CMemoryReader reader(file.Data());
    CSMS read;
    FUZZ_CHECK(read.Read(reader) == 1);
    CheckMessage(read);
    FUZZ_CHECK(SameMessage(read, sms));

    CMemoryWriter line;
    FUZZ_CHECK(sms.WriteText(line) == 1);
    FUZZ_CHECK(line.Data().size() >= 2 + std::strlen(sms.GetNumber(0)) + sms.GetTextLength());
    return 0;
}
