#include "status/DevStatus.h"

#include "base/Texts.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace {

// Offsets in the replies.
constexpr size_t TYPE_AUX = 4;
constexpr size_t TYPE_CFG = 6;
constexpr size_t ID_FW_MAJOR = 4;
constexpr size_t ID_FW_MINOR = 5;
constexpr size_t ID_HW_MAJOR = 16;
constexpr size_t ID_HW_MINOR = 20;
constexpr size_t ID_SERNUM = 21;
constexpr size_t ID_SERAUX = 25;
constexpr size_t ID_IMEI = 26;
constexpr size_t ID_IMEI_ROOM = 16;
constexpr size_t ID_NAME = 42;
constexpr size_t ID_NAME_ROOM = IDENT_REPLY_SIZE - ID_NAME; // 128
constexpr size_t GSM_STATE = 5;
constexpr size_t GSM_SIM = 6;
constexpr size_t GSM_NET = 7;
constexpr size_t GSM_SIGNAL = 8;
constexpr size_t GSM_WAC = 9;
constexpr size_t GSM_CREDIT1 = 10;
constexpr size_t GSM_CREDIT2 = 14;
constexpr size_t GSM_BTS = 18;
constexpr size_t GSM_OPERATOR = 20;
constexpr size_t GSM_OPERATOR_ROOM = GSM_REPLY_SIZE - GSM_OPERATOR; // 17
constexpr size_t IO_INPUTS = 4;
constexpr size_t IO_OUTPUTS = 5;
constexpr size_t CLK_DAY = 4;
constexpr size_t CLK_MONTH = 5;
constexpr size_t CLK_YEAR = 6;
constexpr size_t CLK_HOUR = 7;
constexpr size_t CLK_MINUTE = 8;
constexpr size_t CLK_SECOND = 9;

template <typename T>
T Load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// A big-endian field of `width` bytes to host order.
void ToHost(uint8_t* p, size_t width) {
    if constexpr (std::endian::native == std::endian::little)
        std::reverse(p, p + width);
}

// A text field of a reply: it ends at its zero or, when the unit sent none, one byte before
// the end of its room, as the room counts its zero. Never longer than the record's field.
struct ReplyText {
    const char* text;
    size_t len;
};

ReplyText TextOf(const uint8_t* p, size_t room, size_t fieldSize) {
    const char* text = reinterpret_cast<const char*>(p);
    return {text, std::min({strnlen(text, room), room - 1, fieldSize - 1})};
}

template <size_t N>
bool SameText(const char (&field)[N], ReplyText t) {
    return strnlen(field, N) == t.len && std::memcmp(field, t.text, t.len) == 0;
}

template <size_t N>
void StoreText(char (&field)[N], ReplyText t) {
    std::memcpy(field, t.text, t.len);
    std::memset(field + t.len, 0, N - t.len);
}

// Floats compare as numbers; a value the unit repeats bit for bit (a NaN too) is no change.
bool SameFloat(float a, float b) {
    return a == b || std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b);
}

} // namespace

CDevStatus::CDevStatus() : m_Time(GetLocalTime()) {}

uint32_t CDevStatus::UpdateIdentification(const uint8_t* typeReply, const uint8_t* identReply) {
    uint32_t changed = 0;
    const uint32_t aux = Load<uint16_t>(typeReply + TYPE_AUX);
    const uint32_t cfg = Load<uint16_t>(typeReply + TYPE_CFG);
    if (aux != m_DevId.m_nTypeAux || cfg != m_DevId.m_nCfgType) {
        m_DevId.m_nTypeAux = aux;
        m_DevId.m_nCfgType = cfg;
        changed |= DEVID_TYPE_CHANGED;
    }

    CDevIdent& d = m_DevId;
    const uint8_t fwMajor = identReply[ID_FW_MAJOR];
    const uint8_t fwMinor = identReply[ID_FW_MINOR];
    const auto hwMajor = Load<uint32_t>(identReply + ID_HW_MAJOR);
    const uint8_t hwMinor = identReply[ID_HW_MINOR];
    const auto serNum = Load<uint32_t>(identReply + ID_SERNUM);
    const uint8_t serAux = identReply[ID_SERAUX];
    const ReplyText imei = TextOf(identReply + ID_IMEI, ID_IMEI_ROOM, sizeof d.m_szIMEI);
    const ReplyText name = TextOf(identReply + ID_NAME, ID_NAME_ROOM, sizeof d.m_szName);
    if (fwMajor == d.m_nFWMajor && fwMinor == d.m_nFWMinor && hwMajor == d.m_nHWMajor &&
        hwMinor == d.m_nHWMinor && serNum == d.m_nSerNum && serAux == d.m_nSerAux &&
        SameText(d.m_szIMEI, imei) && SameText(d.m_szName, name))
        return changed;

    d.m_nFWMajor = fwMajor;
    d.m_nFWMinor = fwMinor;
    d.m_nHWMajor = hwMajor;
    d.m_nHWMinor = hwMinor;
    d.m_nSerNum = serNum;
    d.m_nSerAux = serAux;
    StoreText(d.m_szIMEI, imei);
    StoreText(d.m_szName, name);
    return changed | DEVID_IDENT_CHANGED;
}

int CDevStatus::UpdateGSM(const uint8_t* reply) {
    CGSMState& g = m_GSM;
    const uint32_t state = reply[GSM_STATE];
    const uint32_t sim = reply[GSM_SIM];
    const uint32_t net = reply[GSM_NET];
    const uint32_t signal = reply[GSM_SIGNAL];
    const uint32_t wac = reply[GSM_WAC];
    const auto credit1 = Load<float>(reply + GSM_CREDIT1);
    const auto credit2 = Load<float>(reply + GSM_CREDIT2);
    const uint32_t bts = Load<uint16_t>(reply + GSM_BTS);
    const ReplyText op = TextOf(reply + GSM_OPERATOR, GSM_OPERATOR_ROOM, sizeof g.m_szOperator);
    if (state == g.m_nGSMState && sim == g.m_nSIMState && net == g.m_nNetState &&
        signal == g.m_nSignal && wac == g.m_nWAC && bts == g.m_nBTS &&
        SameFloat(credit1, g.m_fCredit1) && SameFloat(credit2, g.m_fCredit2) &&
        SameText(g.m_szOperator, op))
        return 0;

    g.m_nGSMState = state;
    g.m_nSIMState = sim;
    g.m_nNetState = net;
    g.m_nSignal = signal;
    g.m_nWAC = wac;
    g.m_fCredit1 = credit1;
    g.m_fCredit2 = credit2;
    g.m_nBTS = bts;
    StoreText(g.m_szOperator, op);
    return 1;
}

int CDevStatus::UpdateIO(const uint8_t* reply) {
    if (reply[IO_INPUTS] == m_IO.m_nInputs && reply[IO_OUTPUTS] == m_IO.m_nOutputs)
        return 0;
    m_IO.m_nInputs = reply[IO_INPUTS];
    m_IO.m_nOutputs = reply[IO_OUTPUTS];
    return 1;
}

int CDevStatus::UpdateTime(const uint8_t* reply) {
    const uint16_t day = reply[CLK_DAY];
    const uint16_t month = reply[CLK_MONTH];
    const auto year = static_cast<uint16_t>(reply[CLK_YEAR] + 2000);
    const uint16_t hour = reply[CLK_HOUR];
    const uint16_t minute = reply[CLK_MINUTE];
    const uint16_t second = reply[CLK_SECOND];
    SysTime& t = m_Time;
    if (day == t.wDay && month == t.wMonth && year == t.wYear && hour == t.wHour &&
        minute == t.wMinute && second == t.wSecond)
        return 0;
    t.wDay = day;
    t.wMonth = month;
    t.wYear = year;
    t.wHour = hour;
    t.wMinute = minute;
    t.wSecond = second;
    return 1;
}

void TypeReplyToHost(uint8_t* reply8) {
    ToHost(reply8 + TYPE_AUX, 2);
    ToHost(reply8 + TYPE_CFG, 2);
}

void IdentReplyToHost(uint8_t* reply170) {
    for (const size_t at : {size_t{6}, size_t{11}, ID_HW_MAJOR, ID_SERNUM})
        ToHost(reply170 + at, 4);
}

void GsmReplyToHost(uint8_t* reply37) {
    ToHost(reply37 + GSM_CREDIT1, 4);
    ToHost(reply37 + GSM_CREDIT2, 4);
    ToHost(reply37 + GSM_BTS, 2);
}

void EncodeClock(const SysTime& time, uint8_t* request10) {
    request10[CLK_DAY] = static_cast<uint8_t>(time.wDay);
    request10[CLK_MONTH] = static_cast<uint8_t>(time.wMonth);
    request10[CLK_YEAR] = static_cast<uint8_t>(time.wYear + 48); // (year - 2000) mod 256
    request10[CLK_HOUR] = static_cast<uint8_t>(time.wHour);
    request10[CLK_MINUTE] = static_cast<uint8_t>(time.wMinute);
    request10[CLK_SECOND] = static_cast<uint8_t>(time.wSecond);
}

// Numbers are printed unsigned, as they are: a 32-bit value above 2^31 - 1 must not show up
// negative.
std::string FormatVersion(uint32_t major, uint32_t minor) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%u.%02u", major, minor);
    return buf;
}

std::string FormatSerial(uint32_t serial) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08u", serial);
    return buf;
}

std::string FormatCredit(float credit) {
    // A float as large as FLT_MAX prints 39 digits before the point.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.02f", static_cast<double>(credit));
    return buf;
}

std::string FormatCellId(uint32_t bts) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04X", bts);
    return buf;
}

const char* IOBitText(uint8_t bits, int bit) {
    return bit >= 0 && bit < 8 && (bits >> bit & 1) != 0 ? "1" : "0";
}

std::string IOBitsText(uint8_t bits, int channels) {
    std::string text;
    for (int i = 0; i < channels; ++i)
        text += IOBitText(bits, i);
    return text;
}

std::string_view GSMStateText(uint32_t state) {
    return GetStateText(TXT_CALL_STATE_BASE, state);
}

std::string_view SIMStateText(uint32_t state) {
    return GetStateText(TXT_SIM_STATE_BASE, state);
}

std::string_view NetStateText(uint32_t state) {
    return GetStateText(TXT_NET_STATE_BASE, state);
}
