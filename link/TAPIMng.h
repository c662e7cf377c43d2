// The modem line for remote access: the list of the user's data modems, and one data call
// placed through a Hayes (AT command) modem on a serial device. Once the call is connected,
// its data channel is handed to the serial port object, and the unit's frame protocol runs
// over it as over a local port.
//
// Results keep the codes of the telephony interface the session was written for (0, the
// LINEERR_* values below), plus a few of the dialler's own (DIALERR_*, in ModemPort.h);
// DialResultToLinkError turns any of them into the link error the session returns.
#pragma once

#include "link/LinkError.h"
#include "link/ModemList.h"
#include "link/ModemPort.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Call states.
inline constexpr uint32_t LINECALLSTATE_IDLE = 0x00000001;
inline constexpr uint32_t LINECALLSTATE_DIALING = 0x00000010;
inline constexpr uint32_t LINECALLSTATE_CONNECTED = 0x00000100;
inline constexpr uint32_t LINECALLSTATE_DISCONNECTED = 0x00004000;

// Results (negative as 32-bit signed numbers).
inline constexpr int LINEERR_CALLUNAVAIL = static_cast<int>(0x80000005u);
inline constexpr int LINEERR_INVALCALLHANDLE = static_cast<int>(0x80000018u);
inline constexpr int LINEERR_OPERATIONFAILED = static_cast<int>(0x80000048u); // wait elapsed

// The link error of a dialler result: 0 stays 0; DIALERR_NO_OK is 13 (LE_AT),
// DIALERR_UNDEFINED_REPLY 14 (LE_AT_REPLY), DIALERR_CANCELLED 4 (LE_CANCELLED); every other
// result is 9 (LE_NO_CONNECTION).
LinkResult DialResultToLinkError(int result);

// Reasons of our own for LastReason (the others are the modem's result lines).
inline constexpr const char* REASON_NO_RESULT = "NO RESULT"; // no result within the dial time
inline constexpr const char* REASON_LINE_DOWN = "LINE DOWN"; // the device failed or went away

// A reason of LastReason as the user reads it: the modem's result words ("BUSY") and the
// reasons of our own in Czech, with the modem's word kept in brackets; other reasons (already
// Czech, from opening the device) unchanged.
std::string ModemReasonText(const std::string& reason);

// Turns a telephone number into a dial string: digits and the dial modifiers
// 0-9 * # + , A-D W P T ! @ are kept (letters upper-cased); blanks, '-', '(', ')', '.' and
// '/' are dropped. False for an empty number, one longer than 40 characters, or anything
// else (a ';' would make a voice call, a CR would end the command).
bool MakeDialString(const char* number, std::string* dial);

class CTAPIMng;

// The one call of the modem line.
class CTAPILine {
public:
    explicit CTAPILine(CTAPIMng* owner) : m_pOwner(owner) {}
    ~CTAPILine();
    CTAPILine(const CTAPILine&) = delete;
    CTAPILine& operator=(const CTAPILine&) = delete;

    // Waits up to `timeoutMs` for the call's next state. 0 and LINECALLSTATE_CONNECTED or
    // LINECALLSTATE_DISCONNECTED (repeated for a call that has ended);
    // LINEERR_OPERATIONFAILED when nothing happened; LINEERR_INVALCALLHANDLE with no call;
    // DIALERR_UNDEFINED_REPLY when the modem answered the dial with something not
    // understood (the call is then over).
    int WaitCallState(uint32_t timeoutMs, uint32_t* state);

    // 0 and a new descriptor of the connected call's data channel, owned by the caller;
    // LINEERR_INVALCALLHANDLE when no call is connected.
    int GetCommHandle(int* fd);

    // Ends the call and releases the modem: a dial is aborted, a connected call hung up
    // (DTR, then "+++" and ATH), a call that has already ended is just released. Every step
    // has its time-out, the whole at most nDropBoundMs. Always 0.
    int DropCall();
    // Drops any call; the line is closed. 0.
    int Close() { return DropCall(); }
    // The call is known to have ended (the modem said NO CARRIER on the data channel): the
    // modem is released without hanging up (no escape, no ATH). 0.
    int ReleaseEndedCall();

    // The modem's reason of the last failed call or set-up ("BUSY", "NO CARRIER",
    // "+CME ERROR: 4" ...), or why the device could not be opened.
    const std::string& LastReason() const { return m_strReason; }
    // The command that the last failed set-up stopped at ("ATZ" ...).
    const std::string& LastCommand() const { return m_strCommand; }
    // The modem's connect line ("CONNECT 9600").
    const std::string& ConnectText() const { return m_strConnect; }

    // LINECALLSTATE_IDLE (no call), _DIALING, _CONNECTED or _DISCONNECTED (ended, not
    // yet released).
    uint32_t CallState() const;

private:
    friend class CTAPIMng;
    enum class State { Idle, Dialling, Connected, Ended };

    int Dial(const CModemInf& modem, const std::string& dial);
    int SetUp(const CModemInf& modem);
    int Fail(int result);
    bool Cancelled() const;
    // What the modem said while a call was being ended.
    enum class Watch { Nothing, Ok, Ended, Connect, LineDown };
    // Reads result lines until one of them matters or the deadline passes (a deadline in the
    // past takes only what has arrived).
    Watch WatchLines(int64_t deadlineMs);
    void AbortDial(int64_t budget);
    void HangUp(int64_t budget);

    CTAPIMng* m_pOwner;
    CModemPort m_port;
    State m_state = State::Idle;
    int64_t m_nDialDeadline = 0;
    bool m_bDialGarbage = false;   // lines not understood while dialling
    bool m_bStillDialling = false; // ended by our time-out: the modem may still be dialling
    std::string m_strDialCommand;
    std::string m_strReason;
    std::string m_strCommand;
    std::string m_strConnect;
};

class CTAPIMng {
public:
    CTAPIMng() = default;
    ~CTAPIMng() = default;
    CTAPIMng(const CTAPIMng&) = delete;
    CTAPIMng& operator=(const CTAPIMng&) = delete;

    // Loads the modem list of the Data folder. A missing or damaged list is no failure: the
    // list is then empty (LoadResult() tells which). 0.
    int Init();
    CModemMng::LoadResult LoadResult() const { return m_loadResult; }

    // The modem list ("GetModems").
    size_t GetModemCount() const { return m_modems.Count(); }
    const CModemInf* GetModem(size_t index) const { return m_modems.Get(index); }

    // The list itself, for the modem settings of the user interface, which edits and saves
    // it. Not to be changed while a call is being placed.
    CModemMng& Modems() { return m_modems; }
    const CModemMng& Modems() const { return m_modems; }

    // The link engine passes its port's IsCancelled: the set-up of a call asks it between
    // waits and gives up with DIALERR_CANCELLED.
    void SetCancelCheck(CancelCheck isCancelled) { m_cancel = std::move(isCancelled); }

    void SetTimeouts(const HayesTimeouts& timeouts) { m_timeouts = timeouts; }
    const HayesTimeouts& Timeouts() const { return m_timeouts; }

    // Drops any earlier call, opens the modem, sets it up (AT until OK, ATZ,
    // ATE0V1Q0X4&C1&D2, the init string, the bearer of a GSM modem) and dials the number as
    // a data call. 0 when the dial is under way (WaitCallState tells how it ends);
    // DIALERR_DEVICE, DIALERR_BAD_NUMBER, DIALERR_NO_OK, DIALERR_UNDEFINED_REPLY,
    // DIALERR_CANCELLED or DIALERR_LINE_DOWN otherwise, with the reason in the line's
    // LastReason.
    int MakeCall(const char* number, int modemIndex);

    CTAPILine& GetLine() { return m_line; }

private:
    friend class CTAPILine;

    CModemMng m_modems;
    CModemMng::LoadResult m_loadResult = CModemMng::LoadResult::Missing;
    HayesTimeouts m_timeouts;
    CancelCheck m_cancel;
    CTAPILine m_line{this}; // last: it drops its call while the rest still exists
};
