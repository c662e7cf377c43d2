// A network port through CSerCom: names, connect failures and their Czech reasons, the cancel
// while connecting, a server that goes away, and an RFC 2217 server played by the test.
#include "link/NetPort.h"
#include "link/Rfc2217.h"
#include "link/SerCom.h"
#include "tests/support/Ser2Net.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace telnet;

namespace {

using Bytes = std::vector<uint8_t>;

// A listening loopback socket (IPv4 or IPv6) on a free port.
class Listener {
public:
    explicit Listener(int family = AF_INET, int backlog = 4) {
        m_fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage addr{};
        socklen_t len = 0;
        if (family == AF_INET) {
            auto* a = reinterpret_cast<sockaddr_in*>(&addr);
            a->sin_family = AF_INET;
            a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            len = sizeof *a;
        } else {
            auto* a = reinterpret_cast<sockaddr_in6*>(&addr);
            a->sin6_family = AF_INET6;
            a->sin6_addr = in6addr_loopback;
            len = sizeof *a;
        }
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            ::listen(m_fd, backlog) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            Close();
            return;
        }
        m_port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in*>(&addr)->sin_port
                                         : reinterpret_cast<sockaddr_in6*>(&addr)->sin6_port);
    }
    ~Listener() { Close(); }
    bool Ok() const { return m_fd >= 0; }
    uint16_t Port() const { return m_port; }
    int Accept() const { return ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC); }
    void Close() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

// Reads what arrives within `ms`.
Bytes ReadFor(int fd, int ms) {
    Bytes got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        struct pollfd p = {fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        uint8_t b[256];
        const ssize_t n = ::read(fd, b, sizeof b);
        if (n <= 0)
            break;
        got.insert(got.end(), b, b + n);
    }
    return got;
}

void Send(int fd, const Bytes& b) {
    ASSERT_EQ(::send(fd, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size()));
}

bool Contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

int64_t MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
}

} // namespace

TEST(NetPortNames, FormsAreTakenOrRefusedWithTheirReason) {
    struct Case {
        const char* name;
        NetKind kind;
        const char* host;
        uint16_t port;
        const char* reason; // for a refused name
    };
    const Case cases[] = {
        {"tcp://unit-server:7000", NetKind::Raw, "unit-server", 7000, ""},
        {"RFC2217://192.168.1.20:4001/", NetKind::Rfc2217, "192.168.1.20", 4001, ""},
        {"rfc2217://[::1]:65535", NetKind::Rfc2217, "::1", 65535, ""},
        {"tcp://unit-server", NetKind::None, "", 0, "chybí číslo portu"},
        {"tcp://:7000", NetKind::None, "", 0, "chybí počítač"},
        {"tcp://host:0", NetKind::None, "", 0, "1 až 65535"},
        {"tcp://host:65536", NetKind::None, "", 0, "1 až 65535"},
        {"tcp://host:70a0", NetKind::None, "", 0, "neplatné číslo portu"},
        {"tcp://::1:7000", NetKind::None, "", 0, "hranatých závorek"},
        {"tcp://[::1]7000", NetKind::None, "", 0, "hranatých závorek"},
        {"tcp://user@host:7000", NetKind::None, "", 0, "neplatný název počítače"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(IsNetworkPort(c.name));
        EXPECT_EQ(SerialDevicePath(c.name), c.name) << "a network port is no /dev name";
        NetPortName parsed;
        std::string reason;
        const bool ok = ParseNetPort(c.name, &parsed, &reason);
        EXPECT_EQ(ok, c.kind != NetKind::None) << reason;
        if (ok) {
            EXPECT_EQ(parsed.kind, c.kind);
            EXPECT_EQ(parsed.host, c.host);
            EXPECT_EQ(parsed.port, c.port);
        } else {
            EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
        }
    }
    EXPECT_FALSE(IsNetworkPort("/dev/ttyUSB0"));
    EXPECT_FALSE(IsNetworkPort("tcp:/host:1"));
}

// A server whose queue of connections is full never completes the connect: Storno ends the
// wait at once, and without it the wait ends at the connect time-out.
TEST(NetPort, ConnectThatHangsEndsOnCancelAndOtherwiseTimesOut) {
    StalledListener stalled;
    ASSERT_TRUE(stalled.Ok());
    const std::string name = stalled.Port();

    CSerCom port;
    ASSERT_FALSE(port.Init());
    std::thread storno([&port] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        port.Cancel();
    });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Open(name, kDefaultDcb), LE_CANCELLED);
    storno.join();
    EXPECT_LT(MsSince(t0), 2000) << "Storno must not wait for the connect time-out";
    EXPECT_FALSE(port.IsCancelled()) << "the cancel was taken by the open";

    t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Open(name, kDefaultDcb), LE_PORT_OPEN);
    EXPECT_GE(MsSince(t0), kNetConnectTimeoutMs - 100);
    EXPECT_EQ(port.LastOpenError(), name + ": vypršel čas připojení");
}

// Raw TCP over IPv4 and IPv6: bytes pass as they are (0xFF too); a server that closes ends
// the transfer with its reason, and the line counts as gone.
TEST(NetPort, RawStreamCarriesBytesUntilTheServerCloses) {
    for (const int family : {AF_INET, AF_INET6}) {
        SCOPED_TRACE(family == AF_INET ? "IPv4" : "IPv6");
        Listener server(family);
        if (!server.Ok() && family == AF_INET6)
            continue; // no IPv6 loopback here
        ASSERT_TRUE(server.Ok());
        const std::string host = family == AF_INET ? "127.0.0.1" : "[::1]";
        CSerCom port;
        ASSERT_FALSE(port.Init());
        ASSERT_EQ(port.Open("tcp://" + host + ":" + std::to_string(server.Port()), kDefaultDcb),
                  LE_OK)
            << port.LastOpenError();
        const int peer = server.Accept();
        ASSERT_GE(peer, 0);
        const Bytes frame = {0x05, 0xFF, 0x41, 0x0A};
        ASSERT_EQ(port.Write(frame.data(), 4, 1000), LE_OK);
        EXPECT_EQ(ReadFor(peer, 200), frame);
        Send(peer, {0xFF, 0x01});
        uint8_t got[2] = {};
        ASSERT_EQ(port.Read(got, 2, 1000), LE_OK);
        EXPECT_EQ(Bytes(got, got + 2), (Bytes{0xFF, 0x01}));
        EXPECT_FALSE(port.LineGone());
        ::close(peer);
        EXPECT_EQ(port.Read(got, 1, 1000), LE_SERIAL);
        EXPECT_EQ(port.LastIoError(), kNetClosedText);
        EXPECT_TRUE(port.LineGone());
    }
}

// An RFC 2217 server played by the test: it takes the port control, confirms all but the
// modem control (as ser2net on some devices does), and its 0xFF data arrives single.
TEST(NetPort, Rfc2217PortIsSetUpAndItsDataEscapedBothWays) {
    Listener server;
    ASSERT_TRUE(server.Ok());
    Bytes seen;
    std::thread peer([&server, &seen] {
        const int fd = server.Accept();
        if (fd < 0)
            return;
        seen = ReadFor(fd, 100);
        const Bytes agree = {IAC, DO, OPT_COM_PORT, IAC, WILL, OPT_BINARY, IAC, DO, OPT_BINARY};
        ::send(fd, agree.data(), agree.size(), MSG_NOSIGNAL);
        const Bytes settings = ReadFor(fd, 100);
        seen.insert(seen.end(), settings.begin(), settings.end());
        const Bytes answers = {
            IAC, SB,  OPT_COM_PORT, 101,          0,   0,   0x25,         0x80, IAC, SE,
            IAC, SB,  OPT_COM_PORT, 102,          8,   IAC, SE,           IAC,  SB,  OPT_COM_PORT,
            103, 1,   IAC,          SE,           IAC, SB,  OPT_COM_PORT, 104,  1,   IAC,
            SE,  IAC, SB,           OPT_COM_PORT, 105, 3,   IAC,          SE};
        ::send(fd, answers.data(), answers.size(), MSG_NOSIGNAL);
        const Bytes data = {'x', IAC, IAC, 'y'};
        std::this_thread::sleep_for(std::chrono::milliseconds(700)); // after the open
        ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        const Bytes written = ReadFor(fd, 1000);
        seen.insert(seen.end(), written.begin(), written.end());
        ::close(fd);
    });
    CSerCom port;
    ASSERT_FALSE(port.Init());
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Open("rfc2217://127.0.0.1:" + std::to_string(server.Port()), kDefaultDcb), LE_OK)
        << port.LastOpenError();
    EXPECT_LT(MsSince(t0), 2000) << "a missing answer is waited for briefly";
    EXPECT_NE(port.NetNotes().find("signál DTR"), std::string::npos) << port.NetNotes();
    EXPECT_FALSE(port.HasNoFlowControl());
    uint8_t got[3] = {};
    EXPECT_EQ(port.Read(got, 3, 2000), LE_OK);
    EXPECT_EQ(Bytes(got, got + 3), (Bytes{'x', 0xFF, 'y'}));
    const uint8_t frame[] = {0x05, 0xFF, 0x0A};
    EXPECT_EQ(port.Write(frame, 3, 1000), LE_OK);
    peer.join();
    EXPECT_TRUE(Contains(seen, {IAC, SB, OPT_COM_PORT, CPO_SET_BAUDRATE, 0, 0, 0x25, 0x80}));
    EXPECT_TRUE(Contains(seen, {0x05, 0xFF, 0xFF, 0x0A}));
}
