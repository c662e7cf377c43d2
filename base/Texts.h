// The table of numbered texts: every sentence the program composes at run time (messages,
// progress captions, state names, list names, file-dialog filters) is looked up here by
// number. Several callers compute a number from a code (base + code), so the numbers are
// fixed. Texts are held as UTF-8; convert with base/Cp1250.h where CP1250 bytes are needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Caption of every message box, and the main window's base title.
inline constexpr const char kAppTitle[] = "TK530 Control Panel";

enum TextId : uint32_t {
    TXT_ONLINE = 3,
    TXT_OFFLINE = 4,
    TXT_ALT_DIAL = 5,
    TXT_ADD_DIAL = 6,
    TXT_ALARM = 10,
    TXT_UNNAMED = 11,
    TXT_SMS_LIST_BASE = 50, // + list index
    TXT_FILTER_ALL = 60,
    TXT_FILTER_CFG = 61,
    TXT_FILTER_TXT = 62,
    TXT_INIT_ERROR = 100,
    TXT_CFG_LOAD_ERROR = 101,
    TXT_CFG_SAVE_ERROR = 102,
    TXT_SMS_SAVE_ERROR = 103,
    TXT_CFG_SAVE_QUERY = 104,
    TXT_CONN_DELETE_QUERY = 105,
    TXT_REPEAT_QUERY = 106,
    TXT_NO_RECIPIENT = 107,
    TXT_SMS_DELETE_ALL_QUERY = 108,
    TXT_SMS_DELETE_SEL_QUERY = 109,
    TXT_FILE_EXISTS_QUERY = 110,
    TXT_NO_SMS_TO_SEND = 111,
    TXT_LINK_ERROR_BASE = 199, // + link error code
    TXT_CAP_CONNECT = 300,
    TXT_CAP_DISCONNECT = 301,
    TXT_CAP_WRITE_CFG = 302,
    TXT_CAP_READ_CFG = 303,
    TXT_CAP_READ_STATUS = 304,
    TXT_CAP_SET_OUTPUTS = 305,
    TXT_CAP_SET_TIME = 306,
    TXT_CAP_SEND_SMS = 307,
    TXT_CAP_READ_SMS = 308,
    TXT_CAP_IDLE = 399,
    TXT_CALL_STATE_BASE = 400, // + GSM module (call) state 0..4
    TXT_SIM_STATE_BASE = 420,  // + SIM state 0..6
    TXT_NET_STATE_BASE = 440,  // + network registration state 0..4
};

// The text with this number, or an empty text when the table holds no such number.
std::string_view GetText(uint32_t id);

// The text as it comes out of a CP1250 character buffer of `bufferSize` bytes: cut to
// bufferSize - 1 characters when it is longer. Returned as UTF-8.
std::string LoadText(uint32_t id, size_t bufferSize);

// The name of a state: the text base + value, where base is TXT_CALL_STATE_BASE,
// TXT_SIM_STATE_BASE or TXT_NET_STATE_BASE. A value outside its group gives an empty text,
// even where base + value would fall on a text of another group.
std::string_view GetStateText(uint32_t base, uint32_t value);
