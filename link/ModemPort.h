// The serial device of a Hayes modem while the dialler (or the probe of the settings dialog)
// talks AT commands to it: opened exclusively, set to the line settings of the unit's port,
// read one byte at a time so that nothing after a result line is taken from the device: the
// bytes after "CONNECT" belong to the unit's protocol.
#pragma once

#include "link/HayesReader.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <termios.h>
#include <vector>

// The dialler's own results (beside 0 and the LINEERR_* codes of TAPIMng.h).
inline constexpr int DIALERR_NO_OK = static_cast<int>(0x80010001u); // set-up not answered OK
inline constexpr int DIALERR_UNDEFINED_REPLY = static_cast<int>(0x80010002u); // not understood
inline constexpr int DIALERR_CANCELLED = static_cast<int>(0x80010003u);       // "Storno" in set-up
inline constexpr int DIALERR_DEVICE = static_cast<int>(0x80010004u);     // cannot open / not listed
inline constexpr int DIALERR_BAD_NUMBER = static_cast<int>(0x80010005u); // not a dial string
inline constexpr int DIALERR_LINE_DOWN = static_cast<int>(0x80010006u);  // the device failed

// Tells whether the user asked to stop (the port's "Storno"); may consume the request.
using CancelCheck = std::function<bool()>;

// Time limits of the dialler, in milliseconds. The defaults suit real modems; tests shorten
// them.
struct HayesTimeouts {
    uint32_t nAtTries = 3;         // "AT" is sent up to this many times until OK
    uint32_t nAtReplyMs = 1000;    // answer to each "AT"
    uint32_t nCommandMs = 5000;    // answer to ATZ, ATE0V1Q0X4&C1&D2, the init and bearer
    uint32_t nDialMs = 90000;      // result of ATD (modems give up after S7, 50-60 s)
    uint32_t nCancelSliceMs = 500; // longest wait between two looks at the cancel
    uint32_t nAbortMs = 3000;      // result after the character that aborts a dial
    uint32_t nDtrDropMs = 1000;    // DTR held low to hang up
    uint32_t nDtrResultMs = 1000;  // the modem's report of that hang-up
    uint32_t nGuardMs = 1000;      // silence before and after "+++"
    uint32_t nEscapeOkMs = 2000;   // OK after the escape, beyond the guard time
    uint32_t nHangUpMs = 5000;     // OK after ATH
    uint32_t nDropBoundMs = 20000; // the whole drop of a call
};

// What became of one AT command.
struct AtReply {
    enum class Status {
        Ok,         // OK
        Error,      // ERROR, +CME ERROR ..., or another failure result
        Unexpected, // a final result that makes no sense here (CONNECT to ATZ ...)
        Silent,     // no final result within the time-out, nothing but echo or blanks
        Garbage,    // no final result, but lines the dialler does not understand
        Cancelled,  // the cancel check said so
        LineDown,   // the device failed or went away
    };
    Status status = Status::Silent;
    std::string final;              // the final line, or the last line not understood
    std::vector<std::string> lines; // the other lines (ATI text, "+CGMM: ..."), in order
};

class CModemPort {
public:
    CModemPort() = default;
    ~CModemPort();
    CModemPort(const CModemPort&) = delete;
    CModemPort& operator=(const CModemPort&) = delete;

    // Opens the device exclusively (TIOCEXCL and an advisory lock), sets 9600 8N1 RTS/CTS
    // with CLOCAL, raises DTR and RTS, and discards stale input. False with the reason.
    bool Open(const std::string& path, std::string* reason);
    // Restores the device's settings, drops the exclusive use and closes it.
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }

    CHayesReader& Reader() { return m_reader; }

    // Writes the text within the time-out. False when it could not be written.
    bool Send(std::string_view text, uint32_t timeoutMs);

    enum class Wait { Line, Timeout, Cancelled, LineDown };
    // Reads until a line is complete (Reader().Line()), the deadline passes (monotonic ms)
    // or the cancel check, asked at once and then every `sliceMs`, says stop. With a
    // deadline already past it takes only what has arrived.
    Wait ReadLine(int64_t deadlineMs, const CancelCheck* cancel = nullptr, uint32_t sliceMs = 500);

    // Sends `command` and a CR and collects lines until its final result. `numeric` also
    // accepts numeric result codes (before ATV1 has been given).
    AtReply Command(const std::string& command, uint32_t timeoutMs, bool numeric,
                    const CancelCheck* cancel = nullptr, uint32_t sliceMs = 500);

    // Sends "AT" until the modem answers OK, at most nAtTries times: 0, DIALERR_NO_OK (no
    // answer, or only failures), DIALERR_UNDEFINED_REPLY (lines not understood),
    // DIALERR_CANCELLED or DIALERR_LINE_DOWN. `reason` gets the last line that was not OK.
    int WakeUp(const HayesTimeouts& timeouts, const CancelCheck* cancel, std::string* reason);

    // Sets DTR. False when the device has no modem control lines (a pseudo-terminal).
    bool SetDtr(bool on);

    // Waits until the kernel has sent everything written, or the deadline.
    void WaitOutputDrained(int64_t deadlineMs);

private:
    int m_fd = -1;
    bool m_bSaved = false;
    struct termios m_saved {};
    CHayesReader m_reader;
};
