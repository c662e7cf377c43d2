#include "tests/support/ModemPeer.h"

#include "link/SerCom.h"

#include <algorithm>
#include <cctype>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

ModemPeer::ModemPeer(int masterFd, Options options, Script script, FramePeer::Handler frames)
    : m_master(masterFd), m_opt(std::move(options)), m_script(std::move(script)),
      m_frames(std::move(frames)), m_echo(m_opt.echo) {
    m_stopFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_lastRx = MonotonicMs();
    m_thread = std::thread([this] { Run(); });
}

ModemPeer::~ModemPeer() {
    Stop();
    if (m_stopFd >= 0)
        ::close(m_stopFd);
}

void ModemPeer::Stop() {
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] auto n = ::write(m_stopFd, &one, sizeof one);
        m_thread.join();
    }
}

void ModemPeer::DropCarrier() {
    std::lock_guard lock(m_mutex);
    if (m_mode == Mode::Command)
        return;
    Send(Result("NO CARRIER"));
    m_mode = Mode::Command;
    m_dialAt = -1;
    m_escapeAt = -1;
}

std::vector<std::string> ModemPeer::Commands() const {
    std::lock_guard lock(m_mutex);
    return m_commands;
}

Bytes ModemPeer::RawReceived() const {
    std::lock_guard lock(m_mutex);
    return m_raw;
}

std::vector<Bytes> ModemPeer::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

bool ModemPeer::InCall() const {
    std::lock_guard lock(m_mutex);
    return m_mode == Mode::Data || m_mode == Mode::OnlineCommand;
}

bool ModemPeer::DialAborted() const {
    std::lock_guard lock(m_mutex);
    return m_dialAborted;
}

int ModemPeer::Escapes() const {
    std::lock_guard lock(m_mutex);
    return m_escapes;
}

int ModemPeer::HangUps() const {
    std::lock_guard lock(m_mutex);
    return m_hangUps;
}

void ModemPeer::Send(const std::string& text) {
    size_t off = 0;
    while (off < text.size()) {
        const ssize_t n = ::write(m_master, text.data() + off, text.size() - off);
        if (n <= 0)
            return;
        off += static_cast<size_t>(n);
    }
}

int64_t ModemPeer::NextEventMs() const {
    if (m_mode == Mode::Dialling && m_dialAt >= 0)
        return m_dialAt;
    if (m_mode == Mode::Data && m_escapeAt >= 0)
        return m_escapeAt;
    return -1;
}

void ModemPeer::Run() {
    for (;;) {
        int timeout = -1;
        {
            std::lock_guard lock(m_mutex);
            const int64_t next = NextEventMs();
            if (next >= 0)
                timeout = static_cast<int>(std::max<int64_t>(next - MonotonicMs(), 0));
        }
        struct pollfd fds[2] = {{m_master, POLLIN, 0}, {m_stopFd, POLLIN, 0}};
        if (::poll(fds, 2, timeout) < 0)
            continue;
        if (fds[1].revents)
            return;
        const int64_t now = MonotonicMs();
        if (fds[0].revents & POLLIN) {
            uint8_t buf[512];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i)
                OnByte(buf[i], now);
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            ::usleep(1000); // nobody on the slave side right now
        }
        std::lock_guard lock(m_mutex);
        OnTimers(MonotonicMs());
    }
}

void ModemPeer::OnByte(uint8_t b, int64_t now) {
    m_raw.push_back(b);
    const int64_t silence = now - m_lastRx;
    m_lastRx = now;
    switch (m_mode) {
    case Mode::Command:
    case Mode::OnlineCommand:
        if (m_echo)
            Send(std::string(1, static_cast<char>(b)));
        if (b == '\r') {
            const std::string line = m_line;
            m_line.clear();
            if (!line.empty())
                OnCommand(line, now);
        } else if (b != '\n' && m_line.size() < 512) {
            m_line.push_back(static_cast<char>(b));
        }
        return;
    case Mode::Dialling:
        // Any character aborts a dial.
        m_dialAborted = true;
        m_mode = Mode::Command;
        m_dialAt = -1;
        Send(Result("NO CARRIER"));
        return;
    case Mode::Data:
        if (b == '+' && m_plus < 3 && (m_plus > 0 || silence >= m_opt.guardMs)) {
            if (++m_plus == 3)
                m_escapeAt = now + m_opt.guardMs;
            return;
        }
        // Not an escape after all: the pluses were data.
        for (; m_plus > 0; --m_plus)
            OnData('+');
        m_escapeAt = -1;
        OnData(b);
        return;
    }
}

void ModemPeer::OnData(uint8_t b) {
    const CFrameDecoder::Status status = m_decoder.Feed(b);
    if (status == CFrameDecoder::Status::More)
        return;
    Bytes request(m_payload, m_payload + m_decoder.Stored());
    m_decoder.Start(m_payload, sizeof m_payload);
    if (status != CFrameDecoder::Status::Complete)
        return;
    m_requests.push_back(request);
    if (!m_frames)
        return;
    const std::optional<PeerReply> reply = m_frames(request);
    if (reply)
        Send(std::string(reply->raw.begin(), reply->raw.end()));
}

void ModemPeer::OnCommand(const std::string& line, int64_t now) {
    m_commands.push_back(line);
    if (m_script) {
        if (const std::optional<std::string> answer = m_script(line)) {
            Send(*answer);
            return;
        }
    }
    std::string upper = line;
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper.rfind("AT", 0) != 0)
        return;
    if (upper.rfind("ATD", 0) == 0) {
        m_mode = Mode::Dialling;
        m_dialAt = m_opt.dialResult.empty() ? -1 : now + m_opt.dialDelayMs;
        return;
    }
    if (upper.rfind("ATH", 0) == 0) {
        ++m_hangUps;
        m_mode = Mode::Command;
    } else if (upper == "ATO" && m_mode == Mode::OnlineCommand) {
        Send(Result("CONNECT 9600"));
        m_mode = Mode::Data;
        return;
    } else if (upper == "ATZ") {
        m_echo = m_opt.echo;
    } else if (upper.find("E0", 2) != std::string::npos) {
        m_echo = false;
    } else if (upper.find("E1", 2) != std::string::npos) {
        m_echo = true;
    }
    Send(Result("OK"));
}

void ModemPeer::OnTimers(int64_t now) {
    if (m_mode == Mode::Dialling && m_dialAt >= 0 && now >= m_dialAt) {
        m_dialAt = -1;
        Send(Result(m_opt.dialResult) + m_opt.afterConnect);
        if (m_opt.dialResult.rfind("CONNECT", 0) == 0) {
            m_mode = Mode::Data;
            m_decoder.Start(m_payload, sizeof m_payload);
            m_lastRx = now;
        } else {
            m_mode = Mode::Command;
        }
    }
    if (m_mode == Mode::Data && m_escapeAt >= 0 && now >= m_escapeAt) {
        m_escapeAt = -1;
        m_plus = 0;
        ++m_escapes;
        m_mode = Mode::OnlineCommand;
        Send(Result("OK"));
    }
}
