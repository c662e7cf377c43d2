#include "link/ModemPort.h"

#include "base/SysError.h"
#include "link/SerCom.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

CModemPort::~CModemPort() {
    Close();
}

bool CModemPort::Open(const std::string& path, std::string* reason) {
    Close();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        *reason = OpenErrorText(err, path);
        return false;
    }
    auto fail = [&](const std::string& why) {
        *reason = path + ": " + why;
        ::close(fd);
        return false;
    };
    if (!::isatty(fd))
        return fail("není sériové zařízení");
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail("port používá jiný program");
    if (::ioctl(fd, TIOCEXCL) != 0)
        return fail(tk::SystemErrorText(errno));
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        const std::string holders = PortHoldersText(FindPortHolders(st.st_rdev));
        if (!holders.empty()) {
            ::ioctl(fd, TIOCNXCL);
            return fail(holders);
        }
    }
    struct termios saved {};
    const bool haveSaved = ::tcgetattr(fd, &saved) == 0;
    std::string why;
    if (!ConfigureSerialLine(fd, kDefaultDcb, &why)) {
        if (haveSaved)
            ::tcsetattr(fd, TCSANOW, &saved);
        ::ioctl(fd, TIOCNXCL);
        return fail(why);
    }
    // With &D2 a modem ignores a dial while DTR is low. Pseudo-terminals have no modem lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &lines);
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    m_bSaved = haveSaved;
    m_saved = saved;
    m_reader.Reset();
    return true;
}

void CModemPort::Close() {
    if (m_fd < 0)
        return;
    if (m_bSaved)
        ::tcsetattr(m_fd, TCSANOW, &m_saved);
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_bSaved = false;
    m_reader.Reset();
}

bool CModemPort::Send(std::string_view text, uint32_t timeoutMs) {
    if (m_fd < 0)
        return false;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::write(m_fd, text.data() + sent, text.size() - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const int64_t left = deadline - MonotonicMs();
            if (left <= 0)
                return false;
            struct pollfd p = {m_fd, POLLOUT, 0};
            if (::poll(&p, 1, static_cast<int>(left)) < 0 && errno != EINTR)
                return false;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
                return false;
            continue;
        }
        return false;
    }
    return true;
}

CModemPort::Wait CModemPort::ReadLine(int64_t deadlineMs, const CancelCheck* cancel,
                                      uint32_t sliceMs) {
    if (m_fd < 0)
        return Wait::LineDown;
    const bool checking = cancel && *cancel;
    int64_t nextCheck = MonotonicMs();
    for (;;) {
        const int64_t now = MonotonicMs();
        if (checking && now >= nextCheck) {
            if ((*cancel)())
                return Wait::Cancelled;
            nextCheck = now + std::max<uint32_t>(sliceMs, 1);
        }
        // One byte at a time: what follows a result line stays in the device for whoever
        // reads the call's data.
        uint8_t b = 0;
        const ssize_t n = ::read(m_fd, &b, 1);
        if (n == 1) {
            if (m_reader.Feed(b))
                return Wait::Line;
            continue;
        }
        if (n == 0)
            return Wait::LineDown;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return Wait::LineDown;
        if (now >= deadlineMs)
            return Wait::Timeout;
        const int64_t until = checking ? std::min(deadlineMs, nextCheck) : deadlineMs;
        struct pollfd p = {m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(std::max<int64_t>(until - now, 0)));
        if (r < 0 && errno != EINTR)
            return Wait::LineDown;
        if (r > 0 && !(p.revents & POLLIN) && (p.revents & (POLLHUP | POLLERR | POLLNVAL)))
            return Wait::LineDown;
    }
}

AtReply CModemPort::Command(const std::string& command, uint32_t timeoutMs, bool numeric,
                            const CancelCheck* cancel, uint32_t sliceMs) {
    AtReply reply;
    if (!Send(command + "\r", timeoutMs)) {
        reply.status = AtReply::Status::LineDown;
        return reply;
    }
    const int64_t deadline = MonotonicMs() + timeoutMs;
    bool garbage = false;
    for (;;) {
        const Wait w = ReadLine(deadline, cancel, sliceMs);
        if (w == Wait::Cancelled) {
            reply.status = AtReply::Status::Cancelled;
            return reply;
        }
        if (w == Wait::LineDown) {
            reply.status = AtReply::Status::LineDown;
            return reply;
        }
        if (w == Wait::Timeout) {
            reply.status = garbage ? AtReply::Status::Garbage : AtReply::Status::Silent;
            return reply;
        }
        const std::string& line = m_reader.Line();
        const HayesLine kind =
            m_reader.Overlong() ? HayesLine::Unknown : ClassifyHayesLine(line, command, numeric);
        switch (kind) {
        case HayesLine::Empty:
        case HayesLine::Echo:
            break;
        case HayesLine::Ok:
            reply.status = AtReply::Status::Ok;
            reply.final = "OK";
            return reply;
        case HayesLine::Failure:
            reply.status = AtReply::Status::Error;
            reply.final = HayesReasonText(line, numeric);
            return reply;
        case HayesLine::Connect:
            reply.status = AtReply::Status::Unexpected;
            reply.final = HayesReasonText(line, numeric);
            return reply;
        case HayesLine::Info:
            reply.lines.push_back(HayesReasonText(line));
            break;
        case HayesLine::Unknown:
            garbage = true;
            reply.final = HayesReasonText(line);
            reply.lines.push_back(reply.final);
            break;
        }
    }
}

int CModemPort::WakeUp(const HayesTimeouts& timeouts, const CancelCheck* cancel,
                       std::string* reason) {
    bool garbage = false;
    for (uint32_t i = 0; i < std::max<uint32_t>(timeouts.nAtTries, 1); ++i) {
        const AtReply a = Command("AT", timeouts.nAtReplyMs, true, cancel, timeouts.nCancelSliceMs);
        switch (a.status) {
        case AtReply::Status::Ok:
            return 0;
        case AtReply::Status::Cancelled:
            return DIALERR_CANCELLED;
        case AtReply::Status::LineDown:
            return DIALERR_LINE_DOWN;
        case AtReply::Status::Garbage:
        case AtReply::Status::Unexpected:
            garbage = true;
            *reason = a.final;
            break;
        case AtReply::Status::Error:
            *reason = a.final;
            break;
        case AtReply::Status::Silent:
            break;
        }
    }
    return garbage ? DIALERR_UNDEFINED_REPLY : DIALERR_NO_OK;
}

bool CModemPort::SetDtr(bool on) {
    if (m_fd < 0)
        return false;
    int dtr = TIOCM_DTR;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &dtr) == 0;
}

void CModemPort::WaitOutputDrained(int64_t deadlineMs) {
    while (m_fd >= 0 && MonotonicMs() < deadlineMs) {
        int queued = 0;
        if (::ioctl(m_fd, TIOCOUTQ, &queued) != 0 || queued <= 0)
            return;
        ::usleep(10000);
    }
}
