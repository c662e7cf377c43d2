// A scripted far end for link tests: a thread on the master side of a pseudo-terminal that
// decodes each request frame and answers as the test's handler says.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using Bytes = std::vector<uint8_t>;

struct PeerReply {
    Bytes raw;       // bytes written to the line as they stand (an encoded frame, noise ...)
    int delayMs = 0; // wait before writing
};

class FramePeer {
public:
    // The handler sees each request payload (header first) and says what to write back;
    // std::nullopt means no answer at all.
    using Handler = std::function<std::optional<PeerReply>(const Bytes& request)>;

    FramePeer(int masterFd, Handler handler);
    ~FramePeer();

    void Stop();

    // Requests received so far (payloads, checksum removed).
    std::vector<Bytes> Requests() const;
    size_t RequestCount() const;
    // Every raw byte received from the line.
    Bytes RawReceived() const;

    // Helpers for handlers.
    static PeerReply Frame(const Bytes& payload, int delayMs = 0);
    static PeerReply Raw(const Bytes& bytes, int delayMs = 0);
    // The reply header 80 cc 01 <confirm> followed by `data`.
    static Bytes Reply(uint8_t command, uint8_t confirm, const Bytes& data = {});

private:
    void Run();

    int m_master;
    Handler m_handler;
    int m_stopFd = -1;
    mutable std::mutex m_mutex;
    std::vector<Bytes> m_requests;
    Bytes m_raw;
    std::thread m_thread;
};
