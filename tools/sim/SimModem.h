// A Hayes modem in front of the virtual unit: command mode with AT command lines and result
// codes, dialling, the data mode in which the bytes go to the unit, and the escape back to
// command mode with guard times. A plain state machine driven by the bytes it receives and
// the time it is told; no I/O and no lock of its own (its owner serialises the calls).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class SimDialResult { Connect, Busy, NoCarrier, NoAnswer };

struct SimModemOptions {
    uint32_t guardMs = 1000;        // silence before and after "+++"
    uint32_t connectDelayMs = 1000; // from the dial command to its result
    SimDialResult dialResult = SimDialResult::Connect;
    uint32_t hangUpAfterFrames = 0; // the call drops after this many answered frames; 0 = never
    std::string connectText = "CONNECT 9600";
};

class CSimModem {
public:
    enum class Mode {
        Command,       // no call: AT commands
        Dialling,      // waiting for the result of a dial; any byte aborts it
        Data,          // call up: bytes go to the unit
        OnlineCommand, // call up, escaped to AT commands ("ATO" returns, "ATH" hangs up)
    };

    // Told when a call comes up (true) or goes down (false).
    using CallListener = std::function<void(bool up)>;

    explicit CSimModem(const SimModemOptions& options = {});

    void SetCallListener(CallListener listener) { m_listener = std::move(listener); }
    void SetDialResult(SimDialResult result) { m_options.dialResult = result; }
    void SetHangUpAfterFrames(uint32_t frames) { m_options.hangUpAfterFrames = frames; }
    void SetGuardMs(uint32_t ms) { m_options.guardMs = ms; }
    void SetConnectDelayMs(uint32_t ms) { m_options.connectDelayMs = ms; }
    const SimModemOptions& Options() const { return m_options; }

    // One byte from the line at `nowMs`. True when it belongs to the data stream.
    bool Input(uint8_t byte, int64_t nowMs);
    // Runs what is due at `nowMs`: the result of a dial, the end of an escape sequence.
    void Tick(int64_t nowMs);
    // When Tick has something to do next; -1 when nothing is pending.
    int64_t NextDeadline() const;
    // A frame of the data stream has been answered (counts towards the hang-up after N).
    void FrameAnswered();
    // The carrier is lost: "NO CARRIER", back to command mode.
    void DropCarrier();

    // Bytes for the line (echo, result codes) since the last call.
    std::string TakeOutput();
    // Readable lines for a log: each command line received ("<- ATD123") and each result
    // sent ("-> CONNECT 9600") since the last call.
    std::vector<std::string> TakeEvents();

    Mode GetMode() const { return m_mode; }
    bool IsCallUp() const { return m_mode == Mode::Data || m_mode == Mode::OnlineCommand; }
    bool Echo() const { return m_echo; }
    // Every number dialled, as given after ATD (T or P and spaces removed).
    const std::vector<std::string>& DialledNumbers() const { return m_dialled; }

private:
    enum Result { OK = 0, CONNECT = 1, NO_CARRIER = 3, ERROR = 4, BUSY = 7, NO_ANSWER = 8 };

    void Execute(const std::string& line, int64_t nowMs);
    void SendResult(Result result);
    void SendInfo(const std::string& text);
    void EndCall();

    SimModemOptions m_options;
    CallListener m_listener;
    Mode m_mode = Mode::Command;
    std::string m_out;
    std::string m_line;
    bool m_echo = true;
    bool m_verbose = true;
    bool m_quiet = false;
    int64_t m_dialDeadline = 0;
    int64_t m_lastDataMs = 0;
    int64_t m_lastPlusMs = 0;
    int m_plusCount = 0;
    uint32_t m_frames = 0;
    std::vector<std::string> m_dialled;
    std::vector<std::string> m_events;
};
