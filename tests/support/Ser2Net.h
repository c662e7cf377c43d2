// A real serial device server (ser2net) in front of a serial device for tests: a raw TCP and
// an RFC 2217 accepter on free loopback ports, from a generated configuration. The server is
// always ended with its object, and dies with the test process if that is killed.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

class Ser2Net {
public:
    // True when the ser2net program can be run (it is part of the project's dependencies).
    static bool Available();

    explicit Ser2Net(std::string device);
    ~Ser2Net();
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;

    // Starts the server and waits until both accepters listen. False, with a reason (and
    // the server's own output), when it did not come up.
    bool Start(std::string* error);
    // Ends the server (its connections drop). Idempotent.
    void Stop();

    std::string RawPort() const { return "tcp://127.0.0.1:" + std::to_string(m_rawPort); }
    std::string RfcPort() const { return "rfc2217://127.0.0.1:" + std::to_string(m_rfcPort); }

private:
    std::string m_device;
    std::string m_folder;
    pid_t m_pid = -1;
    uint16_t m_rawPort = 0;
    uint16_t m_rfcPort = 0;
};

// A loopback TCP port nothing listens on now.
uint16_t FreeLoopbackPort();
// True while something listens on this loopback TCP port.
bool LoopbackPortListens(uint16_t port);
