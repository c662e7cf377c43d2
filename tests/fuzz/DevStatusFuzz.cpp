// The status replies of the unit as they come off the wire, one after another: each record
// is a selector byte and the reply (type + identification, GSM, inputs/outputs or clock, each
// of its full size and allocated to the byte). Each reply is turned to host order and handed
// to its update, as the link does.
//
// Checked: texts are terminated inside their fields and no longer than the room the reply
// gives them; an update reports a change exactly when the record changed; the same reply
// twice is no change; the clock survives its own request form; the display texts build.
#include "tests/fuzz/FuzzCheck.h"

#include "status/DevStatus.h"

#include <bit>
#include <cstring>
#include <memory>
#include <string>

namespace {

enum Kind : uint8_t { IDENT, GSM, IO, CLOCK, KIND_COUNT };

constexpr size_t kReplySize[KIND_COUNT] = {TYPE_REPLY_SIZE + IDENT_REPLY_SIZE, GSM_REPLY_SIZE,
                                           IO_REPLY_SIZE, CLOCK_SIZE};

template <size_t N>
std::string FieldText(const char (&field)[N]) {
    FUZZ_CHECK(std::memchr(field, 0, N) != nullptr);
    return std::string(field);
}

// The text a reply field gives: up to its zero, never more than room - 1 characters.
std::string ReplyText(const uint8_t* p, size_t room) {
    const char* text = reinterpret_cast<const char*>(p);
    return std::string(text, std::min(strnlen(text, room), room - 1));
}

bool Same(const CDevIdent& a, const CDevIdent& b) {
    return a.m_nTypeAux == b.m_nTypeAux && a.m_nCfgType == b.m_nCfgType &&
           a.m_nFWMajor == b.m_nFWMajor && a.m_nFWMinor == b.m_nFWMinor &&
           a.m_nHWMajor == b.m_nHWMajor && a.m_nHWMinor == b.m_nHWMinor &&
           a.m_nSerNum == b.m_nSerNum && a.m_nSerAux == b.m_nSerAux &&
           std::memcmp(a.m_szIMEI, b.m_szIMEI, sizeof a.m_szIMEI) == 0 &&
           std::memcmp(a.m_szName, b.m_szName, sizeof a.m_szName) == 0;
}

bool SameIdent(const CDevIdent& a, const CDevIdent& b) {
    CDevIdent x = a;
    x.m_nTypeAux = b.m_nTypeAux;
    x.m_nCfgType = b.m_nCfgType;
    return Same(x, b);
}

bool Same(const CGSMState& a, const CGSMState& b) {
    return a.m_nGSMState == b.m_nGSMState && a.m_nSIMState == b.m_nSIMState &&
           a.m_nNetState == b.m_nNetState && a.m_nSignal == b.m_nSignal && a.m_nWAC == b.m_nWAC &&
           std::bit_cast<uint32_t>(a.m_fCredit1) == std::bit_cast<uint32_t>(b.m_fCredit1) &&
           std::bit_cast<uint32_t>(a.m_fCredit2) == std::bit_cast<uint32_t>(b.m_fCredit2) &&
           a.m_nBTS == b.m_nBTS &&
           std::memcmp(a.m_szOperator, b.m_szOperator, sizeof a.m_szOperator) == 0;
}

bool Same(const SysTime& a, const SysTime& b) {
    return a.wYear == b.wYear && a.wMonth == b.wMonth && a.wDayOfWeek == b.wDayOfWeek &&
           a.wDay == b.wDay && a.wHour == b.wHour && a.wMinute == b.wMinute &&
           a.wSecond == b.wSecond && a.wMilliseconds == b.wMilliseconds;
}

// Converting to host order twice gives the wire bytes back.
void ToHost(void (*convert)(uint8_t*), uint8_t* reply, size_t size) {
    const std::string wire(reinterpret_cast<const char*>(reply), size);
    convert(reply);
    convert(reply);
    FUZZ_CHECK(std::memcmp(reply, wire.data(), size) == 0);
    convert(reply);
}

void Ident(CDevStatus& st, uint8_t* reply) {
    uint8_t* const type = reply;
    uint8_t* const ident = reply + TYPE_REPLY_SIZE;
    ToHost(TypeReplyToHost, type, TYPE_REPLY_SIZE);
    ToHost(IdentReplyToHost, ident, IDENT_REPLY_SIZE);
    const CDevIdent before = st.m_DevId;
    const uint32_t bits = st.UpdateIdentification(type, ident);
    const CDevIdent& d = st.m_DevId;
    FUZZ_CHECK((bits & ~(DEVID_TYPE_CHANGED | DEVID_IDENT_CHANGED)) == 0);
    FUZZ_CHECK(((bits & DEVID_TYPE_CHANGED) != 0) ==
               (before.m_nTypeAux != d.m_nTypeAux || before.m_nCfgType != d.m_nCfgType));
    FUZZ_CHECK(((bits & DEVID_IDENT_CHANGED) != 0) == !SameIdent(before, d));
    FUZZ_CHECK(FieldText(d.m_szIMEI) == ReplyText(ident + 26, 16));
    FUZZ_CHECK(FieldText(d.m_szName) == ReplyText(ident + 42, 128));
    FUZZ_CHECK(std::strlen(d.m_szIMEI) <= 15 && std::strlen(d.m_szName) <= 127);
    FUZZ_CHECK(d.m_nFWMajor == ident[4] && d.m_nHWMinor == ident[20] && d.m_nSerAux == ident[25]);

    const CDevIdent after = d;
    FUZZ_CHECK(st.UpdateIdentification(type, ident) == 0);
    FUZZ_CHECK(Same(after, st.m_DevId));
    FUZZ_CHECK(FormatVersion(d.m_nFWMajor, d.m_nFWMinor).size() <= 7);
    FUZZ_CHECK(FormatVersion(d.m_nHWMajor, d.m_nHWMinor).size() <= 14);
    FUZZ_CHECK(FormatSerial(d.m_nSerNum).size() >= 8 && FormatSerial(d.m_nSerNum).size() <= 10);
}

void Gsm(CDevStatus& st, uint8_t* reply) {
    ToHost(GsmReplyToHost, reply, GSM_REPLY_SIZE);
    const CGSMState before = st.m_GSM;
    const int changed = st.UpdateGSM(reply);
    const CGSMState& g = st.m_GSM;
    FUZZ_CHECK(changed == 0 || changed == 1);
    FUZZ_CHECK((changed == 1) == !Same(before, g));
    FUZZ_CHECK(FieldText(g.m_szOperator) == ReplyText(reply + 20, 17));
    FUZZ_CHECK(std::strlen(g.m_szOperator) <= 16);
    FUZZ_CHECK(g.m_nGSMState <= 255 && g.m_nSignal <= 255 && g.m_nBTS <= 0xFFFF);

    const CGSMState after = g;
    FUZZ_CHECK(st.UpdateGSM(reply) == 0);
    FUZZ_CHECK(Same(after, st.m_GSM));
    FUZZ_CHECK(FormatCellId(g.m_nBTS).size() == 4);
    FUZZ_CHECK(!FormatCredit(g.m_fCredit1).empty() && !FormatCredit(g.m_fCredit2).empty());
    (void)GSMStateText(g.m_nGSMState);
    (void)SIMStateText(g.m_nSIMState);
    (void)NetStateText(g.m_nNetState);
}

void Io(CDevStatus& st, const uint8_t* reply) {
    const CIOState before = st.m_IO;
    const int changed = st.UpdateIO(reply);
    FUZZ_CHECK(st.m_IO.m_nInputs == reply[4] && st.m_IO.m_nOutputs == reply[5]);
    FUZZ_CHECK((changed == 1) == (before.m_nInputs != reply[4] || before.m_nOutputs != reply[5]));
    FUZZ_CHECK(changed == 1 || changed == 0);
    FUZZ_CHECK(st.UpdateIO(reply) == 0);
    const std::string bits = IOBitsText(st.m_IO.m_nOutputs);
    FUZZ_CHECK(bits.size() == 5 && bits.find_first_not_of("01") == std::string::npos);
}

void Clock(CDevStatus& st, const uint8_t* reply) {
    const SysTime before = st.m_Time;
    const int changed = st.UpdateTime(reply);
    const SysTime& t = st.m_Time;
    FUZZ_CHECK(changed == 0 || changed == 1);
    FUZZ_CHECK((changed == 1) == !Same(before, t));
    FUZZ_CHECK(t.wDayOfWeek == before.wDayOfWeek && t.wMilliseconds == before.wMilliseconds);
    FUZZ_CHECK(t.wYear >= 2000 && t.wYear <= 2255 && t.wDay == reply[4] && t.wSecond == reply[9]);
    FUZZ_CHECK(st.UpdateTime(reply) == 0);

    // The set-time request of this clock reads back as the same clock.
    std::unique_ptr<uint8_t[]> request(new uint8_t[CLOCK_SIZE]());
    EncodeClock(t, request.get());
    FUZZ_CHECK(std::memcmp(request.get() + 4, reply + 4, CLOCK_SIZE - 4) == 0);
    FUZZ_CHECK(st.UpdateTime(request.get()) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CDevStatus st;
    while (size > 0) {
        const auto kind = static_cast<Kind>(data[0] % KIND_COUNT);
        const size_t n = kReplySize[kind];
        if (size - 1 < n)
            break;
        std::unique_ptr<uint8_t[]> reply(new uint8_t[n]);
        std::memcpy(reply.get(), data + 1, n);
        data += 1 + n;
        size -= 1 + n;
        switch (kind) {
        case IDENT:
            Ident(st, reply.get());
            break;
        case GSM:
            Gsm(st, reply.get());
            break;
        case IO:
            Io(st, reply.get());
            break;
        case CLOCK:
            Clock(st, reply.get());
            break;
        case KIND_COUNT:
            break;
        }
    }
    return 0;
}
