// Command codes of the unit's protocol and the four-byte command header.
#pragma once

#include <cstdint>

inline constexpr uint8_t CMD_GET_TYPE = 0x20;
inline constexpr uint8_t CMD_LOGIN = 0x21;
inline constexpr uint8_t CMD_LOGOUT = 0x22;
inline constexpr uint8_t CMD_GET_IDENT = 0x23;
inline constexpr uint8_t CMD_GET_GSM = 0x24;
inline constexpr uint8_t CMD_SET_OUTPUTS = 0x25;
inline constexpr uint8_t CMD_GET_IO = 0x26;
inline constexpr uint8_t CMD_WRITE_CFG = 0x27;
inline constexpr uint8_t CMD_READ_CFG = 0x28;
inline constexpr uint8_t CMD_GET_SMS = 0x29;
inline constexpr uint8_t CMD_ACK_SMS = 0x2A;
inline constexpr uint8_t CMD_SEND_SMS = 0x2B;
inline constexpr uint8_t CMD_GET_SMS_STATE = 0x2C;
inline constexpr uint8_t CMD_GET_TIME = 0x30;
inline constexpr uint8_t CMD_SET_TIME = 0x31;
inline constexpr uint8_t CMD_LOCAL_END = 0x86;

// Every request starts with 80 cc 01 FF; every reply with a header whose byte 3 is the
// confirmation code (0 = accepted).
inline constexpr uint32_t HEADER_SIZE = 4;
inline constexpr uint8_t HEADER_REQUEST = 0x80;
inline constexpr uint8_t HEADER_VERSION = 0x01;
inline constexpr uint8_t HEADER_FILL = 0xFF;

// Writes the request header for `command` into the first four bytes of `buf`.
inline void PutRequestHeader(uint8_t* buf, uint8_t command) {
    buf[0] = HEADER_REQUEST;
    buf[1] = command;
    buf[2] = HEADER_VERSION;
    buf[3] = HEADER_FILL;
}

// Fills the first four bytes of a reply buffer before an exchange, so that a reply that never
// arrived reads as confirmation code 0xFF.
inline void PrepareReplyHeader(uint8_t* buf) {
    PutRequestHeader(buf, 0x00);
}
