#include "link/TAPIMng.h"

#include "base/ProgramFolder.h"
#include "link/ComTrans.h"
#include "link/Commands.h"
#include "link/SerCom.h"
#include "tests/support/ModemPeer.h"
#include "tests/support/PtyPair.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

int64_t MsSince(Clock::time_point t0) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

HayesTimeouts ShortTimeouts() {
    HayesTimeouts t;
    t.nAtReplyMs = 200;
    t.nCommandMs = 300;
    t.nDialMs = 5000;
    t.nCancelSliceMs = 100;
    t.nAbortMs = 300;
    t.nDtrDropMs = 50;
    t.nDtrResultMs = 50;
    t.nGuardMs = 120; // the peer wants 50 ms of silence around "+++"
    t.nEscapeOkMs = 300;
    t.nHangUpMs = 300;
    t.nDropBoundMs = 5000;
    return t;
}

bool HasEscape(const Bytes& raw) {
    const std::string s(raw.begin(), raw.end());
    return s.find("+++") != std::string::npos;
}

class ModemLineTest : public ::testing::Test {
protected:
    void SetUp() override {
        tk::SetProgramFolder(m_dir.Path());
        CModemInf modem = MakeModemInf("Test modem", m_pty.SlavePath());
        ASSERT_EQ(m_tapi.Modems().Add(modem), 0);
        m_tapi.SetTimeouts(ShortTimeouts());
        m_tapi.SetCancelCheck([this] { return m_cancel.exchange(false); });
    }

    void StartPeer(ModemPeer::Options options, ModemPeer::Script script = {},
                   FramePeer::Handler frames = {}) {
        m_peer = std::make_unique<ModemPeer>(m_pty.Master(), std::move(options), std::move(script),
                                             std::move(frames));
    }

    // The session's loop: waits in slices until the call connects or ends, or the cancel.
    int WaitForCall(uint32_t* state, bool checkCancel = false) {
        for (int i = 0; i < 200; ++i) {
            const int r = m_tapi.GetLine().WaitCallState(100, state);
            if (r != LINEERR_OPERATIONFAILED)
                return r;
            if (checkCancel && m_cancel.exchange(false))
                return DIALERR_CANCELLED;
        }
        return LINEERR_OPERATIONFAILED;
    }

    // The device is free again (the dialler let go of its lock).
    bool DeviceFree() {
        CSerCom other;
        return other.Open(m_pty.SlavePath(), kDefaultDcb) == LE_OK;
    }

    TempDir m_dir;
    PtyPair m_pty;
    std::atomic<bool> m_cancel{false};
    std::unique_ptr<ModemPeer> m_peer;
    CTAPIMng m_tapi; // after the peer: drops its call while the peer still answers
};

} // namespace

TEST_F(ModemLineTest, ConnectsThroughEchoAndCarriesTheProtocolRightAfterConnect) {
    ModemPeer::Options opt;
    opt.afterConnect = "ABC"; // bytes of the far end that follow the CONNECT line at once
    StartPeer(opt, {}, [](const Bytes& req) {
        return FramePeer::Frame(FramePeer::Reply(req[1], 0, {0x00, 0x01, 0x00, 0x05}));
    });
    ASSERT_EQ(m_tapi.MakeCall("+420 (601) 123-456", 0), 0) << m_tapi.GetLine().LastReason();
    EXPECT_FALSE(DeviceFree()); // the modem is ours while the call lasts
    uint32_t state = 0;
    ASSERT_EQ(WaitForCall(&state), 0);
    ASSERT_EQ(state, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(m_tapi.GetLine().ConnectText(), "CONNECT 9600");
    EXPECT_EQ(m_peer->Commands(),
              (std::vector<std::string>{"AT", "ATZ", "ATE0V1Q0X4&C1&D2", "ATD+420601123456"}));

    int fd = -1;
    ASSERT_EQ(m_tapi.GetLine().GetCommHandle(&fd), 0);
    CSerCom port;
    ASSERT_FALSE(port.Init());
    port.Attach(fd);
    uint8_t first[3] = {};
    ASSERT_EQ(port.Read(first, 3, 1000), LE_OK);
    EXPECT_EQ(std::string(first, first + 3), "ABC"); // no LF of the CONNECT line in front

    CComTrans trans(&port);
    uint8_t request[HEADER_SIZE];
    PutRequestHeader(request, CMD_GET_TYPE);
    uint8_t reply[8] = {};
    ASSERT_EQ(trans.Exchange(request, HEADER_SIZE, reply, sizeof reply, 1000, 1000, 1), LE_OK);
    EXPECT_EQ(reply[7], 0x05);
    EXPECT_EQ(m_peer->Requests().size(), 1u);

    EXPECT_EQ(m_tapi.GetLine().DropCall(), 0);
    port.Close();
    EXPECT_EQ(m_peer->Escapes(), 1);
    EXPECT_EQ(m_peer->HangUps(), 1);
    EXPECT_FALSE(m_peer->InCall());
    EXPECT_EQ(m_tapi.GetLine().CallState(), LINECALLSTATE_IDLE);
    EXPECT_TRUE(DeviceFree());
}

TEST_F(ModemLineTest, GsmModemGetsItsInitStringAndBearerBeforeTheDial) {
    CModemInf modem = *m_tapi.GetModem(0);
    std::strcpy(modem.m_szInit, "&FS0=0");
    modem.m_bGsm = true;
    ASSERT_EQ(m_tapi.Modems().Set(0, modem), 0);
    StartPeer({});
    ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
    uint32_t state = 0;
    ASSERT_EQ(WaitForCall(&state), 0);
    EXPECT_EQ(state, LINECALLSTATE_CONNECTED);
    EXPECT_EQ(m_peer->Commands(),
              (std::vector<std::string>{"AT", "ATZ", "ATE0V1Q0X4&C1&D2", "AT&FS0=0",
                                        "AT+CBST=7,0,1", "ATD123"}));
}

TEST_F(ModemLineTest, FailedDialsEndWithTheirReasonAndAreReleasedWithoutEscape) {
    for (const char* result : {"BUSY", "NO CARRIER", "NO DIALTONE", "+CME ERROR: 30"}) {
        SCOPED_TRACE(result);
        ModemPeer::Options opt;
        opt.dialResult = result;
        StartPeer(opt);
        ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
        uint32_t state = 0;
        ASSERT_EQ(WaitForCall(&state), 0);
        EXPECT_EQ(state, LINECALLSTATE_DISCONNECTED);
        EXPECT_EQ(m_tapi.GetLine().LastReason(), result);
        // An ended call stays ended until it is released.
        ASSERT_EQ(m_tapi.GetLine().WaitCallState(0, &state), 0);
        EXPECT_EQ(state, LINECALLSTATE_DISCONNECTED);
        int fd = -1;
        EXPECT_EQ(m_tapi.GetLine().GetCommHandle(&fd), LINEERR_INVALCALLHANDLE);

        EXPECT_EQ(m_tapi.GetLine().DropCall(), 0);
        EXPECT_FALSE(HasEscape(m_peer->RawReceived()));
        EXPECT_EQ(m_peer->HangUps(), 0);
        EXPECT_TRUE(DeviceFree());
        m_peer.reset();
    }
}

TEST_F(ModemLineTest, CallLostDuringTheSessionIsReleasedWithoutEscape) {
    StartPeer({});
    ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
    uint32_t state = 0;
    ASSERT_EQ(WaitForCall(&state), 0);
    ASSERT_EQ(state, LINECALLSTATE_CONNECTED);
    m_peer->DropCarrier();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(m_tapi.GetLine().DropCall(), 0);
    EXPECT_FALSE(HasEscape(m_peer->RawReceived()));
    EXPECT_EQ(m_peer->HangUps(), 0);
}

TEST_F(ModemLineTest, CancelDuringALongDialEndsWithinASliceAndHangsUp) {
    m_tapi.SetTimeouts(HayesTimeouts{}); // real time limits: 500 ms slices, 90 s dial
    ModemPeer::Options opt;
    opt.dialDelayMs = 30000;
    StartPeer(opt);
    ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
    std::thread storno([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_cancel = true;
    });
    const auto t0 = Clock::now();
    int r = 0;
    uint32_t state = 0;
    for (;;) { // as the session waits: 500 ms slices, cancel looked at between them
        r = m_tapi.GetLine().WaitCallState(500, &state);
        if (r != LINEERR_OPERATIONFAILED)
            break;
        if (m_cancel.exchange(false)) {
            r = DIALERR_CANCELLED;
            break;
        }
    }
    storno.join();
    EXPECT_EQ(DialResultToLinkError(r), LE_CANCELLED);
    EXPECT_LT(MsSince(t0), 5000); // a slice after the cancel, long before the dial would end
    EXPECT_EQ(m_tapi.GetLine().CallState(), LINECALLSTATE_DIALING);

    const auto t1 = Clock::now();
    EXPECT_EQ(m_tapi.GetLine().DropCall(), 0);
    EXPECT_LT(MsSince(t1), 5000);
    EXPECT_TRUE(m_peer->DialAborted());
    EXPECT_EQ(m_peer->HangUps(), 1);
    EXPECT_FALSE(HasEscape(m_peer->RawReceived()));
    EXPECT_FALSE(m_peer->InCall());
}

TEST_F(ModemLineTest, CancelDuringTheSetUpDoesNotWaitForTheModemsTimeouts) {
    HayesTimeouts t; // real slices, and a modem that would be given 3 x 5 s to answer AT
    t.nAtReplyMs = 5000;
    m_tapi.SetTimeouts(t);
    StartPeer({}, [](const std::string&) { return std::string(); }); // a dead modem
    std::thread storno([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        m_cancel = true;
    });
    const auto t0 = Clock::now();
    const int r = m_tapi.MakeCall("123", 0);
    storno.join();
    EXPECT_EQ(r, DIALERR_CANCELLED);
    EXPECT_EQ(DialResultToLinkError(r), LE_CANCELLED);
    EXPECT_LT(MsSince(t0), 5000);
    EXPECT_EQ(m_tapi.GetLine().CallState(), LINECALLSTATE_IDLE);
    EXPECT_TRUE(DeviceFree());
}

TEST_F(ModemLineTest, SetUpFailuresMapToTheirLinkErrors) {
    struct Case {
        const char* name;
        ModemPeer::Script script;
        int result;
        const char* command; // where the set-up stopped
        const char* reason;
    };
    const Case cases[] = {
        {"silent modem", [](const std::string&) { return std::string(); }, DIALERR_NO_OK, "AT", ""},
        {"garbage", [](const std::string&) { return std::string("\r\n#%\x01&garbage\r\n"); },
         DIALERR_UNDEFINED_REPLY, "AT", "#%?&garbage"},
        {"garbage after OK",
         [](const std::string& c) -> std::optional<std::string> {
             if (c == "ATZ")
                 return std::string("\r\n?!\r\n");
             return std::nullopt;
         },
         DIALERR_UNDEFINED_REPLY, "ATZ", "?!"},
        {"unexpected final result",
         [](const std::string& c) -> std::optional<std::string> {
             if (c == "ATZ")
                 return ModemPeer::Result("CONNECT");
             return std::nullopt;
         },
         DIALERR_UNDEFINED_REPLY, "ATZ", "CONNECT"},
        {"ERROR to the set-up",
         [](const std::string& c) -> std::optional<std::string> {
             if (c.rfind("ATE0", 0) == 0)
                 return ModemPeer::Result("ERROR");
             return std::nullopt;
         },
         DIALERR_NO_OK, "ATE0V1Q0X4&C1&D2", "ERROR"},
        {"silence after OK",
         [](const std::string& c) -> std::optional<std::string> {
             if (c == "ATZ")
                 return std::string();
             return std::nullopt;
         },
         DIALERR_NO_OK, "ATZ", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartPeer({}, c.script);
        const int r = m_tapi.MakeCall("123", 0);
        EXPECT_EQ(r, c.result);
        EXPECT_EQ(m_tapi.GetLine().LastCommand(), c.command);
        EXPECT_EQ(m_tapi.GetLine().LastReason(), c.reason);
        EXPECT_EQ(m_tapi.GetLine().CallState(), LINECALLSTATE_IDLE);
        EXPECT_TRUE(DeviceFree());
        m_peer.reset();
    }
    EXPECT_EQ(DialResultToLinkError(DIALERR_NO_OK), LE_AT);
    EXPECT_EQ(DialResultToLinkError(DIALERR_UNDEFINED_REPLY), LE_AT_REPLY);
}

TEST_F(ModemLineTest, ModemInNumericModeIsSetUp) {
    // After ATZ the modem's stored profile says ATV0: its results are digits ended by CR.
    StartPeer({}, [](const std::string& c) -> std::optional<std::string> {
        if (c == "AT" || c == "ATZ")
            return std::string("0\r");
        return std::nullopt;
    });
    EXPECT_EQ(m_tapi.MakeCall("123", 0), 0) << m_tapi.GetLine().LastReason();
    uint32_t state = 0;
    ASSERT_EQ(WaitForCall(&state), 0);
    EXPECT_EQ(state, LINECALLSTATE_CONNECTED);
}

TEST_F(ModemLineTest, DialWithoutAResultEndsAtTheDialTimeAndIsAborted) {
    HayesTimeouts t = ShortTimeouts();
    t.nDialMs = 300;
    m_tapi.SetTimeouts(t);
    ModemPeer::Options opt;
    opt.dialResult = ""; // dials for ever
    StartPeer(opt);
    ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
    uint32_t state = 0;
    ASSERT_EQ(WaitForCall(&state), 0);
    EXPECT_EQ(state, LINECALLSTATE_DISCONNECTED);
    EXPECT_EQ(m_tapi.GetLine().LastReason(), REASON_NO_RESULT);
    EXPECT_EQ(m_tapi.GetLine().DropCall(), 0);
    EXPECT_TRUE(m_peer->DialAborted());
}

TEST_F(ModemLineTest, DialAnsweredWithSomethingElseIsNotUnderstood) {
    // OK to a dial: no data call was placed.
    StartPeer({}, [](const std::string& c) -> std::optional<std::string> {
        if (c.rfind("ATD", 0) == 0)
            return ModemPeer::Result("OK");
        return std::nullopt;
    });
    ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
    uint32_t state = 0;
    EXPECT_EQ(WaitForCall(&state), DIALERR_UNDEFINED_REPLY);
    EXPECT_EQ(m_tapi.GetLine().CallState(), LINECALLSTATE_DISCONNECTED);
}

TEST_F(ModemLineTest, DropGivesUpOnAModemThatIgnoresTheEscape) {
    ModemPeer::Options opt;
    opt.guardMs = 60000; // never hears "+++" as an escape: everything stays data
    StartPeer(opt);
    HayesTimeouts t = ShortTimeouts();
    t.nDropBoundMs = 1500;
    m_tapi.SetTimeouts(t);
    ASSERT_EQ(m_tapi.MakeCall("123", 0), 0);
    uint32_t state = 0;
    ASSERT_EQ(WaitForCall(&state), 0);
    ASSERT_EQ(state, LINECALLSTATE_CONNECTED);
    const auto t0 = Clock::now();
    EXPECT_EQ(m_tapi.GetLine().DropCall(), 0);
    EXPECT_LT(MsSince(t0), 2500);
    EXPECT_TRUE(HasEscape(m_peer->RawReceived()));
    EXPECT_EQ(m_tapi.GetLine().CallState(), LINECALLSTATE_IDLE);
    EXPECT_TRUE(DeviceFree());
}

TEST_F(ModemLineTest, CallsThatCannotStartAreRefused) {
    uint32_t state = 0;
    int fd = -1;
    EXPECT_EQ(m_tapi.GetLine().WaitCallState(10, &state), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(m_tapi.GetLine().GetCommHandle(&fd), LINEERR_INVALCALLHANDLE);
    EXPECT_EQ(m_tapi.MakeCall("123", 1), DIALERR_DEVICE);
    EXPECT_EQ(m_tapi.MakeCall("123", -1), DIALERR_DEVICE);
    EXPECT_EQ(m_tapi.MakeCall("123;", 0), DIALERR_BAD_NUMBER);
    EXPECT_EQ(m_tapi.MakeCall(nullptr, 0), DIALERR_BAD_NUMBER);
    EXPECT_EQ(DialResultToLinkError(DIALERR_BAD_NUMBER), LE_NO_CONNECTION);

    ASSERT_EQ(m_tapi.Modems().Add(MakeModemInf("Gone", m_dir.File("ttyUSB9"))), 1);
    EXPECT_EQ(m_tapi.MakeCall("123", 1), DIALERR_DEVICE);
    EXPECT_NE(m_tapi.GetLine().LastReason().find("ttyUSB9"), std::string::npos);
    EXPECT_EQ(DialResultToLinkError(DIALERR_DEVICE), LE_NO_CONNECTION);
}

TEST(DialString, KeepsDialCharactersAndRefusesTheRest) {
    std::string dial;
    EXPECT_TRUE(MakeDialString("+420 (601) 123-456", &dial));
    EXPECT_EQ(dial, "+420601123456");
    EXPECT_TRUE(MakeDialString("0w123,p45#*", &dial));
    EXPECT_EQ(dial, "0W123,P45#*");
    for (const char* bad : {"", " - ", "123;", "123\rATH", "12x", "\xE8"})
        EXPECT_FALSE(MakeDialString(bad, &dial)) << bad;
    // 40 dial characters are the limit; what is dropped does not count.
    const std::string forty(40, '1');
    EXPECT_TRUE(MakeDialString(forty.c_str(), &dial));
    EXPECT_EQ(dial, forty);
    EXPECT_TRUE(MakeDialString((forty.substr(0, 20) + " - " + forty.substr(20)).c_str(), &dial));
    EXPECT_EQ(dial, forty);
    EXPECT_FALSE(MakeDialString(std::string(41, '1').c_str(), &dial));
    EXPECT_EQ(dial, "");
}
