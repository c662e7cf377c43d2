// The last known state of the unit: identification, GSM state, inputs/outputs and clock.
// The link hands each reply (already in host order) to an update, which takes the reply's
// fields and tells whether anything changed, so that the panes redraw only then.
#pragma once

#include "status/SysTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Sizes of the replies and requests, header included.
inline constexpr size_t TYPE_REPLY_SIZE = 8;
inline constexpr size_t IDENT_REPLY_SIZE = 170;
inline constexpr size_t GSM_REPLY_SIZE = 37;
inline constexpr size_t IO_REPLY_SIZE = 7;
inline constexpr size_t CLOCK_SIZE = 10;

// Bits of UpdateIdentification's result.
inline constexpr uint32_t DEVID_TYPE_CHANGED = 1u << 0;
inline constexpr uint32_t DEVID_IDENT_CHANGED = 1u << 1;

// Texts are zero-terminated CP1250.
struct CDevIdent {
    uint32_t m_nTypeAux = 0; // type reply, first value
    uint32_t m_nCfgType = 0; // type reply, second value: chooses the configuration layout
    uint8_t m_nFWMajor = 0;
    uint8_t m_nFWMinor = 0;
    uint32_t m_nHWMajor = 0;
    uint8_t m_nHWMinor = 0;
    uint32_t m_nSerNum = 0;
    uint8_t m_nSerAux = 0;
    char m_szIMEI[16] = {};
    char m_szName[131] = {};
};

struct CGSMState {
    uint32_t m_nGSMState = 0; // call state, text TXT_CALL_STATE_BASE + value
    uint32_t m_nSIMState = 0; // text TXT_SIM_STATE_BASE + value
    uint32_t m_nNetState = 0; // registration, text TXT_NET_STATE_BASE + value
    uint32_t m_nSignal = 0;   // 0..32
    uint32_t m_nWAC = 0;      // count of refused accesses
    float m_fCredit1 = 0;     // SIM credit
    float m_fCredit2 = 0;
    uint32_t m_nBTS = 0; // cell identifier, 16-bit
    char m_szOperator[20] = {};
};

struct CIOState {
    uint8_t m_nInputs = 0;  // bit i: input of channel i + 1
    uint8_t m_nOutputs = 0; // bit i: output of channel i + 1
};

class CDevStatus {
public:
    CDevStatus();

    // From the type reply (8 bytes) and the identification reply (170 bytes): a set of
    // DEVID_TYPE_CHANGED and DEVID_IDENT_CHANGED.
    uint32_t UpdateIdentification(const uint8_t* typeReply, const uint8_t* identReply);
    // From the GSM reply (37 bytes): 1 when the record changed, else 0.
    int UpdateGSM(const uint8_t* reply);
    // From the inputs/outputs reply (7 bytes): 1 when the record changed, else 0.
    int UpdateIO(const uint8_t* reply);
    // From the clock reply (10 bytes): 1 when date or time changed, else 0. Day of week and
    // milliseconds are not on the wire and stay as they were.
    int UpdateTime(const uint8_t* reply);

    CDevIdent m_DevId;
    CGSMState m_GSM;
    CIOState m_IO;
    SysTime m_Time; // the PC's local time until the unit's clock is read
};

// Turn the big-endian fields of a received reply to host order, in place.
void TypeReplyToHost(uint8_t* reply8);
void IdentReplyToHost(uint8_t* reply170);
void GsmReplyToHost(uint8_t* reply37);

// Writes the clock into bytes 4..9 of a set-time request (bytes 0..3 are the header); the
// year travels as (year - 2000) modulo 256.
void EncodeClock(const SysTime& time, uint8_t* request10);

// How the panes show the fields.
std::string FormatVersion(uint32_t major, uint32_t minor); // 1, 5 -> "1.05"
std::string FormatSerial(uint32_t serial);                 // "00012345"
std::string FormatCredit(float credit);                    // "12.50"
std::string FormatCellId(uint32_t bts);                    // 255 -> "00FF"
// "1" when bit `bit` (channel bit + 1) is set, else "0".
const char* IOBitText(uint8_t bits, int bit);
// One "1" or "0" per channel, channel 1 first.
std::string IOBitsText(uint8_t bits, int channels = 5);
// State names (UTF-8); empty for a value outside its group.
std::string_view GSMStateText(uint32_t state);
std::string_view SIMStateText(uint32_t state);
std::string_view NetStateText(uint32_t state);
