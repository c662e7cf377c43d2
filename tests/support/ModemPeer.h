// A scripted Hayes modem for dialler tests: a thread on the master side of a pseudo-terminal
// that takes AT command lines, echoes them until ATE0, answers OK (or what the test's script
// says), "dials" with a result after a delay, and once connected hands the data to a frame
// handler like FramePeer, so that the unit's protocol can run over the call. In a call it
// watches for the "+++" escape between guard times, and takes ATH and ATO afterwards.
#pragma once

#include "link/FrameCodec.h"
#include "tests/support/FramePeer.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class ModemPeer {
public:
    struct Options {
        bool echo = true;                        // echo at power-on and after ATZ
        std::string dialResult = "CONNECT 9600"; // empty: the dial goes on until aborted
        int dialDelayMs = 50;
        int guardMs = 50;           // silence the escape needs before and after "+++"
        std::string afterConnect{}; // bytes sent right after the CONNECT line
    };

    // Says what to answer to one command line (without its CR): the raw text to write, ""
    // for silence, or std::nullopt for the modem's default behaviour.
    using Script = std::function<std::optional<std::string>(const std::string& command)>;

    ModemPeer(int masterFd, Options options, Script script = {}, FramePeer::Handler frames = {});
    ~ModemPeer();
    ModemPeer(const ModemPeer&) = delete;
    ModemPeer& operator=(const ModemPeer&) = delete;

    void Stop();

    // The far end hangs up: "NO CARRIER", back to command mode.
    void DropCarrier();

    std::vector<std::string> Commands() const;
    Bytes RawReceived() const;
    std::vector<Bytes> Requests() const;
    bool InCall() const;
    bool DialAborted() const;
    int Escapes() const;
    int HangUps() const; // ATH commands received

    // Default answer text: CR LF, the result, CR LF.
    static std::string Result(const std::string& text) { return "\r\n" + text + "\r\n"; }

private:
    enum class Mode { Command, Dialling, Data, OnlineCommand };

    void Run();
    void OnByte(uint8_t b, int64_t now);
    void OnCommand(const std::string& line, int64_t now);
    void OnData(uint8_t b);
    void Send(const std::string& text);
    int64_t NextEventMs() const;
    void OnTimers(int64_t now);

    int m_master;
    Options m_opt;
    Script m_script;
    FramePeer::Handler m_frames;
    int m_stopFd = -1;

    mutable std::mutex m_mutex;
    Mode m_mode = Mode::Command;
    bool m_echo;
    std::string m_line;
    int64_t m_dialAt = -1;
    int64_t m_lastRx = 0;
    int m_plus = 0;
    int64_t m_escapeAt = -1;
    uint8_t m_payload[1024] = {};
    CFrameDecoder m_decoder;
    std::vector<std::string> m_commands;
    Bytes m_raw;
    std::vector<Bytes> m_requests;
    bool m_dialAborted = false;
    int m_escapes = 0;
    int m_hangUps = 0;
    std::thread m_thread;
};
