// The virtual unit: the unit's side of the protocol as a plain object. A request payload goes
// in, the reply payload comes out, together with what the line should do to it (faults). No
// I/O and no threads of its own; every public method may be called from any thread.
#pragma once

#include "status/SysTime.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// Confirmation codes the unit answers with (byte 3 of a reply).
inline constexpr uint8_t SIM_CONF_OK = 0;
inline constexpr uint8_t SIM_CONF_NONE = 1;           // no stored SMS; a refused send
inline constexpr uint8_t SIM_CONF_BAD_REQUEST = 2;    // malformed request, block out of range
inline constexpr uint8_t SIM_CONF_BAD_PIN = 3;        // login with a wrong PIN
inline constexpr uint8_t SIM_CONF_BAD_PIN_4 = 4;      // the same, as some units answer it
inline constexpr uint8_t SIM_CONF_LOGIN_REQUIRED = 5; // modem session without login
inline constexpr uint8_t SIM_CONF_BLOCKED = 6;        // access blocked after wrong PINs
inline constexpr uint8_t SIM_CONF_UNKNOWN = 7;        // command the unit does not know

// Largest data block of one configuration transfer.
inline constexpr uint32_t SIM_MAX_BLOCK = 170;
// Largest stored-message reply: the text ends at byte 187 at the latest.
inline constexpr uint32_t SIM_SMS_REPLY_MAX = 188;
// Longest text of one send frame.
inline constexpr uint32_t SIM_SMS_PART_MAX = 160;

// Identification and type reply values. Texts are CP1250 bytes, as on the wire.
struct SimIdent {
    std::string name = "TK530 virtual unit"; // at most 127 characters
    uint8_t fwMajor = 1;
    uint8_t fwMinor = 5;
    uint32_t hwMajor = 2;
    uint8_t hwMinor = 10;
    uint32_t serial = 12345;
    uint8_t serialAux = 0;
    std::string imei = "356000012345678"; // at most 15 characters
    uint16_t typeAux = 1;                 // first value of the type reply
    uint16_t cfgType = 1;                 // device type code: 1 = the 1665-byte device layout
};

struct SimGsm {
    uint8_t gsmState = 1; // idle
    uint8_t simState = 2; // OK
    uint8_t netState = 1; // registered
    uint8_t signal = 20;  // 0..32
    uint8_t refused = 0;  // refused accesses
    float credit1 = 250.5f;
    float credit2 = 0.0f;
    uint16_t cellId = 0x1A2B;
    std::string operatorName = "Virtual GSM"; // at most 16 characters, CP1250
};

// A message stored in the unit, as the stored-message reply carries it.
struct SimSms {
    SysTime time;       // reception time (day, month, year, hour, minute, second)
    std::string number; // CP1250, no zero byte
    std::string text;   // CP1250, no zero byte

    bool operator==(const SimSms&) const = default;
};

// A message handed over with a send frame.
struct SimSentSms {
    std::string number;
    std::string text;
    bool accepted = true; // false when the unit refused it with confirmation 1
    int64_t timeMs = 0;   // when the frame arrived (the unit's time source)

    bool operator==(const SimSentSms&) const = default;
};

// How the unit handles send frames.
struct SimSendOptions {
    uint32_t pollsInProgress = 2; // state polls answered "in progress" after each send
    bool fail = false;            // the send then ends as failed (state 0) instead of sent (2)
    bool refuse = false;          // every send frame is refused with confirmation 1
};

// Everything that makes up the unit between runs (what a state file holds).
struct SimUnitState {
    SimIdent ident;
    SimGsm gsm;
    uint8_t inputs = 0x01;
    uint8_t outputs = 0x00;
    SysTime clock;                // the clock's value at the moment the state was taken
    std::vector<uint8_t> config;  // configuration memory in the device layout
    std::deque<SimSms> stored;    // oldest first
    std::vector<SimSentSms> sent; // every send frame, oldest first
    SimSendOptions send;
    std::string pin = "1234"; // access PIN of a modem session, at most 8 characters
    uint32_t blockAfter = 3;  // wrong PINs in a row that block access; 0 = never
    uint32_t wrongPins = 0;   // wrong PINs in a row so far
    bool blocked = false;
};

// A fault on the line or in the unit's answer, for requests of one command (or of all).
enum class SimFaultKind {
    NoAnswer,    // the request is carried out, the reply never leaves
    BadChecksum, // the reply frame carries a wrong checksum
    Noise,       // `value` noise bytes (8 when 0) go out before the reply frame
    Confirm,     // the request is refused with confirmation `value`; nothing changes
    BadEcho,     // a configuration block reply echoes a wrong offset (value 0) or length (1)
    Delay,       // the reply leaves `value` ms late
    HangUp,      // the line hangs up in the middle of the reply frame
    Short,       // the reply payload is cut to `value` bytes (the header alone when 0)
};

inline constexpr int SIM_ANY_COMMAND = -1;
inline constexpr uint32_t SIM_FAULT_ALWAYS = 0xFFFFFFFF;

struct SimFault {
    int command = SIM_ANY_COMMAND; // command code, or SIM_ANY_COMMAND
    SimFaultKind kind = SimFaultKind::NoAnswer;
    uint32_t value = 0;
    uint32_t count = SIM_FAULT_ALWAYS; // how many matching requests it hits
    uint32_t after = 0;                // matching requests let through before the first hit

    bool operator==(const SimFault&) const = default;
};

// What goes back on the line for one request.
struct SimResponse {
    bool answer = true;           // false: no reply at all
    std::vector<uint8_t> payload; // the reply payload, header first
    bool badChecksum = false;
    uint32_t noiseBytes = 0;
    uint32_t delayMs = 0;
    bool hangUp = false; // write part of the frame, then hang up
};

// One received request, as the unit logged it.
struct SimRequestRecord {
    int64_t timeMs = 0; // the unit's time source (MonotonicMs by default)
    std::vector<uint8_t> payload;
};

class CVirtualUnit {
public:
    using TimeSource = std::function<int64_t()>; // milliseconds of a monotonic clock

    // A unit in its initial state: default configuration memory, the clock at the PC's local
    // time. `now` is the time source for the running clock and the request log.
    explicit CVirtualUnit(TimeSource now = {});
    CVirtualUnit(const CVirtualUnit&) = delete;
    CVirtualUnit& operator=(const CVirtualUnit&) = delete;

    // Handles one request payload (header first, checksum removed).
    SimResponse Process(const uint8_t* request, size_t size);
    SimResponse Process(const std::vector<uint8_t>& request) {
        return Process(request.data(), request.size());
    }

    // Whole state (the clock taken at this moment) and its replacement. A configuration
    // memory of another size than the device layout is refused (false).
    SimUnitState State() const;
    bool SetState(const SimUnitState& state);

    SimIdent Ident() const;
    void SetIdent(const SimIdent& ident);
    SimGsm Gsm() const;
    void SetGsm(const SimGsm& gsm);
    uint8_t Inputs() const;
    void SetInputs(uint8_t inputs);
    uint8_t Outputs() const;
    void SetOutputs(uint8_t outputs);

    // The running clock: it runs on from the value last set (by a request or here). False
    // for a date or time that does not exist.
    SysTime Clock() const;
    bool SetClock(const SysTime& time);

    std::vector<uint8_t> ConfigMemory() const;
    bool SetConfigMemory(const std::vector<uint8_t>& memory); // must be the device layout's size

    // Stored messages. False when the message does not fit the reply (number + text longer
    // than 175 bytes) or holds a zero byte.
    bool AddStoredSms(const SimSms& sms);
    std::vector<SimSms> StoredSms() const;
    void ClearStoredSms();

    std::vector<SimSentSms> SentMessages() const;
    void SetSendOptions(const SimSendOptions& options);
    SimSendOptions SendOptions() const;
    // State byte that the next send-state poll would answer with (without counting a poll).
    uint8_t SendState() const;

    // Login. A modem session requires a login before any command but login and logout.
    void SetPin(const std::string& pin);
    void SetBlockAfter(uint32_t wrongPins);
    // Confirmation that refuses a wrong PIN: SIM_CONF_BAD_PIN (the default) or
    // SIM_CONF_BAD_PIN_4.
    void SetBadPinCode(uint8_t code);
    bool IsBlocked() const;
    void Unblock(); // also clears the count of wrong PINs
    bool IsLoggedIn() const;
    void SetLoginRequired(bool required);
    // A new session (call connected) or its end: either way the unit is logged out.
    void ResetSession();

    // A muted unit is as if powered off or cut off: requests still arrive (and are logged, so a
    // test sees the polls go on) but nothing is carried out and nothing is answered.
    void SetMuted(bool muted);
    bool IsMuted() const;

    // Faults apply in the order added; several may hit one request.
    void AddFault(const SimFault& fault);
    void ClearFaults();
    // The faults with their remaining counts.
    std::vector<SimFault> Faults() const;

    // The requests received, oldest first, with their times (a long run keeps the most recent
    // 100000), and how many arrived in all.
    std::vector<SimRequestRecord> Requests() const;
    size_t RequestCount() const;
    // Waits until at least `count` requests have arrived in all; false after `timeoutMs`.
    bool WaitForRequests(size_t count, int timeoutMs) const;

private:
    struct FaultSlot {
        SimFault fault;
        uint32_t skipLeft = 0;
    };

    std::vector<uint8_t> Handle(const uint8_t* req, size_t size);
    std::vector<uint8_t> Login(const uint8_t* req, size_t size);
    std::vector<uint8_t> ReadBlock(const uint8_t* req, size_t size);
    std::vector<uint8_t> WriteBlock(const uint8_t* req, size_t size);
    std::vector<uint8_t> SendSms(const uint8_t* req, size_t size);
    std::vector<uint8_t> GetSms();
    SysTime ClockLocked() const;
    void SetClockLocked(const SysTime& time);

    TimeSource m_now;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_requestArrived;
    SimUnitState m_state;
    int64_t m_clockSetMs = 0; // when m_state.clock was last set
    bool m_loginRequired = false;
    bool m_loggedIn = false;
    bool m_muted = false;
    uint8_t m_badPinCode = SIM_CONF_BAD_PIN;
    uint8_t m_sendState = 2; // nothing pending reads as sent
    uint32_t m_pollsLeft = 0;
    std::vector<FaultSlot> m_faults;
    std::vector<SimRequestRecord> m_requests;
    size_t m_requestTotal = 0;
};

// Name of a command code ("READ_CFG"), or empty when unknown.
std::string_view SimCommandName(uint8_t command);
// Command code of a name (case-insensitive, with or without "CMD_"), or -1.
int SimCommandByName(std::string_view name);
