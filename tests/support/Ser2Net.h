// A real serial device server (ser2net) in front of a serial device for tests: a raw TCP or an
// RFC 2217 accepter on a free loopback port, from a generated configuration. One accepter per
// device, as a site has it (two accepters of one device refuse each other's connections for a
// while after one closes). The server is always ended with its object, and dies with the test
// process if that is killed.
#pragma once

#include <cstdint>
#include <string>
#include <sys/types.h>

class Ser2Net {
public:
    // True when the ser2net program can be run (it is part of the project's dependencies).
    static bool Available();

    Ser2Net(std::string device, bool rfc2217);
    ~Ser2Net();
    Ser2Net(const Ser2Net&) = delete;
    Ser2Net& operator=(const Ser2Net&) = delete;

    // Starts the server and waits until its accepter listens. False, with a reason (and
    // the server's own output), when it did not come up.
    bool Start(std::string* error);
    // Ends the server (its connections drop). Idempotent.
    void Stop();

    // The port name that reaches the device through the server.
    std::string Port() const {
        return (m_bRfc2217 ? "rfc2217://127.0.0.1:" : "tcp://127.0.0.1:") + std::to_string(m_port);
    }

private:
    std::string m_device;
    std::string m_folder;
    pid_t m_pid = -1;
    bool m_bRfc2217 = false;
    uint16_t m_port = 0;
};

// A loopback server that does not answer: it listens, but its queue of connections is full,
// so a connect to it never completes (as with a host that drops every packet).
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;
    bool Ok() const { return m_port != 0; }
    std::string Port() const { return "tcp://127.0.0.1:" + std::to_string(m_port); }

private:
    int m_fd = -1;
    int m_fillers[4] = {-1, -1, -1, -1};
    uint16_t m_port = 0;
};

// A loopback TCP port nothing listens on now.
uint16_t FreeLoopbackPort();
// True while something listens on this loopback TCP port.
bool LoopbackPortListens(uint16_t port);
