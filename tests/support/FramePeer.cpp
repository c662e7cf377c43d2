#include "tests/support/FramePeer.h"

#include "link/FrameCodec.h"

#include <algorithm>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

FramePeer::FramePeer(int masterFd, Handler handler)
    : m_master(masterFd), m_handler(std::move(handler)) {
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_thread = std::thread([this] { Run(); });
}

FramePeer::~FramePeer() {
    Stop();
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

void FramePeer::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
}

std::vector<Bytes> FramePeer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t FramePeer::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requests.size();
}

Bytes FramePeer::RawReceived() const {
    std::lock_guard lock(m_mutex);
    return m_raw;
}

PeerReply FramePeer::Frame(const Bytes& payload, int delayMs) {
    return PeerReply{EncodeFrame(payload), delayMs};
}

PeerReply FramePeer::Raw(const Bytes& bytes, int delayMs) {
    return PeerReply{bytes, delayMs};
}

Bytes FramePeer::Reply(uint8_t command, uint8_t confirm, const Bytes& data) {
    Bytes b(4 + data.size());
    b[0] = 0x80;
    b[1] = command;
    b[2] = 0x01;
    b[3] = confirm;
    std::copy(data.begin(), data.end(), b.begin() + 4);
    return b;
}

void FramePeer::Run() {
    uint8_t payload[1024];
    CFrameDecoder decoder(payload, sizeof payload);
    for (;;) {
        struct pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                ::usleep(1000); // nobody on the slave side right now
            continue;
        }
        uint8_t buf[512];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            continue;
        for (ssize_t i = 0; i < n; ++i) {
            {
                std::lock_guard lock(m_mutex);
                m_raw.push_back(buf[i]);
            }
            const auto status = decoder.Feed(buf[i]);
            if (status == CFrameDecoder::Status::More)
                continue;
            Bytes request(payload, payload + decoder.Stored());
            decoder.Start(payload, sizeof payload);
            if (status != CFrameDecoder::Status::Complete)
                continue;
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            const std::optional<PeerReply> reply = m_handler(request);
            if (!reply)
                continue;
            if (reply->delayMs > 0) {
                struct pollfd stop = {m_stopFd, POLLIN, 0};
                if (::poll(&stop, 1, reply->delayMs) > 0)
                    return;
            }
            size_t off = 0;
            while (off < reply->raw.size()) {
                const ssize_t w =
                    ::write(m_master, reply->raw.data() + off, reply->raw.size() - off);
                if (w <= 0)
                    break;
                off += static_cast<size_t>(w);
            }
        }
    }
}
