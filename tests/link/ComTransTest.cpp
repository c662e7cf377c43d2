#include "link/ComTrans.h"

#include "base/ProgramFolder.h"
#include "link/Commands.h"
#include "link/SerCom.h"
#include "tests/support/FramePeer.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

const Bytes kLogout{0x80, 0x22, 0x01, 0xFF};

class ComTransTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_port.Init());
        ASSERT_EQ(m_port.Open(m_pty.SlavePath(), kDefaultDcb), LE_OK);
        m_trans.SetSerCom(&m_port);
    }

    void StartPeer(FramePeer::Handler handler) {
        m_peer = std::make_unique<FramePeer>(m_pty.Master(), std::move(handler));
    }

    LinkResult Exchange(const Bytes& request, Bytes& reply, uint32_t capacity,
                        uint32_t readTimeout = 3000, uint32_t attempts = 3) {
        reply.assign(capacity, 0xEE);
        PrepareReplyHeader(reply.data());
        return m_trans.Exchange(request.data(), static_cast<uint32_t>(request.size()), reply.data(),
                                capacity, readTimeout, 6000, attempts);
    }

    PtyPair m_pty;
    CSerCom m_port;
    CComTrans m_trans;
    std::unique_ptr<FramePeer> m_peer;
};

std::vector<std::string> TraceLines(const std::string& path) {
    std::istringstream in(ReadFileText(path));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST_F(ComTransTest, ExchangeReturnsTheReplyPayload) {
    StartPeer([](const Bytes& req) {
        return FramePeer::Frame(FramePeer::Reply(req[1], 0, {0x00, 0x01, 0x00, 0x01}));
    });
    Bytes reply;
    EXPECT_EQ(m_trans.LastCommand(), 0);
    ASSERT_EQ(Exchange({0x80, 0x20, 0x01, 0xFF}, reply, 8), LE_OK);
    EXPECT_EQ(reply, (Bytes{0x80, 0x20, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01}));
    EXPECT_EQ(m_trans.LastCommand(), 0x20);
    EXPECT_EQ(m_peer->Requests(), std::vector<Bytes>{(Bytes{0x80, 0x20, 0x01, 0xFF})});
}

// A reply that came too late for its own exchange (a timed-out keepalive, a cancelled
// request) still sits on the line when the next request goes out; it must not be taken as
// the answer to that request.
TEST_F(ComTransTest, AStaleFrameOnTheLineIsNotTakenAsTheReply) {
    StartPeer([](const Bytes& req) {
        return FramePeer::Frame(FramePeer::Reply(req[1], 0, {0x00, 0x01, 0x00, 0x01}));
    });
    const Bytes stale = EncodeFrame(FramePeer::Reply(0x26, 0, {0x1F, 0x00, 0x00}));
    ASSERT_EQ(::write(m_pty.Master(), stale.data(), stale.size()),
              static_cast<ssize_t>(stale.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // in the driver's buffer now
    Bytes reply;
    ASSERT_EQ(Exchange({0x80, 0x20, 0x01, 0xFF}, reply, 8), LE_OK);
    EXPECT_EQ(reply, (Bytes{0x80, 0x20, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01}));
}

TEST_F(ComTransTest, TheFourArgumentFormUsesTheDefaults) {
    StartPeer([](const Bytes& req) { return FramePeer::Frame(FramePeer::Reply(req[1], 0)); });
    uint8_t reply[4] = {};
    EXPECT_EQ(m_trans.Exchange(kLogout.data(), 4, reply, 4), LE_OK);
    EXPECT_EQ(m_trans.LastCommand(), 0x22);
}

TEST_F(ComTransTest, NoiseBeforeTheReplyIsIgnored) {
    StartPeer([](const Bytes& req) {
        Bytes raw{0x0D, 0x0A, 'O', 'K', 0x0A, 0x00, 0xFF};
        const Bytes frame = EncodeFrame(FramePeer::Reply(req[1], 0, {0x11}));
        raw.insert(raw.end(), frame.begin(), frame.end());
        return FramePeer::Raw(raw);
    });
    Bytes reply;
    ASSERT_EQ(Exchange(kLogout, reply, 5), LE_OK);
    EXPECT_EQ(reply[4], 0x11);
}

TEST_F(ComTransTest, LongerReplyIsCutShorterReplyIsAccepted) {
    StartPeer([](const Bytes& req) {
        return FramePeer::Frame(FramePeer::Reply(req[1], 0, {1, 2, 3, 4, 5, 6}));
    });
    Bytes reply;
    ASSERT_EQ(Exchange(kLogout, reply, 6), LE_OK);
    EXPECT_EQ(reply, (Bytes{0x80, 0x22, 0x01, 0x00, 1, 2}));
    ASSERT_EQ(Exchange(kLogout, reply, 20), LE_OK);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 11),
              (Bytes{0x80, 0x22, 0x01, 0x00, 1, 2, 3, 4, 5, 6, 0xEE}));
}

TEST_F(ComTransTest, BadChecksumSendsTheRequestAgainThenGives5) {
    StartPeer([](const Bytes& req) {
        Bytes frame = EncodeFrame(FramePeer::Reply(req[1], 0));
        frame[frame.size() - 2] ^= 0x40;
        return FramePeer::Raw(frame);
    });
    Bytes reply;
    EXPECT_EQ(Exchange(kLogout, reply, 4), LE_CRC);
    EXPECT_EQ(m_peer->RequestCount(), 3u);
}

TEST_F(ComTransTest, ABadChecksumOnceIsMendedByTheNextAttempt) {
    int calls = 0;
    StartPeer([&calls](const Bytes& req) {
        Bytes frame = EncodeFrame(FramePeer::Reply(req[1], 0));
        if (++calls == 1)
            frame[frame.size() - 2] ^= 0x40;
        return FramePeer::Raw(frame);
    });
    Bytes reply;
    EXPECT_EQ(Exchange(kLogout, reply, 4), LE_OK);
    EXPECT_EQ(m_peer->RequestCount(), 2u);
}

TEST_F(ComTransTest, RefusedLoginGives6WithTheCodeInTheBufferAndNoRetry) {
    StartPeer([](const Bytes& req) { return FramePeer::Frame(FramePeer::Reply(req[1], 3)); });
    Bytes login{0x80, 0x21, 0x01, 0xFF, '1', '2', '3', '4', 0, 0, 0, 0, 0};
    Bytes reply;
    EXPECT_EQ(Exchange(login, reply, 4, 5000, 1), LE_CONFIRM);
    EXPECT_EQ(reply[3], 3);
    Bytes reply3;
    EXPECT_EQ(Exchange(login, reply3, 4, 5000, 3), LE_CONFIRM);
    EXPECT_EQ(m_peer->RequestCount(), 2u); // one per exchange, even with 3 attempts
}

TEST_F(ComTransTest, NoAnswerMakesEveryAttemptAndGives3) {
    StartPeer([](const Bytes&) { return std::nullopt; });
    Bytes reply;
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Exchange(kLogout, reply, 4, 100, 3), LE_TIMEOUT);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_GE(ms, 300);
    EXPECT_EQ(m_peer->RequestCount(), 3u);
    EXPECT_EQ(reply[3], 0xFF); // the template: no reply arrived
}

TEST_F(ComTransTest, AReplyBrokenOffIsRetried) {
    int calls = 0;
    StartPeer([&calls](const Bytes& req) {
        const Bytes frame = EncodeFrame(FramePeer::Reply(req[1], 0, {7}));
        if (++calls == 1)
            return FramePeer::Raw(Bytes(frame.begin(), frame.begin() + 3));
        return FramePeer::Raw(frame);
    });
    Bytes reply;
    EXPECT_EQ(Exchange(kLogout, reply, 5, 100, 3), LE_OK);
    EXPECT_EQ(reply[4], 7);
}

TEST_F(ComTransTest, CancelEndsTheExchangeAtOnceWithoutRetry) {
    StartPeer([](const Bytes&) { return std::nullopt; });
    std::thread canceller([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_port.Cancel();
    });
    Bytes reply;
    EXPECT_EQ(Exchange(kLogout, reply, 4, 10000, 3), LE_CANCELLED);
    canceller.join();
    EXPECT_EQ(m_peer->RequestCount(), 1u);
    EXPECT_FALSE(m_port.IsCancelled());
}

TEST_F(ComTransTest, CancelBeforeTheExchangeEndsItWhenItFirstWaits) {
    StartPeer([](const Bytes& req) { return FramePeer::Frame(FramePeer::Reply(req[1], 0), 200); });
    m_port.Cancel();
    Bytes reply;
    EXPECT_EQ(Exchange(kLogout, reply, 4), LE_CANCELLED);
}

TEST_F(ComTransTest, HangUpDuringTheExchangeGives1) {
    StartPeer([](const Bytes&) { return std::nullopt; });
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        m_peer->Stop();
        m_pty.CloseMaster();
    });
    Bytes reply;
    EXPECT_EQ(Exchange(kLogout, reply, 4, 10000, 3), LE_SERIAL);
    closer.join();
}

TEST_F(ComTransTest, TraceHoldsOneWriteAndOneReadLineOfRawBytes) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    ASSERT_FALSE(m_port.OpenLog());
    StartPeer([](const Bytes& req) { return FramePeer::Frame(FramePeer::Reply(req[1], 0)); });
    Bytes reply;
    ASSERT_EQ(Exchange(kLogout, reply, 4), LE_OK);
    m_port.CloseLog();
    const auto lines = TraceLines(dir.File("sercom.log"));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "");
    const std::regex w(R"(W \([0-9A-F]{8}\): 05 80 22 09 21 FF 5E 0A )");
    const std::regex r(R"(R \([0-9A-F]{8}\): 05 80 22 09 21 09 20 5D 0A )");
    EXPECT_TRUE(std::regex_match(lines[1], w)) << lines[1];
    EXPECT_TRUE(std::regex_match(lines[2], r)) << lines[2];
}

TEST_F(ComTransTest, RetriedRequestGetsASecondWriteLine) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    ASSERT_FALSE(m_port.OpenLog());
    int calls = 0;
    StartPeer([&calls](const Bytes& req) {
        Bytes frame = EncodeFrame(FramePeer::Reply(req[1], 0));
        if (++calls == 1)
            frame[frame.size() - 2] ^= 0x40;
        return FramePeer::Raw(frame);
    });
    Bytes reply;
    ASSERT_EQ(Exchange(kLogout, reply, 4), LE_OK);
    m_port.CloseLog();
    const auto lines = TraceLines(dir.File("sercom.log"));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[1].substr(0, 2), "W ");
    EXPECT_EQ(lines[2].substr(0, 2), "R ");
    EXPECT_EQ(lines[3].substr(0, 2), "W ");
    EXPECT_EQ(lines[4].substr(0, 2), "R ");
}
