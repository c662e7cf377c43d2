// Checking the line to the unit before (or after) a connect fails: open the chosen port, try
// one identification exchange, and say in plain Czech what is wrong and what to do about it.
// Used by the communication settings dialog's "Vyzkoušet spojení" and, for the connect errors
// 2 and 3, as the second line of the progress dialog's error box.
#pragma once

#include "link/ModemPort.h" // CancelCheck
#include "link/PortAccess.h"

#include <cstdint>
#include <string>

enum LineVerdict {
    LINE_OK = 0,            // the unit answered: m_strUnitName / m_strSerial are set
    LINE_NO_PERMISSION = 1, // the user may not open the device (m_strGroup names the group)
    LINE_BUSY = 2,          // another program holds the port (m_strHolder names it)
    LINE_GONE = 3,          // the device does not exist (unplugged, wrong name)
    LINE_SILENT = 4,        // opened, but nothing at all came back
    LINE_GARBLED = 5,       // bytes came back, but no valid frame
    LINE_OTHER = 6,         // any other failure to open or set up the port (m_strDetail)
};

struct LineCheckResult {
    LineVerdict m_verdict = LINE_OTHER;
    std::string m_strDevice;   // the device path that was tried (after resolving COM1 ...)
    std::string m_strUnitName; // LINE_OK: the unit's name as its identification gives it
    std::string m_strSerial;   // LINE_OK: the unit's serial number
    std::string m_strHolder;   // LINE_BUSY: "NAME (pid N)" of the holder(s)
    std::string m_strGroup;    // LINE_NO_PERMISSION: the group that owns the device
    std::string m_strUser;     // LINE_NO_PERMISSION: the user running the program
    std::string m_strDetail;   // the system's reason or other detail, may be empty
    int m_nBytes = 0;          // bytes received in all
};

// How long one check waits: for the line to take the request (with RTS/CTS and no unit on
// the cable, CTS stays low and nothing leaves) and for the unit's reply. A search over many
// ports waits shorter than the check of the one port the user chose.
struct LineCheckWaits {
    int64_t nSendMs = 2000;
    int64_t nReplyMs = 3000;
};

// Opens `port` (a profile port name: "COM1", "/dev/ttyUSB0", a long /dev/serial/by-id path)
// as a session would, sends one identification request and waits for its reply (`waits`;
// `cancel` ends the wait early as LINE_OTHER with detail "zrušeno").
// Blocking: call it from a worker thread, never the GUI thread. Returns the verdict, which is
// also in `result`.
LineVerdict CheckLine(const std::string& port, LineCheckResult* result,
                      const CancelCheck& cancel = {}, const LineCheckWaits& waits = {});

// The Czech explanation: what is wrong and what to do, one or more lines ("\n" between
// them), e.g. the command that adds the user to the group, or "Jednotka TK530 (výrobní číslo
// 1234) odpovídá." on success.
std::string LineDiagnosisText(const LineCheckResult& result);

// The verdict on a port whose open failed as `failure` says: a missing device, no permission,
// held by another program, or LINE_OTHER (a file that is no terminal, any network port, the
// rest). A refused network connection is never taken for a device's problem.
LineVerdict FailedOpenVerdict(const PortOpenFailure& failure);

// For a connect that failed with link error 2 (port not opened) or 3 (no answer): one short
// Czech line naming the likely cause and the fix, from what the failed open found (`failure`,
// for error 2) and the profile's `port` (for error 3); empty when nothing more can be said.
// Neither the port nor the unit is touched.
std::string DiagnoseConnectFailure(const std::string& port, int linkError,
                                   const PortOpenFailure& failure = {});
