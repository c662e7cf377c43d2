// The telnet side of a serial device server that speaks RFC 2217 (telnet with serial-port
// control): the option negotiation, the port settings (speed, framing, flow control, DTR and
// RTS) and the escaping of 0xFF in the data. Bytes in, bytes out: the socket is the caller's,
// so a recorded exchange can be played against it.
//
// The settings are best effort, as the handshake is on a local port: a server that does not
// answer a request within the caller's wait leaves it "missing" (noted in the trace), and one
// that answers with other modem-control or flow-control values only gets a note. Only a
// speed or framing other than asked for, or a server that refuses the port control as a
// whole, fails the open.
#pragma once

#include "link/SerCom.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace telnet {
inline constexpr uint8_t IAC = 255;
inline constexpr uint8_t DONT = 254;
inline constexpr uint8_t DO = 253;
inline constexpr uint8_t WONT = 252;
inline constexpr uint8_t WILL = 251;
inline constexpr uint8_t SB = 250;
inline constexpr uint8_t SE = 240;

inline constexpr uint8_t OPT_BINARY = 0;
inline constexpr uint8_t OPT_SGA = 3;
inline constexpr uint8_t OPT_COM_PORT = 44;

// Commands of the COM-PORT-OPTION subnegotiation (client to server); the server answers
// with the same command plus SERVER_OFFSET and the value it now uses.
inline constexpr uint8_t CPO_SET_BAUDRATE = 1;
inline constexpr uint8_t CPO_SET_DATASIZE = 2;
inline constexpr uint8_t CPO_SET_PARITY = 3;
inline constexpr uint8_t CPO_SET_STOPSIZE = 4;
inline constexpr uint8_t CPO_SET_CONTROL = 5;
inline constexpr uint8_t CPO_SERVER_OFFSET = 100;

inline constexpr uint8_t PARITY_NONE = 1;
inline constexpr uint8_t STOPSIZE_1 = 1;
// SET-CONTROL values: flow control, DTR and RTS.
inline constexpr uint8_t CONTROL_FLOW_NONE = 1;
inline constexpr uint8_t CONTROL_FLOW_XONXOFF = 2;
inline constexpr uint8_t CONTROL_FLOW_HARDWARE = 3;
inline constexpr uint8_t CONTROL_DTR_ON = 8;
inline constexpr uint8_t CONTROL_DTR_OFF = 9;
inline constexpr uint8_t CONTROL_RTS_ON = 11;
inline constexpr uint8_t CONTROL_RTS_OFF = 12;
} // namespace telnet

// Writes `count` bytes of data as they travel in a telnet stream (0xFF doubled) onto `out`.
void TelnetEscape(const uint8_t* data, size_t count, std::vector<uint8_t>& out);

class CRfc2217 {
public:
    // One setting of the port asked of the server.
    enum Setting : uint8_t { BAUD, DATASIZE, PARITY, STOPSIZE, FLOW, DTR, RTS, SETTING_COUNT };
    enum class State : uint8_t {
        Unasked, // not asked (the DCB leaves it alone, or the server has not taken the option)
        Waiting, // asked, no answer yet
        Done,    // the server answered with the value asked for
        Other,   // the server answered with another value
        Missing, // no answer within the wait
    };

    // Starts the negotiation for these port settings: the bytes to send first.
    std::vector<uint8_t> Start(const CommDcb& dcb);

    // Takes bytes received from the server: the data among them is appended to `data`, the
    // telnet answers owed to the server to `reply` (to be sent as they are).
    void Feed(const uint8_t* in, size_t count, std::vector<uint8_t>& data,
              std::vector<uint8_t>& reply);

    // True when nothing asked waits for an answer any more.
    bool Settled() const;
    // The wait is over: what is still unanswered is missing from now on.
    void GiveUp();

    // True when the server refused the port control or answered speed or framing with other
    // values; `reason` (Czech) says which.
    bool Refused(std::string* reason) const;
    // True when hardware flow control was asked for and the server answered with another.
    bool NoFlowControl() const;
    // What the trace notes once: the settings the server did not answer or answered with other
    // values, in Czech; empty when everything was confirmed.
    std::string Notes() const;

    State StateOf(Setting s) const { return m_state[s]; }
    // True once the server agreed to the port control option.
    bool PortControlAgreed() const { return m_us[telnet::OPT_COM_PORT] == Q::Yes; }

private:
    // The state of an option on one side (RFC 1143, without the queue bits).
    enum class Q : uint8_t { No, WantYes, Yes };

    void OnCommand(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply);
    void OnSubnegotiation(const std::vector<uint8_t>& sb);
    void OnControlReply(uint8_t value);
    void Answer(Setting s, uint32_t value);
    void SendSettings(std::vector<uint8_t>& reply);

    std::array<Q, 256> m_us{};  // options we perform (WILL/WONT)
    std::array<Q, 256> m_him{}; // options the server performs (DO/DONT)
    bool m_bPortRefused = false;
    bool m_bPortMissing = false;
    std::array<State, SETTING_COUNT> m_state{};
    std::array<uint32_t, SETTING_COUNT> m_wanted{};
    std::array<uint32_t, SETTING_COUNT> m_got{};

    // The receive parser: data, after IAC, after IAC and a verb, inside SB, inside SB after IAC.
    enum class Rx : uint8_t { Data, Iac, Verb, Sb, SbIac };
    Rx m_rx = Rx::Data;
    uint8_t m_verb = 0;
    std::vector<uint8_t> m_sb;
    static constexpr size_t SB_MAX = 64; // longer subnegotiations are cut (never ours)
};
