#include "link/NetPort.h"

#include "base/SysError.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr std::string_view kRawScheme = "tcp://";
constexpr std::string_view kRfcScheme = "rfc2217://";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

int64_t NowMs() {
    struct timespec ts {};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// A name lookup that may outlive the wait for it: the thread and the waiter share it, and
// whoever is last frees it.
struct Lookup {
    std::mutex mutex;
    addrinfo* result = nullptr;
    int status = EAI_AGAIN;
    int sysErr = 0; // errno of the resolver thread when status is EAI_SYSTEM
    int doneFd = -1;
    ~Lookup() {
        if (result)
            ::freeaddrinfo(result);
        if (doneFd >= 0)
            ::close(doneFd);
    }
};

enum class Wait { Ready, TimedOut, Cancelled };

// Waits for `fd` to report `events`, the cancel or the deadline.
Wait WaitReady(int fd, short events, int cancelFd, int64_t deadlineMs) {
    for (;;) {
        const int64_t left = deadlineMs - NowMs();
        if (left <= 0)
            return Wait::TimedOut;
        struct pollfd fds[2] = {{fd, events, 0}, {cancelFd, POLLIN, 0}};
        const int r = ::poll(fds, cancelFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (r < 0 && errno != EINTR)
            return Wait::TimedOut;
        if (r <= 0)
            continue;
        if (cancelFd >= 0 && (fds[1].revents & POLLIN))
            return Wait::Cancelled;
        if (fds[0].revents)
            return Wait::Ready;
    }
}

int Fail(int code, const std::string& text, std::string* reason, int* err) {
    if (err)
        *err = code;
    if (reason)
        *reason = text;
    return -1;
}

int Resolve(const NetPortName& name, int cancelFd, int64_t deadlineMs,
            std::shared_ptr<Lookup>& lookup, std::string* reason, int* err) {
    lookup = std::make_shared<Lookup>();
    lookup->doneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (lookup->doneFd < 0)
        return Fail(errno, tk::SystemErrorText(errno), reason, err);
    // A literal address needs no lookup: it is answered at once, also without a thread.
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    const std::string service = std::to_string(name.port);
    addrinfo numeric = hints;
    numeric.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(name.host.c_str(), service.c_str(), &numeric, &lookup->result) == 0) {
        lookup->status = 0;
        return 0;
    }
    lookup->result = nullptr;
    // The system's resolver cannot be interrupted: it runs on its own thread, and a wait that
    // ends first leaves the thread to finish and free the lookup alone.
    try {
        std::thread([lookup, host = name.host, service, hints] {
            addrinfo* result = nullptr;
            const int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result);
            const int sysErr = errno; // this thread's: the waiting thread cannot see it
            std::lock_guard lock(lookup->mutex);
            lookup->result = result;
            lookup->status = status;
            lookup->sysErr = sysErr;
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = ::write(lookup->doneFd, &one, sizeof one);
        }).detach();
    } catch (const std::system_error& e) {
        return Fail(e.code().value(), tk::SystemErrorText(e.code().value()), reason, err);
    }
    switch (WaitReady(lookup->doneFd, POLLIN, cancelFd, deadlineMs)) {
    case Wait::Cancelled:
        return Fail(ECANCELED, "zrušeno", reason, err);
    case Wait::TimedOut:
        return Fail(ETIMEDOUT, kNetTimeoutText, reason, err);
    case Wait::Ready:
        break;
    }
    std::lock_guard lock(lookup->mutex);
    if (lookup->status != 0) {
        if (lookup->status == EAI_SYSTEM)
            return Fail(lookup->sysErr, tk::SystemErrorText(lookup->sysErr), reason, err);
        return Fail(EHOSTUNREACH, kNetNotFoundText, reason, err);
    }
    return 0;
}

// The reason of a failed connect to one address.
std::string ConnectErrorText(int e) {
    if (e == ECONNREFUSED)
        return kNetRefusedText;
    if (e == EHOSTUNREACH || e == ENETUNREACH || e == EADDRNOTAVAIL || e == EAFNOSUPPORT)
        return kNetNotFoundText;
    if (e == ETIMEDOUT)
        return kNetTimeoutText;
    return tk::SystemErrorText(e);
}

int NormalizedErrno(int e) {
    return e == ENETUNREACH || e == EADDRNOTAVAIL || e == EAFNOSUPPORT ? EHOSTUNREACH : e;
}

} // namespace

bool IsNetworkPort(std::string_view name) {
    return StartsWithNoCase(name, kRawScheme) || StartsWithNoCase(name, kRfcScheme);
}

bool ParseNetPort(const std::string& name, NetPortName* out, std::string* reason) {
    NetPortName parsed;
    std::string_view rest = name;
    if (StartsWithNoCase(rest, kRawScheme)) {
        parsed.kind = NetKind::Raw;
        rest.remove_prefix(kRawScheme.size());
    } else if (StartsWithNoCase(rest, kRfcScheme)) {
        parsed.kind = NetKind::Rfc2217;
        rest.remove_prefix(kRfcScheme.size());
    } else {
        if (reason)
            *reason = name + ": není síťový port (tcp://POČÍTAČ:PORT nebo rfc2217://POČÍTAČ:PORT)";
        return false;
    }
    auto bad = [&](const std::string& why) {
        if (reason)
            *reason = name + ": " + why + " (tvar tcp://POČÍTAČ:PORT nebo rfc2217://POČÍTAČ:PORT)";
        return false;
    };
    if (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return bad("adresa IPv6 patří do hranatých závorek a za ni dvojtečka a port");
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos)
            return bad("chybí číslo portu");
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.find(':') != std::string_view::npos)
            return bad("adresa IPv6 patří do hranatých závorek");
    }
    if (host.empty())
        return bad("chybí počítač");
    if (host.find_first_of(" \t\r\n/@") != std::string_view::npos)
        return bad("neplatný název počítače");
    unsigned long number = 0;
    for (const char c : port) {
        if (c < '0' || c > '9' || number > 65535)
            return bad("neplatné číslo portu");
        number = number * 10 + static_cast<unsigned long>(c - '0');
    }
    if (port.empty() || number == 0 || number > 65535)
        return bad("číslo portu musí být 1 až 65535");
    parsed.host = std::string(host);
    parsed.port = static_cast<uint16_t>(number);
    if (out)
        *out = std::move(parsed);
    return true;
}

int ConnectNetPort(const NetPortName& name, int cancelFd, int timeoutMs, std::string* reason,
                   int* err) {
    const int64_t deadline = NowMs() + timeoutMs;
    std::shared_ptr<Lookup> lookup;
    if (Resolve(name, cancelFd, deadline, lookup, reason, err) != 0)
        return -1;
    // Every address in turn (an IPv6 and an IPv4 one of the same name): the first that
    // connects wins; the reason of the last failure is the one told.
    int lastErr = EHOSTUNREACH;
    std::lock_guard lock(lookup->mutex);
    for (const addrinfo* ai = lookup->result; ai; ai = ai->ai_next) {
        const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                                ai->ai_protocol);
        if (fd < 0) {
            lastErr = errno;
            continue;
        }
        int e = 0;
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
            e = errno;
            if (e == EINPROGRESS) {
                switch (WaitReady(fd, POLLOUT, cancelFd, deadline)) {
                case Wait::Cancelled:
                    ::close(fd);
                    return Fail(ECANCELED, "zrušeno", reason, err);
                case Wait::TimedOut:
                    ::close(fd);
                    return Fail(ETIMEDOUT, kNetTimeoutText, reason, err);
                case Wait::Ready:
                    break;
                }
                socklen_t len = sizeof e;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &e, &len) != 0)
                    e = errno;
            }
        }
        if (e == 0) {
            // Frames are small and answered one at a time: no waiting to fill a segment.
            const int one = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
            return fd;
        }
        ::close(fd);
        lastErr = e;
    }
    return Fail(NormalizedErrno(lastErr), ConnectErrorText(lastErr), reason, err);
}
