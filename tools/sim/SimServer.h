// The virtual unit on a pseudo-terminal: a serving thread reads request frames from the
// master side, lets the unit answer, applies the line faults and the wire speed, and writes
// the reply frames back. With a modem in front, the same thread plays the modem's command
// mode and passes only the data mode's bytes to the unit. Programs open the slave side as
// they would open a serial device.
#pragma once

#include "tools/sim/SimModem.h"
#include "tools/sim/VirtualUnit.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SimServerOptions {
    bool modem = false; // a Hayes modem in front; the unit then requires a login
    SimModemOptions modemOptions;
    uint32_t baud = 0;    // replies paced like an 8N1 line of this speed; 0 = at once
    std::string linkPath; // a symbolic link made to the slave device; empty = none
    // Receives one readable line per request, reply and call event (the verbose log).
    std::function<void(const std::string&)> log;
};

class CSimServer {
public:
    explicit CSimServer(const SimServerOptions& options = {}, CVirtualUnit::TimeSource now = {});
    ~CSimServer();
    CSimServer(const CSimServer&) = delete;
    CSimServer& operator=(const CSimServer&) = delete;

    // Creates the pseudo-terminal (and the link) and starts serving. False, with a reason,
    // when that fails. After a hang-up it starts on a new pseudo-terminal, like Reopen.
    bool Start(std::string* error = nullptr);
    // Stops serving, closes the pseudo-terminal and removes the link. Idempotent.
    void Stop();
    bool IsRunning() const;

    // The device a program opens (valid after Start).
    std::string SlavePath() const;

    CVirtualUnit& Unit() { return m_unit; }
    const CVirtualUnit& Unit() const { return m_unit; }

    // Closes the line now (the master side): the program side sees it hang up and serving
    // ends. Returns once it is done.
    void HangUp();
    // True once the line has hung up, by HangUp or by a hang-up fault on the direct line.
    bool IsHungUp() const;
    // A new pseudo-terminal after a hang-up (or at any time); the link follows it. The unit
    // keeps its state.
    bool Reopen(std::string* error = nullptr);

    // Wire speed of the following replies; 0 = at once.
    void SetBaud(uint32_t baud);

    // Modem mode only.
    void DropCarrier(); // the call is lost: "NO CARRIER"
    void SetDialResult(SimDialResult result);
    void SetHangUpAfterFrames(uint32_t frames);
    std::vector<std::string> DialledNumbers() const;
    bool IsCallUp() const;
    CSimModem::Mode ModemMode() const;

private:
    void Run();
    bool OpenLine(std::string* error);
    void CloseLine(bool removeLink);
    void Wake();
    void JoinThread(std::atomic<bool>& request);
    bool Interrupted() const { return m_stopRequest || m_hangUpRequest; }
    bool WaitMs(int64_t ms);
    bool WriteLine(const uint8_t* data, size_t size);
    bool WriteRaw(const uint8_t* data, size_t size);
    bool FlushModem();
    bool Serve(const uint8_t* request, size_t size);
    void CloseMaster();
    void Log(const std::string& line) const;

    SimServerOptions m_options;
    CVirtualUnit m_unit;
    mutable std::mutex m_mutex; // the modem and the line's path
    CSimModem m_modem;
    std::string m_slavePath;
    int m_master = -1;
    int m_slave = -1; // held open so that the master never sees a hang-up between programs
    int m_wakeFd = -1;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stopRequest{false};
    std::atomic<bool> m_hangUpRequest{false};
    std::atomic<bool> m_hungUp{false};
    std::atomic<bool> m_callChanged{false};
    std::atomic<uint32_t> m_baud{0};
    int64_t m_lineFreeUs = 0; // when the paced line has sent everything written so far
    int64_t m_startMs = 0;
};
