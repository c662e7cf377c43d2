#include "link/SerCom.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"
#include "base/SysError.h"
#include "link/Rfc2217.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

int64_t MonotonicMs() {
    return MonotonicUs() / 1000;
}

int64_t MonotonicUs() {
    struct timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

std::string SerialDevicePath(const std::string& portName) {
    if ((!portName.empty() && portName[0] == '/') || IsNetworkPort(portName))
        return portName;
    if (portName.size() > 3 && strncasecmp(portName.c_str(), "COM", 3) == 0) {
        char* end = nullptr;
        const long n = std::strtol(portName.c_str() + 3, &end, 10);
        if (end && *end == '\0' && n >= 1 && n <= 256)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + portName;
}

namespace {

speed_t SpeedOf(uint32_t baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

} // namespace

std::string OpenErrorText(int err, const std::string& path) {
    if (err == EBUSY)
        return path + ": port používá jiný program";
    std::string text = path + ": " + tk::SystemErrorText(err);
    if (err == EACCES)
        text += " (uživatel asi musí být ve skupině dialout)";
    return text;
}

bool CheckLineSettings(const struct termios& tio, const struct termios& back, std::string* reason,
                       bool* noFlowControl) {
    const tcflag_t cmask = CSIZE | PARENB | CSTOPB | CREAD | CLOCAL | HUPCL;
    const tcflag_t imask = IXON | IXOFF;
    if ((back.c_cflag & cmask) != (tio.c_cflag & cmask) ||
        (back.c_iflag & imask) != (tio.c_iflag & imask) || (back.c_lflag & (ICANON | ECHO)) ||
        back.c_cc[VMIN] != 1 || back.c_cc[VTIME] != 0 ||
        ::cfgetispeed(&back) != ::cfgetispeed(&tio) ||
        ::cfgetospeed(&back) != ::cfgetospeed(&tio)) {
        if (reason)
            *reason = "zařízení nepřijalo nastavení linky";
        return false;
    }
    if (noFlowControl)
        *noFlowControl = (tio.c_cflag & CRTSCTS) != 0 && (back.c_cflag & CRTSCTS) == 0;
    return true;
}

bool ConfigureSerialLine(int fd, const CommDcb& dcb, std::string* reason, bool* noFlowControl) {
    if (noFlowControl)
        *noFlowControl = false;
    const speed_t speed = SpeedOf(dcb.BaudRate);
    if (speed == B0) {
        if (reason)
            *reason = "nepodporovaná rychlost " + std::to_string(dcb.BaudRate) + " Bd";
        return false;
    }
    struct termios tio {};
    if (::tcgetattr(fd, &tio) != 0) {
        if (reason)
            *reason = "nastavení linky nelze přečíst: " + tk::SystemErrorText(errno);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == CommDcb::RTS_CONTROL_HANDSHAKE)
        tio.c_cflag |= CRTSCTS;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    if (dcb.fOutX)
        tio.c_iflag |= IXON;
    if (dcb.fInX)
        tio.c_iflag |= IXOFF;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        if (reason)
            *reason = "linku nelze nastavit: " + tk::SystemErrorText(errno);
        return false;
    }
    // tcsetattr succeeds when any part of the change took: check that all of it did.
    struct termios back {};
    if (::tcgetattr(fd, &back) != 0) {
        if (reason)
            *reason = "nastavení linky nelze přečíst: " + tk::SystemErrorText(errno);
        return false;
    }
    return CheckLineSettings(tio, back, reason, noFlowControl);
}

CSerCom::CSerCom() = default;

CSerCom::~CSerCom() {
    Close();
    CloseLog();
    if (m_cancelFd >= 0)
        ::close(m_cancelFd);
}

bool CSerCom::Init() {
    if (m_cancelFd >= 0)
        return false;
    m_cancelFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    return m_cancelFd < 0;
}

void CSerCom::FailOpen(int fd, const std::string& path, const std::string& reason, int err,
                       std::vector<PortHolder> holders) {
    m_openError = reason;
    m_openFailure = DescribeOpenFailure(path, err, fd, std::move(holders));
    if (fd >= 0)
        ::close(fd); // also drops the advisory lock
}

LinkResult CSerCom::Open(const std::string& portName, const CommDcb& dcb) {
    Close();
    m_openError.clear();
    m_openFailure = PortOpenFailure{};
    m_netNotes.clear();
    if (IsNetworkPort(portName))
        return OpenNetwork(portName, dcb);
    const std::string path = SerialDevicePath(portName);
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        FailOpen(-1, path, OpenErrorText(err, path), err);
        return LE_PORT_OPEN;
    }
    if (!::isatty(fd)) {
        FailOpen(fd, path, path + ": není sériové zařízení", ENOTTY);
        return LE_PORT_OPEN;
    }
    // TIOCEXCL keeps out other users' programs; the lock keeps out every program that locks,
    // root's included (TIOCEXCL does not stop root).
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        FailOpen(fd, path, path + ": port používá jiný program", EBUSY);
        return LE_PORT_OPEN;
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int err = errno;
        FailOpen(fd, path, OpenErrorText(err, path), err);
        return LE_PORT_OPEN;
    }
    // Programs that had the port open before us would read our replies.
    struct stat st {};
    if (::fstat(fd, &st) == 0) {
        std::vector<PortHolder> found = FindPortHolders(st.st_rdev);
        if (!found.empty()) {
            ::ioctl(fd, TIOCNXCL);
            const std::string reason = path + ": " + PortHoldersText(found);
            FailOpen(fd, path, reason, EBUSY, std::move(found));
            return LE_PORT_OPEN;
        }
    }
    struct termios saved {};
    const bool haveSaved = ::tcgetattr(fd, &saved) == 0;
    std::string reason;
    bool noFlowControl = false;
    if (!ConfigureSerialLine(fd, dcb, &reason, &noFlowControl)) {
        if (haveSaved)
            ::tcsetattr(fd, TCSANOW, &saved);
        ::ioctl(fd, TIOCNXCL);
        FailOpen(fd, path, path + ": " + reason, 0);
        return LE_PORT_OPEN;
    }
    m_bNoFlowControl = noFlowControl;
    if (dcb.fDtrControl == CommDcb::DTR_CONTROL_DISABLE) {
        int dtr = TIOCM_DTR;
        ::ioctl(fd, TIOCMBIC, &dtr); // not every device has modem lines (pseudo-terminals)
    }
    ::tcflush(fd, TCIOFLUSH);
    m_fd = fd;
    m_recent.clear();
    m_bOwned = true;
    m_devicePath = st.st_rdev != 0 ? path : std::string(); // fstat failed: cannot compare
    m_nDevice = st.st_rdev;
    m_bSaved = haveSaved;
    m_saved = saved;
    m_rxPos = m_rxLen = 0;
    return LE_OK;
}

namespace {

// How long the server may take to answer the port settings: each answer gives the rest as
// long again, and the whole set-up is bounded.
constexpr int64_t kOptionWaitMs = 500;
constexpr int64_t kNegotiationMaxMs = 3000;

} // namespace

LinkResult CSerCom::OpenNetwork(const std::string& portName, const CommDcb& dcb) {
    NetPortName name;
    std::string reason;
    if (!ParseNetPort(portName, &name, &reason)) {
        FailOpen(-1, portName, reason, EINVAL);
        return LE_PORT_OPEN;
    }
    int err = 0;
    const int fd = ConnectNetPort(name, m_cancelFd, kNetConnectTimeoutMs, &reason, &err);
    if (fd < 0) {
        FailOpen(-1, portName, portName + ": " + reason, err);
        if (err == ECANCELED && IsCancelled())
            return LE_CANCELLED;
        return LE_PORT_OPEN;
    }
    m_fd = fd;
    m_netKind = name.kind;
    m_bPeerClosed = false;
    m_bOwned = false;
    m_bSaved = false;
    m_bNoFlowControl = false;
    m_devicePath.clear();
    m_nDevice = 0;
    m_recent.clear();
    m_rxPos = m_rxLen = 0;
    if (name.kind == NetKind::Rfc2217) {
        const LinkResult r = Negotiate(dcb, &reason);
        if (r != LE_OK) {
            Close();
            m_openError = portName + ": " + reason;
            m_openFailure.device = portName;
            m_openFailure.err = r == LE_CANCELLED ? ECANCELED : EPROTO;
            return r;
        }
    }
    return LE_OK;
}

// Sets up the server's port and waits for its answers. A missing answer is only noted; a
// refused speed or framing, a connection that ends or a cancel fail the open.
LinkResult CSerCom::Negotiate(const CommDcb& dcb, std::string* reason) {
    m_telnet = std::make_unique<CRfc2217>();
    std::vector<uint8_t> out = m_telnet->Start(dcb);
    const int64_t started = MonotonicMs();
    int64_t quietUntil = started + kOptionWaitMs;
    std::vector<uint8_t> data;
    for (;;) {
        for (size_t sent = 0; sent < out.size();) {
            const ssize_t n = SendRaw(out.data() + sent, out.size() - sent);
            if (n > 0) {
                sent += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
                WaitFor(POLLOUT, MonotonicUs() + kOptionWaitMs * 1000) == LE_OK)
                continue;
            *reason = m_bPeerClosed ? kNetClosedText : tk::SystemErrorText(errno);
            return LE_PORT_OPEN;
        }
        out.clear();
        if (m_telnet->Settled())
            break;
        const int64_t now = MonotonicMs();
        const int64_t until = std::min(quietUntil, started + kNegotiationMaxMs);
        if (now >= until)
            break;
        const LinkResult w = WaitFor(POLLIN, MonotonicUs() + (until - now) * 1000);
        if (w == LE_TIMEOUT)
            break;
        if (w == LE_CANCELLED) {
            *reason = "zrušeno";
            return LE_CANCELLED;
        }
        uint8_t raw[256];
        const ssize_t n = w == LE_OK ? ::read(m_fd, raw, sizeof raw) : 0;
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            *reason = kNetClosedText;
            return LE_PORT_OPEN;
        }
        if (n > 0) {
            // Data before the port is set up is line noise of an earlier session.
            m_telnet->Feed(raw, static_cast<size_t>(n), data, out);
            data.clear();
            quietUntil = MonotonicMs() + kOptionWaitMs;
        }
    }
    m_telnet->GiveUp();
    if (m_telnet->Refused(reason))
        return LE_PORT_OPEN;
    m_bNoFlowControl = m_telnet->NoFlowControl();
    m_netNotes = m_telnet->Notes();
    return LE_OK;
}

ssize_t CSerCom::SendRaw(const uint8_t* buf, size_t size) {
    const ssize_t n = ::send(m_fd, buf, size, MSG_NOSIGNAL);
    if (n < 0 && (errno == EPIPE || errno == ECONNRESET))
        m_bPeerClosed = true;
    return n;
}

// One read of the descriptor. On a network port a closed connection is remembered, and the
// telnet commands of an RFC 2217 stream are taken out (and answered): a read that brought
// only those reads again, and reports EAGAIN when nothing more is there.
ssize_t CSerCom::ReadSome(uint8_t* buf, size_t size) {
    if (m_netKind == NetKind::None)
        return ::read(m_fd, buf, size);
    for (;;) {
        const ssize_t n = ::read(m_fd, buf, size);
        if (n == 0 || (n < 0 && (errno == ECONNRESET || errno == ETIMEDOUT)))
            m_bPeerClosed = true;
        if (n < 0 && (errno == ECONNRESET || errno == ETIMEDOUT))
            return 0;
        if (n <= 0 || !m_telnet)
            return n;
        std::vector<uint8_t> data;
        std::vector<uint8_t> reply;
        data.reserve(static_cast<size_t>(n));
        m_telnet->Feed(buf, static_cast<size_t>(n), data, reply);
        if (!reply.empty())
            SendRaw(reply.data(), reply.size()); // a few bytes; a full socket drops them
        if (!data.empty()) {
            std::memcpy(buf, data.data(), data.size()); // never longer than what was read
            return static_cast<ssize_t>(data.size());
        }
    }
}

void CSerCom::Attach(int fd) {
    Close();
    m_bNoFlowControl = false;
    m_netNotes.clear();
    m_fd = fd;
    m_recent.clear();
    m_bOwned = false;
    m_bSaved = false;
    m_rxPos = m_rxLen = 0;
}

bool CSerCom::LineGone() const {
    if (m_fd < 0 || m_bPeerClosed)
        return true;
    struct pollfd p = {m_fd, static_cast<short>(POLLIN | POLLRDHUP), 0};
    if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL | POLLRDHUP)))
        return true;
    if (!m_bOwned || m_devicePath.empty())
        return false;
    // The node is looked up anew: a symbolic link (a udev name) may lead elsewhere now.
    struct stat st {};
    if (::stat(m_devicePath.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR;
    return st.st_rdev != m_nDevice;
}

void CSerCom::Close() {
    if (m_fd < 0)
        return;
    PurgeTransmit(); // what never went out must not go out after us
    if (m_bOwned) {
        if (m_bSaved)
            ::tcsetattr(m_fd, TCSANOW, &m_saved);
        ::ioctl(m_fd, TIOCNXCL);
    }
    ::close(m_fd);
    m_fd = -1;
    m_netKind = NetKind::None;
    m_telnet.reset();
    m_bPeerClosed = false;
    m_bOwned = false;
    m_bSaved = false;
    m_rxPos = m_rxLen = 0;
}

LinkResult CSerCom::WaitFor(short events, int64_t deadlineUs) {
    for (;;) {
        const int64_t remainingUs = deadlineUs - MonotonicUs();
        if (remainingUs <= 0)
            return LE_TIMEOUT;
        const int64_t remaining = (remainingUs + 999) / 1000;
        struct pollfd fds[2] = {{m_fd, events, 0}, {m_cancelFd, POLLIN, 0}};
        const int nfds = m_cancelFd >= 0 ? 2 : 1;
        const int r = ::poll(fds, nfds, static_cast<int>(remaining));
        if (r < 0) {
            if (errno == EINTR)
                continue; // the deadline stays where it was
            return IoError(tk::SystemErrorText(errno));
        }
        if (r == 0)
            continue;
        // The transfer wins over a cancel that arrives at the same time; the cancel then
        // stays pending for the next wait.
        if (fds[0].revents & events)
            return LE_OK;
        if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            if (m_netKind == NetKind::None)
                return IoError(kLineHungUpText);
            m_bPeerClosed = true;
            return IoError(kNetClosedText);
        }
        if (nfds == 2 && (fds[1].revents & POLLIN) && IsCancelled())
            return LE_CANCELLED;
    }
}

LinkResult CSerCom::Read(uint8_t* buf, uint32_t count, uint32_t timeoutMs) {
    if (m_fd < 0)
        return IoError(kPortNotOpenText);
    const int64_t deadline = MonotonicUs() + int64_t{timeoutMs} * 1000;
    uint32_t got = 0;
    while (got < count) {
        if (m_rxPos < m_rxLen) {
            const uint32_t n = std::min(count - got, m_rxLen - m_rxPos);
            std::memcpy(buf + got, m_rx + m_rxPos, n);
            m_rxPos += n;
            got += n;
            continue;
        }
        const ssize_t n = ReadSome(m_rx, sizeof m_rx);
        if (n > 0) {
            m_rxPos = 0;
            m_rxLen = static_cast<uint32_t>(n);
            Remember(m_rx, m_rxLen);
            continue;
        }
        if (n == 0)
            return IoError(m_netKind == NetKind::None ? kLineHungUpText : kNetClosedText);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return IoError(errno == EIO ? kLineHungUpText : tk::SystemErrorText(errno));
        const LinkResult r = WaitFor(POLLIN, deadline);
        if (r != LE_OK)
            return r;
    }
    Trace(false, buf, count);
    return LE_OK;
}

LinkResult CSerCom::Write(const uint8_t* buf, uint32_t count, uint32_t timeoutMs) {
    if (m_fd < 0)
        return IoError(kPortNotOpenText);
    const int64_t deadline = MonotonicUs() + int64_t{timeoutMs} * 1000;
    if (m_netKind != NetKind::None)
        return WriteNetwork(buf, count, deadline);
    uint32_t sent = 0;
    while (sent < count) {
        const ssize_t n = ::write(m_fd, buf + sent, count - sent);
        if (n > 0) {
            sent += static_cast<uint32_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const LinkResult r = WaitFor(POLLOUT, deadline);
            if (r == LE_OK)
                continue;
            PurgeTransmit(); // abort what is still queued of this write
            return r;
        }
        return IoError(n == 0 || errno == EIO ? kLineHungUpText : tk::SystemErrorText(errno));
    }
    Trace(true, buf, count);
    return Drain(deadline);
}

// A network port hands its bytes to the connection: whether the server has sent them on to
// its line cannot be known.
LinkResult CSerCom::WriteNetwork(const uint8_t* buf, uint32_t count, int64_t deadlineUs) {
    const uint8_t* bytes = buf;
    size_t size = count;
    if (m_telnet) {
        m_txEscaped.clear();
        TelnetEscape(buf, count, m_txEscaped);
        bytes = m_txEscaped.data();
        size = m_txEscaped.size();
    }
    size_t sent = 0;
    while (sent < size) {
        const ssize_t n = SendRaw(bytes + sent, size - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const LinkResult r = WaitFor(POLLOUT, deadlineUs);
            if (r == LE_OK)
                continue;
            return r;
        }
        return IoError(m_bPeerClosed ? kNetClosedText : tk::SystemErrorText(errno));
    }
    Trace(true, buf, count);
    return LE_OK;
}

int CSerCom::OutputPending() const {
    if (m_netKind != NetKind::None && !m_outQueue.pending)
        return 0;
    if (m_outQueue.pending)
        return m_outQueue.pending(m_fd);
    int queued = 0;
    return ::ioctl(m_fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

void CSerCom::PurgeTransmit() {
    if (m_fd < 0)
        return;
    if (m_outQueue.flush)
        m_outQueue.flush(m_fd);
    else
        ::tcflush(m_fd, TCOFLUSH);
}

void CSerCom::SetOutputQueue(OutputQueue queue) {
    m_outQueue = std::move(queue);
}

// The bytes are queued; with CTS low they stay there. The write counts as done once they have
// left, and within its own deadline, else what is queued is dropped (tcdrain would wait
// without end and cannot be cancelled).
LinkResult CSerCom::Drain(int64_t deadlineUs) {
    constexpr int64_t SLICE_US = 2000;
    for (;;) {
        if (OutputPending() <= 0)
            return LE_OK;
        const int64_t remainingUs = deadlineUs - MonotonicUs();
        if (remainingUs <= 0) {
            PurgeTransmit();
            return LE_TIMEOUT;
        }
        struct pollfd cancel = {m_cancelFd, POLLIN, 0};
        const int waitMs = static_cast<int>((std::min(remainingUs, SLICE_US) + 999) / 1000);
        if (m_cancelFd >= 0 && ::poll(&cancel, 1, waitMs) > 0 && IsCancelled()) {
            PurgeTransmit();
            return LE_CANCELLED;
        }
        if (m_cancelFd < 0)
            ::usleep(static_cast<useconds_t>(waitMs) * 1000);
    }
}

void CSerCom::PurgeReceive() {
    if (m_rxPos < m_rxLen)
        Remember(m_rx + m_rxPos, m_rxLen - m_rxPos);
    m_rxPos = m_rxLen = 0;
    if (m_fd < 0)
        return;
    // What is discarded is still looked at: a modem reports a lost call in the data stream.
    uint8_t drained[256];
    for (int i = 0; i < 16; ++i) {
        const ssize_t n = ReadSome(drained, sizeof drained);
        if (n <= 0)
            break;
        Remember(drained, static_cast<size_t>(n));
    }
    ::tcflush(m_fd, TCIFLUSH);
}

void CSerCom::Remember(const uint8_t* bytes, size_t count) {
    m_recent.append(reinterpret_cast<const char*>(bytes), count);
    if (m_recent.size() > RECENT_MAX)
        m_recent.erase(0, m_recent.size() - RECENT_MAX);
}

bool CSerCom::RecentlyReceived(std::string_view text) const {
    return m_recent.find(text) != std::string::npos;
}

LinkResult CSerCom::IoError(const std::string& what) {
    m_ioError = what;
    return LE_SERIAL;
}

void CSerCom::Cancel() {
    if (m_cancelFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(m_cancelFd, &one, sizeof one);
    }
}

bool CSerCom::IsCancelled() {
    if (m_cancelFd < 0)
        return false;
    uint64_t value = 0;
    return ::read(m_cancelFd, &value, sizeof value) == static_cast<ssize_t>(sizeof value) &&
           value != 0;
}

bool CSerCom::OpenLog() {
    CloseLog();
    const std::string path = tk::ProgramFile("sercom.log");
    // The trace holds the login frame with the PIN: for the user's eyes only.
    // Never through a link planted in the folder (it would truncate the file it points to),
    // never waiting on a FIFO, and only ever a regular file.
    m_logError.clear();
    const int fd = ::open(
        path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = fd < 0 ? (errno == ELOOP ? tk::kRefusedLink : errno) : tk::kRefusedKind;
        if (fd >= 0)
            ::close(fd);
        m_logError = path + ": " + tk::FileErrorText(err);
        return true;
    }
    ::fchmod(fd, 0600); // an older trace may have been readable by others
    // Another copy of the program tracing into the same file would garble both traces.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return true;
    }
    m_hLog = ::fdopen(fd, "w");
    if (!m_hLog) {
        ::close(fd);
        return true;
    }
    m_bLog = true;
    m_bNewWriteLine = true;
    m_bNewReadLine = true;
    if (m_bNoFlowControl)
        std::fprintf(m_hLog, "%s\r\n", kNoFlowControlNote);
    if (!m_netNotes.empty())
        std::fprintf(m_hLog, "%s\r\n", m_netNotes.c_str());
    std::fflush(m_hLog);
    return false;
}

void CSerCom::CloseLog() {
    if (m_hLog)
        std::fclose(m_hLog);
    m_hLog = nullptr;
    m_bLog = false;
}

void CSerCom::Trace(bool write, const uint8_t* buf, uint32_t count) {
    if (!m_bLog || !m_hLog)
        return;
    bool& newLine = write ? m_bNewWriteLine : m_bNewReadLine;
    if (newLine) {
        newLine = false;
        std::fprintf(m_hLog, "\r\n%c (%08X): ", write ? 'W' : 'R',
                     static_cast<uint32_t>(MonotonicMs()));
    }
    for (uint32_t i = 0; i < count; ++i)
        std::fprintf(m_hLog, "%02X ", buf[i]);
    (write ? m_bNewReadLine : m_bNewWriteLine) = true;
    std::fflush(m_hLog); // errors while tracing are ignored
}
