#include "tools/sim/SimServer.h"

#include "link/FrameCodec.h"
#include "link/SerCom.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A write that makes no progress for this long is dropped: nobody is reading the line.
constexpr int kStalledWriteMs = 2000;

Bytes BuildFrame(const Bytes& payload, bool badChecksum) {
    Bytes frame = EncodeFrame(payload);
    if (!badChecksum)
        return frame;
    const uint8_t checksum = FrameChecksum(payload.data(), payload.size());
    frame.resize(frame.size() - (checksum < FRAME_ESCAPE_OFFSET ? 3 : 2));
    const auto wrong = static_cast<uint8_t>(checksum + 1);
    if (wrong < FRAME_ESCAPE_OFFSET) {
        frame.push_back(FRAME_ESCAPE);
        frame.push_back(static_cast<uint8_t>(wrong + FRAME_ESCAPE_OFFSET));
    } else {
        frame.push_back(wrong);
    }
    frame.push_back(FRAME_END);
    return frame;
}

// Line noise: never a start byte, so the receiver's hunt for the frame is what gets tested.
Bytes Noise(uint32_t count) {
    static const uint8_t pattern[] = {0x00, 0xFF, 0x0A, 0x41, 0x09, 0x80, 0x20, 0x7F, 0x13, 0xA5};
    Bytes noise(count);
    for (uint32_t i = 0; i < count; ++i)
        noise[i] = pattern[i % sizeof pattern];
    return noise;
}

std::string Hex(const uint8_t* data, size_t size) {
    constexpr size_t kShown = 24;
    std::string text;
    char buf[4];
    for (size_t i = 0; i < std::min(size, kShown); ++i) {
        std::snprintf(buf, sizeof buf, "%02X ", data[i]);
        text += buf;
    }
    if (size > kShown)
        text += "... ";
    text += "(" + std::to_string(size) + " bytes)";
    return text;
}

// A command line may hold anything the far end typed.
std::string Printable(const std::string& text) {
    std::string out;
    for (char c : text)
        out += static_cast<unsigned char>(c) >= 0x20 && c != 0x7F ? c : '.';
    return out;
}

} // namespace

CSimServer::CSimServer(const SimServerOptions& options, CVirtualUnit::TimeSource now)
    : m_options(options), m_unit(std::move(now)), m_modem(options.modemOptions) {
    m_baud = options.baud;
    m_unit.SetLoginRequired(options.modem);
    m_modem.SetCallListener([this](bool up) {
        m_unit.ResetSession();
        m_callChanged = true;
        Log(up ? "call connected" : "call ended");
    });
}

CSimServer::~CSimServer() {
    Stop();
}

void CSimServer::Log(const std::string& line) const {
    if (!m_options.log)
        return;
    const int64_t ms = MonotonicMs() - m_startMs;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%6lld.%03lld] ", static_cast<long long>(ms / 1000),
                  static_cast<long long>(ms % 1000));
    m_options.log(stamp + line);
}

bool CSimServer::OpenLine(std::string* error) {
    char name[PATH_MAX] = {};
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        if (error)
            *error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    // Raw, so that the line discipline neither echoes nor translates anything.
    struct termios tio {};
    ::tcgetattr(slave, &tio);
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    ::tcsetattr(slave, TCSANOW, &tio);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!m_options.linkPath.empty()) {
        struct stat st {};
        if (::lstat(m_options.linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
            if (error)
                *error = m_options.linkPath + ": exists and is not a symbolic link";
            ::close(master);
            ::close(slave);
            return false;
        }
        // Made beside the link and renamed over it, so the link never disappears.
        const std::string tmp = m_options.linkPath + ".tmp" + std::to_string(::getpid());
        ::unlink(tmp.c_str());
        if (::symlink(name, tmp.c_str()) != 0 ||
            ::rename(tmp.c_str(), m_options.linkPath.c_str()) != 0) {
            if (error)
                *error = m_options.linkPath + ": " + std::strerror(errno);
            ::unlink(tmp.c_str());
            ::close(master);
            ::close(slave);
            return false;
        }
    }
    std::lock_guard lock(m_mutex);
    m_master = master;
    m_slave = slave;
    m_slavePath = name;
    return true;
}

void CSimServer::CloseMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void CSimServer::CloseLine(bool removeLink) {
    CloseMaster();
    if (m_slave >= 0)
        ::close(m_slave);
    m_slave = -1;
    if (removeLink && !m_options.linkPath.empty()) {
        // Only our own link goes: another copy may have taken the name over meanwhile.
        char target[PATH_MAX] = {};
        const ssize_t n = ::readlink(m_options.linkPath.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == SlavePath())
            ::unlink(m_options.linkPath.c_str());
    }
}

bool CSimServer::Start(std::string* error) {
    if (m_running)
        return true;
    if (m_wakeFd < 0)
        m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        if (error)
            *error = std::string("cannot create an event: ") + std::strerror(errno);
        return false;
    }
    if (m_startMs == 0)
        m_startMs = MonotonicMs();
    // Serving may have ended with a hang-up: what is left of that line goes first.
    JoinThread(m_stopRequest);
    CloseLine(false);
    if (!OpenLine(error))
        return false;
    m_stopRequest = false;
    m_hangUpRequest = false;
    m_hungUp = false;
    m_running = true;
    m_thread = std::thread([this] { Run(); });
    return true;
}

void CSimServer::JoinThread(std::atomic<bool>& request) {
    if (m_thread.joinable()) {
        request = true;
        Wake();
        m_thread.join();
    }
    m_running = false;
}

void CSimServer::Stop() {
    JoinThread(m_stopRequest);
    CloseLine(true);
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
}

bool CSimServer::IsRunning() const {
    return m_running;
}

std::string CSimServer::SlavePath() const {
    std::lock_guard lock(m_mutex);
    return m_slavePath;
}

void CSimServer::HangUp() {
    JoinThread(m_hangUpRequest);
    CloseMaster();
    m_hungUp = true;
}

bool CSimServer::IsHungUp() const {
    return m_hungUp;
}

bool CSimServer::Reopen(std::string* error) {
    JoinThread(m_stopRequest);
    CloseLine(false); // the new line takes the link over
    {
        std::lock_guard lock(m_mutex);
        if (m_modem.IsCallUp())
            m_modem.DropCarrier();
        m_modem.TakeOutput(); // nobody is left to hear it
    }
    return Start(error);
}

void CSimServer::SetBaud(uint32_t baud) {
    m_baud = baud;
}

void CSimServer::DropCarrier() {
    {
        std::lock_guard lock(m_mutex);
        m_modem.DropCarrier();
    }
    Wake();
}

void CSimServer::SetDialResult(SimDialResult result) {
    std::lock_guard lock(m_mutex);
    m_modem.SetDialResult(result);
}

void CSimServer::SetHangUpAfterFrames(uint32_t frames) {
    std::lock_guard lock(m_mutex);
    m_modem.SetHangUpAfterFrames(frames);
}

std::vector<std::string> CSimServer::DialledNumbers() const {
    std::lock_guard lock(m_mutex);
    return m_modem.DialledNumbers();
}

bool CSimServer::IsCallUp() const {
    std::lock_guard lock(m_mutex);
    return m_modem.IsCallUp();
}

CSimModem::Mode CSimServer::ModemMode() const {
    std::lock_guard lock(m_mutex);
    return m_modem.GetMode();
}

void CSimServer::Wake() {
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
    }
}

bool CSimServer::WaitMs(int64_t ms) {
    const int64_t deadline = MonotonicMs() + ms;
    while (!Interrupted()) {
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0)
            return true;
        struct pollfd wake = {m_wakeFd, POLLIN, 0};
        ::poll(&wake, 1, static_cast<int>(left));
    }
    return false;
}

bool CSimServer::WriteRaw(const uint8_t* data, size_t size) {
    size_t sent = 0;
    int64_t lastProgress = MonotonicMs();
    while (sent < size) {
        if (Interrupted())
            return false;
        const ssize_t n = ::write(m_master, data + sent, size - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            lastProgress = MonotonicMs();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            return true; // the line is gone; the next read tells
        const int64_t left = lastProgress + kStalledWriteMs - MonotonicMs();
        if (left <= 0) {
            Log("nobody reads the line: " + std::to_string(size - sent) + " bytes dropped");
            return true;
        }
        struct pollfd fds[2] = {{m_master, POLLOUT, 0}, {m_wakeFd, POLLIN, 0}};
        ::poll(fds, 2, static_cast<int>(std::min<int64_t>(left, 100)));
    }
    return true;
}

bool CSimServer::WriteLine(const uint8_t* data, size_t size) {
    const uint32_t baud = m_baud;
    if (baud == 0 || size == 0)
        return WriteRaw(data, size);
    // 8N1: ten bit times per byte.
    const double usPerByte = 10e6 / baud;
    const int64_t start = std::max(MonotonicUs(), m_lineFreeUs);
    size_t sent = 0;
    while (sent < size) {
        const int64_t now = MonotonicUs();
        const auto due =
            now < start ? 0 : std::min(size, static_cast<size_t>((now - start) / usPerByte) + 1);
        if (due > sent) {
            if (!WriteRaw(data + sent, due - sent))
                return false;
            sent = due;
            continue;
        }
        const auto nextUs = start + static_cast<int64_t>(sent * usPerByte);
        if (!WaitMs(std::max<int64_t>(1, (nextUs - now + 999) / 1000)))
            return false;
    }
    m_lineFreeUs = start + static_cast<int64_t>(size * usPerByte);
    return true;
}

bool CSimServer::FlushModem() {
    std::string out;
    std::vector<std::string> events;
    {
        std::lock_guard lock(m_mutex);
        out = m_modem.TakeOutput();
        events = m_modem.TakeEvents();
    }
    for (const std::string& event : events)
        Log("modem " + Printable(event));
    if (out.empty())
        return true;
    return WriteLine(reinterpret_cast<const uint8_t*>(out.data()), out.size());
}

bool CSimServer::Serve(const uint8_t* request, size_t size) {
    const SimResponse response = m_unit.Process(request, size);
    if (m_options.log) {
        std::string name(size > 1 ? SimCommandName(request[1]) : "");
        Log("<- " + Hex(request, size) + (name.empty() ? "" : " " + name));
    }
    if (!response.answer) {
        Log("-> (no answer)");
        return true;
    }
    Bytes line = Noise(response.noiseBytes);
    const Bytes frame = BuildFrame(response.payload, response.badChecksum);
    line.insert(line.end(), frame.begin(), frame.end());
    if (m_options.log) {
        std::string notes;
        if (response.badChecksum)
            notes += " [bad checksum]";
        if (response.noiseBytes)
            notes += " [" + std::to_string(response.noiseBytes) + " noise bytes]";
        if (response.delayMs)
            notes += " [delay " + std::to_string(response.delayMs) + " ms]";
        if (response.hangUp)
            notes += " [hang-up]";
        Log("-> " + Hex(response.payload.data(), response.payload.size()) + notes);
    }
    if (response.delayMs && !WaitMs(response.delayMs))
        return false;
    if (response.hangUp) {
        const size_t part = response.noiseBytes + frame.size() / 2;
        if (!WriteLine(line.data(), part))
            return false;
        if (m_options.modem) {
            {
                std::lock_guard lock(m_mutex);
                m_modem.DropCarrier();
            }
            return FlushModem();
        }
        m_hungUp = true; // before the far end can see it
        CloseMaster();
        Log("line hung up");
        return false;
    }
    if (!WriteLine(line.data(), line.size()))
        return false;
    if (m_options.modem) {
        {
            std::lock_guard lock(m_mutex);
            m_modem.FrameAnswered();
        }
        return FlushModem();
    }
    return true;
}

void CSimServer::Run() {
    Bytes payload(1024);
    CFrameDecoder decoder(payload.data(), static_cast<uint32_t>(payload.size()));
    int64_t rxLineFreeUs = 0; // when the paced line has delivered every byte received so far
    const bool modem = m_options.modem;
    for (;;) {
        if (m_stopRequest || m_hungUp)
            break;
        if (m_hangUpRequest) {
            CloseMaster();
            m_hungUp = true;
            Log("line hung up");
            break;
        }
        int timeout = -1;
        if (modem) {
            std::lock_guard lock(m_mutex);
            const int64_t deadline = m_modem.NextDeadline();
            if (deadline >= 0)
                timeout = static_cast<int>(std::clamp<int64_t>(deadline - MonotonicMs(), 0, 60000));
        }
        struct pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            uint64_t value = 0;
            [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &value, sizeof value);
        }
        if (Interrupted())
            continue;
        if (modem) {
            {
                std::lock_guard lock(m_mutex);
                m_modem.Tick(MonotonicMs());
            }
            if (!FlushModem())
                continue;
        }
        if (!(fds[0].revents & POLLIN)) {
            if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL))
                WaitMs(10);
            continue;
        }
        uint8_t buf[512];
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n <= 0)
            continue;
        // At wire speed the bytes of a request arrive one after another too: a frame is
        // complete only when its last byte would have come down the line.
        const uint32_t baud = m_baud;
        const double usPerByte = baud ? 10e6 / baud : 0;
        const int64_t readUs = MonotonicUs();
        for (ssize_t i = 0; i < n && !Interrupted() && m_master >= 0; ++i) {
            if (baud)
                rxLineFreeUs = std::max(readUs, rxLineFreeUs) + static_cast<int64_t>(usPerByte);
            if (modem) {
                bool data = false;
                {
                    std::lock_guard lock(m_mutex);
                    data = m_modem.Input(buf[i], MonotonicMs());
                }
                if (m_callChanged.exchange(false))
                    decoder.Start(payload.data(), static_cast<uint32_t>(payload.size()));
                if (!data) {
                    FlushModem();
                    continue;
                }
            }
            const CFrameDecoder::Status status = decoder.Feed(buf[i]);
            if (status == CFrameDecoder::Status::More)
                continue;
            const uint32_t stored = decoder.Stored();
            decoder.Start(payload.data(), static_cast<uint32_t>(payload.size()));
            if (status == CFrameDecoder::Status::BadChecksum) {
                Log("<- frame with a bad checksum ignored: " + Hex(payload.data(), stored));
                continue;
            }
            if (baud) {
                const int64_t waitUs = rxLineFreeUs - MonotonicUs();
                if (waitUs > 0 && !WaitMs((waitUs + 999) / 1000))
                    break;
            }
            Serve(payload.data(), stored);
            if (modem && m_callChanged.exchange(false))
                decoder.Start(payload.data(), static_cast<uint32_t>(payload.size()));
        }
    }
    m_running = false;
}
