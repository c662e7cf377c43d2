// tk530ctl end to end through a real serial device server: ser2net with a raw TCP and an
// RFC 2217 accepter on loopback, its serial side on the virtual unit's pseudo-terminal.
#include "base/ProgramFolder.h"
#include "config/Profile.h"
#include "link/SerCom.h"
#include "sms/SMSMng.h"
#include "status/SysTime.h"
#include "tests/cli/CtlProcess.h"
#include "tests/support/Ser2Net.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"
#include "tools/sim/SimState.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

int64_t MsSince(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 t0)
        .count();
}

class CtlNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolder(m_dir.Path());
        if (!Ser2Net::Available())
            GTEST_SKIP() << "ser2net is not installed (scripts/install-deps.sh installs it)";
        m_sim = std::make_unique<CSimServer>();
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
    }
    void TearDown() override {
        m_server.reset(); // the server first: it holds the unit's line
        if (m_sim)
            m_sim->Stop();
    }

    // A server of this kind in front of the unit (instead of the one before): its port name.
    std::string StartServer(bool rfc2217) {
        m_server = std::make_unique<Ser2Net>(m_sim->SlavePath(), rfc2217);
        std::string error;
        EXPECT_TRUE(m_server->Start(&error)) << error;
        return m_server->Port();
    }

    std::vector<std::string> Args(const std::string& port, std::vector<std::string> args) {
        args.insert(args.begin(), {"--folder", m_dir.Path(), "--port", port});
        return args;
    }

    TempDir m_dir;
    std::unique_ptr<CSimServer> m_sim;
    std::unique_ptr<Ser2Net> m_server;
};

} // namespace

// Identification, the configuration both ways and the messages, over either kind of server.
TEST_F(CtlNetTest, InfoConfigurationAndSmsPassThroughRawTcpAndRfc2217) {
    for (const bool rfc2217 : {false, true}) {
        const std::string port = StartServer(rfc2217);
        SCOPED_TRACE(port);
        const CtlResult info = RunCtl(Args(port, {"info"}));
        EXPECT_EQ(info.status, 0) << info.err;
        EXPECT_TRUE(Has(info.out, "TK530 virtual unit")) << info.out;

        const std::string file = m_dir.File("unit.cfg");
        ::unlink(file.c_str());
        const CtlResult read = RunCtl(Args(port, {"read-config", file}));
        EXPECT_EQ(read.status, 0) << read.err;
        ASSERT_EQ(ReadFileBytes(file).size(), 1667u);
        std::vector<uint8_t> changed = m_sim->Unit().ConfigMemory();
        const std::vector<uint8_t> original = changed;
        changed[6 + 3] ^= 1;
        ASSERT_TRUE(m_sim->Unit().SetConfigMemory(changed));
        const CtlResult write = RunCtl(Args(port, {"write-config", file, "--verify"}));
        EXPECT_EQ(write.status, 0) << write.err;
        EXPECT_EQ(m_sim->Unit().ConfigMemory(), original);

        ASSERT_TRUE(m_sim->Unit().AddStoredSms(SimSampleSms(1, GetLocalTime())));
        const CtlResult sms = RunCtl(Args(port, {"sms-read"}));
        EXPECT_EQ(sms.status, 0) << sms.err;
        EXPECT_TRUE(Has(sms.out, "Načteno SMS: 1")) << sms.out;
        EXPECT_TRUE(m_sim->Unit().StoredSms().empty());
    }
    CSMSMng disk;
    ASSERT_EQ(disk.Load(), 1);
    EXPECT_EQ(disk.GetCount(SMS_RECEIVED), 2);
}

// The keepalive runs through the server; when the server stops, the session ends at once
// with its reason instead of turning into a silent unit.
TEST_F(CtlNetTest, MonitorKeepsTheSessionAliveUntilTheServerStops) {
    CtlProcess monitor(Args(StartServer(true), {"monitor", "--seconds", "60"}));
    // Connected, the status read, and the keepalive polls after it.
    ASSERT_TRUE(m_sim->Unit().WaitForRequests(10, 30000));
    const auto stopped = std::chrono::steady_clock::now();
    m_server->Stop();
    const CtlResult r = monitor.Wait(30000);
    EXPECT_LT(MsSince(stopped), 15000) << "the session must end, not wait for --seconds";
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "(server ukončil spojení)")) << r.err;
    EXPECT_FALSE(Has(r.err, "neodpovídá")) << "a closed connection is no silent unit";
}

// Where nobody answers: a refused connection and a malformed name end at once with their
// reason; a connect that hangs ends on Ctrl+C well before its time-out.
TEST_F(CtlNetTest, ServerThatRefusesOrNeverAnswersEndsTheRunWithItsReason) {
    const std::string closed = "tcp://127.0.0.1:" + std::to_string(FreeLoopbackPort());
    const CtlResult refused = RunCtl(Args(closed, {"info"}));
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Has(refused.err, closed + ": spojení odmítnuto")) << refused.err;
    const CtlResult malformed = RunCtl(Args("rfc2217://unit-server", {"info"}));
    EXPECT_EQ(malformed.status, 64);
    EXPECT_TRUE(Has(malformed.err, "chybí číslo portu")) << malformed.err;

    StalledListener stalled;
    ASSERT_TRUE(stalled.Ok());
    const std::string hanging = stalled.Port();
    CtlProcess p(Args(hanging, {"info"}));
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const auto interrupted = std::chrono::steady_clock::now();
    p.Signal(SIGINT);
    const CtlResult r = p.Wait(10000);
    EXPECT_LT(MsSince(interrupted), 1500) << "Storno must not wait for the connect time-out";
    EXPECT_EQ(r.status, 130) << r.err;
}

// The program's port may be a network port: kept whole through the long-port file.
TEST_F(CtlNetTest, NetworkPortIsKeptAsTheProgramsPort) {
    const std::string port = StartServer(true);
    const CtlResult set = RunCtl({"--folder", m_dir.Path(), "settings", "--port", port});
    EXPECT_EQ(set.status, 0) << set.err;
    CProfile profile;
    ASSERT_EQ(profile.Load(), PROFILE_OK);
    EXPECT_EQ(profile.PortPath(), port);
    EXPECT_STREQ(profile.m_szPort, kPortMarker);
    const CtlResult info = RunCtl({"--folder", m_dir.Path(), "info"});
    EXPECT_EQ(info.status, 0) << info.err;
}
