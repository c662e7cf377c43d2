// Link error codes: the result of every operation of the link. They live below every folder
// because layers that never talk to the unit hand them on too (a configuration asking its
// host to read it from the unit); their texts are the link's (link/LinkError.h).
#pragma once

#include <cstdint>

using LinkResult = uint32_t;

inline constexpr LinkResult LE_OK = 0;
inline constexpr LinkResult LE_SERIAL = 1;           // port read/write failed, line hung up
inline constexpr LinkResult LE_PORT_OPEN = 2;        // the port could not be opened or set up
inline constexpr LinkResult LE_TIMEOUT = 3;          // a read or write time-out elapsed
inline constexpr LinkResult LE_CANCELLED = 4;        // the user pressed "Storno"
inline constexpr LinkResult LE_CRC = 5;              // reply checksum wrong
inline constexpr LinkResult LE_CONFIRM = 6;          // reply confirmation code nonzero
inline constexpr LinkResult LE_UNSUPPORTED = 7;      // no configuration layout for the device type
inline constexpr LinkResult LE_BAD_REPLY = 8;        // configuration block echoed another address
inline constexpr LinkResult LE_NO_CONNECTION = 9;    // the modem call failed or ended
inline constexpr LinkResult LE_BLOCKED = 10;         // login refused: access blocked
inline constexpr LinkResult LE_BAD_PIN = 11;         // only the text is used (PIN prompt)
inline constexpr LinkResult LE_SMS_FAILED = 12;      // the unit refused or failed to send an SMS
inline constexpr LinkResult LE_AT = 13;              // the modem did not answer its set-up commands
inline constexpr LinkResult LE_AT_REPLY = 14;        // the modem answered something unexpected
inline constexpr LinkResult LE_NO_MORE_SMS = 99;     // internal to the SMS read loop
inline constexpr LinkResult LE_ABORTED = 100;        // the user gave up at the PIN prompt; silent
inline constexpr LinkResult LE_SMS_NOT_STORED = 101; // a read SMS could not be saved on the PC:
                                                     // the unit keeps it; shown with text 103
inline constexpr LinkResult LE_BACKUP_FAILED = 102;  // the unit's configuration could not be
                                                     // kept before a write: nothing written
inline constexpr LinkResult LE_START_FAILED = 128;   // the link engine could not start
inline constexpr LinkResult LE_TAPI_FAILED = 129;    // the modem layer could not start
inline constexpr LinkResult LE_BUSY = 130;           // a command was queued while busy
