// The Hayes modem in front of the virtual unit: over the pseudo-terminal with short guard
// times, and as a plain state machine where exact times matter.
#include "tests/sim/SimLink.h"

#include "base/ProgramFolder.h"
#include "link/TAPIMng.h"
#include "tests/support/TempDir.h"

#include <thread>

namespace {

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

} // namespace

class SimModemLineTest : public SimLinkTest {
protected:
    void SetUp() override {
        SimServerOptions options;
        options.modem = true;
        options.modemOptions.guardMs = 100;
        options.modemOptions.connectDelayMs = 50;
        Start(options);
    }

    void Send(const std::string& text) {
        ASSERT_EQ(m_port.Write(reinterpret_cast<const uint8_t*>(text.data()),
                               static_cast<uint32_t>(text.size()), 1000),
                  LE_OK);
    }

    // Everything that arrives until the text ends with `end`, or until `timeoutMs` passes.
    std::string ReadUntil(const std::string& end, int timeoutMs = 2000) {
        std::string got;
        const int64_t deadline = MonotonicMs() + timeoutMs;
        while (!got.ends_with(end) || end.empty()) {
            const int64_t left = deadline - MonotonicMs();
            uint8_t byte = 0;
            if (left <= 0 || m_port.Read(&byte, 1, static_cast<uint32_t>(left)) != LE_OK)
                break;
            got.push_back(static_cast<char>(byte));
        }
        return got;
    }

    void Connect() {
        Send("ATE0\r");
        ASSERT_EQ(ReadUntil("OK\r\n"), "ATE0\r\r\nOK\r\n");
        Send("ATD602123456\r");
        ASSERT_EQ(ReadUntil("CONNECT 9600\r\n"), "\r\nCONNECT 9600\r\n");
    }

    LinkResult Login(const std::string& pin) {
        Bytes reply;
        return Exchange(Request(CMD_LOGIN, LoginData(pin)), reply, 4);
    }
};

TEST_F(SimModemLineTest, EchoesUntilATE0AndAnswersWithVerboseResults) {
    Send("AT\r");
    EXPECT_EQ(ReadUntil("OK\r\n"), "AT\r\r\nOK\r\n");
    Send("at+cbst=7,0,1\r");
    EXPECT_EQ(ReadUntil("OK\r\n"), "at+cbst=7,0,1\r\r\nOK\r\n");
    Send("ATE0\r");
    EXPECT_EQ(ReadUntil("OK\r\n"), "ATE0\r\r\nOK\r\n");
    Send("ATZ\r");
    EXPECT_EQ(ReadUntil("OK\r\n"), "\r\nOK\r\n"); // ATZ brings the echo back afterwards
    Send("ATE0V1Q0X4&C1&D2\r");
    EXPECT_EQ(ReadUntil("OK\r\n"), "ATE0V1Q0X4&C1&D2\r\r\nOK\r\n");
    Send("ATK\r");
    EXPECT_EQ(ReadUntil("ERROR\r\n"), "\r\nERROR\r\n");
    Send("ATD\r");
    EXPECT_EQ(ReadUntil("ERROR\r\n"), "\r\nERROR\r\n");
    EXPECT_EQ(m_server->ModemMode(), CSimModem::Mode::Command);
}

TEST_F(SimModemLineTest, DialConnectsAndTheUnitWantsTheLoginFirst) {
    Connect();
    EXPECT_EQ(m_server->DialledNumbers(), std::vector<std::string>{"602123456"});
    EXPECT_TRUE(m_server->IsCallUp());

    Bytes reply;
    EXPECT_EQ(Exchange(Request(CMD_GET_IO), reply, 7), LE_CONFIRM);
    EXPECT_EQ(reply[3], SIM_CONF_LOGIN_REQUIRED);
    EXPECT_EQ(Login("9999"), LE_CONFIRM);
    EXPECT_EQ(Login("1234"), LE_OK);
    EXPECT_EQ(Exchange(Request(CMD_GET_IO), reply, 7), LE_OK);
}

TEST_F(SimModemLineTest, EscapeNeedsGuardTimesAndATHHangsUp) {
    Connect();
    ASSERT_EQ(Login("1234"), LE_OK);
    // Right after data, "+++" is data too: the frame before it is answered, and no more.
    const Bytes frame = EncodeFrame(Request(CMD_GET_IO));
    Send(std::string(frame.begin(), frame.end()) + "+++");
    const Bytes answer = EncodeFrame(Bytes{0x80, 0x26, 0x01, 0x00, 0x01, 0x00, 0x00});
    EXPECT_EQ(ReadUntil("", 300), std::string(answer.begin(), answer.end()));
    EXPECT_EQ(m_server->ModemMode(), CSimModem::Mode::Data);

    Pause(150);
    Send("+++");
    EXPECT_EQ(ReadUntil("OK\r\n"), "\r\nOK\r\n");
    EXPECT_EQ(m_server->ModemMode(), CSimModem::Mode::OnlineCommand);
    Send("ATO\r");
    EXPECT_EQ(ReadUntil("CONNECT 9600\r\n"), "\r\nCONNECT 9600\r\n");
    Bytes reply;
    EXPECT_EQ(Exchange(Request(CMD_GET_IO), reply, 7), LE_OK); // the call and login go on

    Pause(150);
    Send("+++");
    EXPECT_EQ(ReadUntil("OK\r\n"), "\r\nOK\r\n");
    Send("ATH\r");
    EXPECT_EQ(ReadUntil("OK\r\n"), "\r\nOK\r\n");
    EXPECT_FALSE(m_server->IsCallUp());
    EXPECT_FALSE(Unit().IsLoggedIn());
    EXPECT_EQ(Exchange(Request(CMD_GET_IO), reply, 7, 200), LE_TIMEOUT);
}

TEST_F(SimModemLineTest, DialEndsAsConfigured) {
    Send("ATE0\r");
    ReadUntil("OK\r\n");
    m_server->SetDialResult(SimDialResult::Busy);
    Send("ATDP1\r");
    EXPECT_EQ(ReadUntil("BUSY\r\n"), "\r\nBUSY\r\n");
    m_server->SetDialResult(SimDialResult::NoCarrier);
    Send("ATDT1\r");
    EXPECT_EQ(ReadUntil("NO CARRIER\r\n"), "\r\nNO CARRIER\r\n");
    m_server->SetDialResult(SimDialResult::NoAnswer);
    Send("ATD1\r");
    EXPECT_EQ(ReadUntil("NO ANSWER\r\n"), "\r\nNO ANSWER\r\n");
    EXPECT_FALSE(m_server->IsCallUp());
    EXPECT_EQ(m_server->DialledNumbers().size(), 3u);
}

TEST_F(SimModemLineTest, CarrierDropsAfterNFramesOrInTheMiddleOfAReply) {
    m_server->SetHangUpAfterFrames(2);
    Connect();
    ASSERT_EQ(Login("1234"), LE_OK);
    Bytes reply;
    EXPECT_EQ(Exchange(Request(CMD_GET_IO), reply, 7), LE_OK);
    EXPECT_EQ(ReadUntil("NO CARRIER\r\n"), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(m_server->IsCallUp());

    m_server->SetHangUpAfterFrames(0);
    Unit().AddFault({CMD_GET_IDENT, SimFaultKind::HangUp, 0, 1, 0});
    Send("ATD1\r");
    ASSERT_EQ(ReadUntil("CONNECT 9600\r\n"), "\r\nCONNECT 9600\r\n");
    ASSERT_EQ(Login("1234"), LE_OK);
    EXPECT_NE(Exchange(Request(CMD_GET_IDENT), reply, 170), LE_OK);
    EXPECT_FALSE(m_server->IsCallUp());
    EXPECT_FALSE(m_server->IsHungUp()); // the line itself stays; only the call is gone
}

TEST(SimModem, EscapeNeedsSilenceBeforeAndAfter) {
    CSimModem modem({1000, 0, SimDialResult::Connect, 0, "CONNECT 9600"});
    for (char c : std::string("ATE0D1\r"))
        modem.Input(static_cast<uint8_t>(c), 0);
    modem.Tick(0);
    ASSERT_EQ(modem.GetMode(), CSimModem::Mode::Data);
    modem.TakeOutput();

    auto plus3 = [&](int64_t t) {
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(modem.Input('+', t + 100 * i));
    };
    plus3(999); // only 999 ms after the connection
    EXPECT_EQ(modem.NextDeadline(), -1);
    plus3(5000);
    EXPECT_EQ(modem.NextDeadline(), 6200);
    modem.Input(0x05, 6199); // data before the guard time is over cancels the escape
    modem.Tick(6200);
    EXPECT_EQ(modem.GetMode(), CSimModem::Mode::Data);

    plus3(7199);
    modem.Tick(8398);
    EXPECT_EQ(modem.GetMode(), CSimModem::Mode::Data);
    modem.Tick(8399);
    EXPECT_EQ(modem.GetMode(), CSimModem::Mode::OnlineCommand);
    EXPECT_EQ(modem.TakeOutput(), "\r\nOK\r\n");
}

TEST(SimModem, AnyByteAbortsADialAndNumericResultsFollowV0) {
    CSimModem modem({1000, 1000, SimDialResult::Connect, 0, "CONNECT 9600"});
    for (char c : std::string("ATD1\r"))
        modem.Input(static_cast<uint8_t>(c), 0);
    EXPECT_EQ(modem.GetMode(), CSimModem::Mode::Dialling);
    modem.Input('x', 10);
    modem.Tick(2000);
    EXPECT_EQ(modem.GetMode(), CSimModem::Mode::Command);
    EXPECT_EQ(modem.TakeOutput(), "ATD1\r\r\nNO CARRIER\r\n");
    for (char c : std::string("ATV0\r"))
        modem.Input(static_cast<uint8_t>(c), 3000);
    EXPECT_EQ(modem.TakeOutput(), "ATV0\r0\r");
}

// The project's own dialler against the virtual modem: set-up, dial, the unit's frames over
// the call's channel, and the hang-up by escape and ATH (a pseudo-terminal has no DTR).
TEST(SimModemDialler, CallsLogsInAndHangsUp) {
    TempDir dir;
    tk::SetProgramFolder(dir.Path());
    SimServerOptions options;
    options.modem = true;
    options.modemOptions.guardMs = 50;
    options.modemOptions.connectDelayMs = 50;
    CSimServer sim(options);
    ASSERT_TRUE(sim.Start());

    CTAPIMng tapi;
    ASSERT_EQ(tapi.Modems().Add(MakeModemInf("Virtual modem", sim.SlavePath())), 0);
    HayesTimeouts t;
    t.nAtReplyMs = 500;
    t.nCommandMs = 1000;
    t.nDialMs = 3000;
    t.nGuardMs = 100;
    t.nEscapeOkMs = 1000;
    t.nHangUpMs = 1000;
    t.nDropBoundMs = 5000;
    tapi.SetTimeouts(t);
    ASSERT_EQ(tapi.MakeCall("602 123 456", 0), 0) << tapi.GetLine().LastReason();
    uint32_t state = 0;
    ASSERT_EQ(tapi.GetLine().WaitCallState(3000, &state), 0);
    ASSERT_EQ(state, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(tapi.GetLine().ConnectText(), "CONNECT 9600");

    int fd = -1;
    ASSERT_EQ(tapi.GetLine().GetCommHandle(&fd), 0);
    CSerCom port;
    ASSERT_FALSE(port.Init());
    port.Attach(fd);
    CComTrans trans(&port);
    uint8_t login[13] = {0x80, CMD_LOGIN, 0x01, 0xFF, '1', '2', '3', '4'};
    uint8_t reply[8] = {};
    EXPECT_EQ(trans.Exchange(login, 13, reply, 4, 2000, 2000, 1), LE_OK);
    const uint8_t type[4] = {0x80, CMD_GET_TYPE, 0x01, 0xFF};
    EXPECT_EQ(trans.Exchange(type, 4, reply, 8, 2000, 2000, 1), LE_OK);
    port.Close();

    EXPECT_EQ(tapi.GetLine().DropCall(), 0);
    EXPECT_FALSE(sim.IsCallUp());
    EXPECT_FALSE(sim.Unit().IsLoggedIn());
    EXPECT_EQ(sim.DialledNumbers(), std::vector<std::string>{"602123456"});
}
