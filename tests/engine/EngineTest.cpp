#include "tests/engine/EngineFixture.h"

#include "base/Texts.h"
#include "tests/support/PtyPair.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono;

int64_t MsSince(steady_clock::time_point t0) {
    return duration_cast<milliseconds>(steady_clock::now() - t0).count();
}

std::vector<uint32_t> Types(const std::vector<ProgressRecord>& progress) {
    std::vector<uint32_t> types;
    for (const auto& p : progress)
        types.push_back(p.type);
    return types;
}

bool Contains(const std::vector<int>& v, int x) {
    return std::find(v.begin(), v.end(), x) != v.end();
}

} // namespace

TEST_F(EngineTest, OfflineStatusReadConnectsReadsAndDisconnects) {
    StartAll();
    SysTime clock;
    clock.wYear = 2008;
    clock.wMonth = 12;
    clock.wDay = 7;
    clock.wHour = 14;
    clock.wMinute = 5;
    clock.wSecond = 9;
    ASSERT_TRUE(Unit().SetClock(clock)); // differs from the PC's time the record starts with
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x24, 0x26, 0x30, 0x22, 0x86}));
    const auto requests = Unit().Requests();
    EXPECT_EQ(requests.back().payload, (std::vector<uint8_t>{0x80, 0x86, 0x01, 0xFF, 0x00}));
    EXPECT_FALSE(m_com->IsOnline());
    EXPECT_EQ(m_ui.EventCodes(), (std::vector<int>{CE_BEGIN, CE_ONLINE, CE_DEVID, CE_GSM, CE_IO,
                                                   CE_TIME, CE_DONE, CE_OFFLINE}));
    EXPECT_EQ(m_ui.Events()[6].arg, static_cast<intptr_t>(CM_READ_STATUS));
    const auto types = Types(m_ui.Progress());
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.back(), PM_END);
    EXPECT_EQ(m_status.m_DevId.m_nSerNum, 12345u);
    EXPECT_EQ(m_status.m_GSM.m_nSignal, 20u);
    EXPECT_EQ(m_status.m_Time.wYear, 2008);
    EXPECT_EQ(m_status.m_Time.wDay, 7);
    // The port was released: the next sequence opens it again.
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_EQ(Commands().size(), 14u);
}

// A pseudo-terminal carries the bytes at any speed, so only the settings on the port tell
// whether a real unit would hear the program: 9600 baud both ways, 8 data bits, no parity,
// one stop bit, whatever the port was set to before.
TEST_F(EngineTest, ConnectSetsTheLineTo9600EightNoParityOneStop) {
    StartAll();
    const int fd = ::open(m_sim->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    struct termios tio {};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    tio.c_cflag = (tio.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CSTOPB;
    ::cfsetispeed(&tio, B19200);
    ::cfsetospeed(&tio, B19200);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    Run({CM_CONNECT, 1, 0});
    ASSERT_TRUE(m_com->IsOnline());
    struct termios line {};
    const int got = ::tcgetattr(fd, &line);
    ::close(fd);
    ASSERT_EQ(got, 0);
    EXPECT_EQ(::cfgetispeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(::cfgetospeed(&line), static_cast<speed_t>(B9600));
    EXPECT_EQ(line.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(line.c_cflag & PARENB);
    EXPECT_FALSE(line.c_cflag & CSTOPB);
    Run({CM_DISCONNECT, 0, 0});
}

TEST_F(EngineTest, ProgressShowsCaptionsStepsAndTheCancelButton) {
    StartAll();
    Run({CM_READ_STATUS, 0, 0});
    std::vector<ProgressRecord> begins;
    for (const auto& p : m_ui.Progress()) {
        if (p.type == PM_BEGIN)
            begins.push_back(p);
    }
    ASSERT_EQ(begins.size(), 3u);
    EXPECT_EQ(begins[0].value, TXT_CAP_CONNECT);
    EXPECT_EQ(begins[0].value2, 4u);
    EXPECT_TRUE(begins[0].cancel);
    EXPECT_EQ(begins[1].value, TXT_CAP_READ_STATUS);
    EXPECT_EQ(begins[1].value2, 3u);
    EXPECT_EQ(begins[2].value, TXT_CAP_DISCONNECT);
    EXPECT_EQ(begins[2].value2, 2u);
    EXPECT_FALSE(begins[2].cancel); // no "Storno" while disconnecting
}

TEST_F(EngineTest, OnlineRunsOnlyTheOperationAndKeepsPolling) {
    StartAll();
    Run({CM_CONNECT, 1, 0});
    EXPECT_TRUE(m_com->IsOnline());
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23}));
    const size_t before = Unit().RequestCount();
    Run({CM_READ_STATUS, 0, 0});
    Codes after = Commands(before);
    // Keepalive polls may come first; the operation itself is the three reads, no session.
    for (uint8_t c : after) {
        EXPECT_TRUE(c != 0x20 && c != 0x23 && c != 0x22 && c != 0x86) << int(c);
    }
    const Codes tail(after.end() - 3, after.end());
    EXPECT_EQ(tail, (Codes{0x24, 0x26, 0x30}));
    EXPECT_TRUE(m_com->IsOnline());
    Run({CM_DISCONNECT, 0, 0});
    EXPECT_FALSE(m_com->IsOnline());
}

TEST_F(EngineTest, KeepalivePollsInputsEverySecondAndTheRestInTurn) {
    StartAll();
    Run({CM_CONNECT, 1, 0});
    const size_t before = Unit().RequestCount();
    ASSERT_TRUE(Unit().WaitForRequests(before + 12, 15000));
    const Codes polls = Commands(before);
    const Codes pattern{0x26, 0x24, 0x26, 0x30, 0x26, 0x29};
    for (size_t i = 0; i < 12; ++i)
        EXPECT_EQ(polls[i], pattern[i % pattern.size()]) << "poll " << i;
    // One cycle a second: consecutive input/output polls are at least that far apart.
    const auto requests = Unit().Requests();
    int64_t last = -1;
    for (size_t i = before; i < before + 12; ++i) {
        if (requests[i].payload[1] != 0x26)
            continue;
        if (last >= 0) {
            EXPECT_GE(requests[i].timeMs - last, 990);
        }
        last = requests[i].timeMs;
    }
    EXPECT_TRUE(m_ui.Errors().empty()); // polls never show anything
}

TEST_F(EngineTest, TimeOutOffersRepeatAndNoStillDisconnects) {
    StartAll();
    m_com->SetTimeoutScale(3);
    Unit().AddFault({0x24, SimFaultKind::NoAnswer});
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_TIMEOUT, 0x24}}));
    EXPECT_EQ(m_ui.RepeatQuestions(), 1);
    EXPECT_FALSE(Contains(m_ui.EventCodes(), CE_DONE)) << "a failed operation is not done";
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x24, 0x24, 0x24, 0x22, 0x86}));
    EXPECT_EQ(m_ui.EventCodes().back(), CE_OFFLINE);
    EXPECT_EQ(Types(m_ui.Progress()).back(), PM_END);
}

TEST_F(EngineTest, RepeatRunsTheSameOperationAgain) {
    StartAll();
    m_com->SetTimeoutScale(3);
    Unit().AddFault({0x24, SimFaultKind::NoAnswer, 0, 3});
    m_ui.AnswerRepeat({true});
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_EQ(m_ui.Errors().size(), 1u);
    EXPECT_EQ(Commands(), (Codes{0x20, 0x23, 0x24, 0x24, 0x24, 0x24, 0x26, 0x30, 0x22, 0x86}));
}

TEST_F(EngineTest, FailedConnectDropsTheQueuedOperation) {
    StartAll();
    m_com->SetTimeoutScale(3);
    Unit().AddFault({0x20, SimFaultKind::NoAnswer});
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_TIMEOUT, 0x20}}));
    EXPECT_EQ(Commands(), (Codes{0x20, 0x20, 0x20, 0x22, 0x86}));
    EXPECT_FALSE(m_com->IsOnline());
}

TEST_F(EngineTest, PortThatCannotBeOpenedIsNotOfferedForRepetition) {
    StartAll();
    m_profile.SetPort("/dev/no-such-port");
    Run({CM_READ_STATUS, 0, 0});
    const auto errors = m_ui.Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].first, LE_PORT_OPEN);
    EXPECT_EQ(errors[0].second, 0u); // no request was sent: the text stands alone
    EXPECT_EQ(m_ui.RepeatQuestions(), 0);
    EXPECT_TRUE(Commands().empty());
    EXPECT_EQ(m_ui.EventCodes().back(), CE_OFFLINE);
    bool detail = false;
    for (const auto& p : m_ui.Progress())
        detail |= p.type == PM_ERROR && p.detail.find("/dev/no-such-port") != std::string::npos;
    EXPECT_TRUE(detail) << "the user is told which device failed";
}

TEST_F(EngineTest, DisconnectSendsLogoutAndEndOfSessionEvenWhenTheUnitIsSilent) {
    StartAll();
    m_com->SetTimeoutScale(3);
    Run({CM_CONNECT, 1, 0});
    Unit().AddFault({SIM_ANY_COMMAND, SimFaultKind::NoAnswer});
    const size_t before = Unit().RequestCount();
    Run({CM_DISCONNECT, 0, 0});
    // Keepalive polls may come before; the disconnect itself tries each request once.
    const Codes after = Commands(before);
    ASSERT_GE(after.size(), 2u);
    EXPECT_EQ(Codes(after.end() - 2, after.end()), (Codes{0x22, 0x86}));
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_FALSE(m_com->IsOnline());
    EXPECT_EQ(m_ui.EventCodes().back(), CE_OFFLINE);
}

TEST_F(EngineTest, ConnectWhileOpenSkipsOpeningAndIdentifiesAgain) {
    StartAll();
    Run({CM_CONNECT, 1, 0});
    m_ui.Clear();
    const size_t before = Unit().RequestCount();
    Run({CM_CONNECT, 1, 0});
    const Codes after = Commands(before);
    EXPECT_EQ(Codes(after.end() - 2, after.end()), (Codes{0x20, 0x23}));
    const auto codes = m_ui.EventCodes();
    EXPECT_FALSE(Contains(codes, CE_ONLINE));
    EXPECT_FALSE(Contains(codes, CE_DEVID)); // the same unit: nothing to redraw
    for (const auto& p : m_ui.Progress()) {
        EXPECT_NE(p.value, TXT_CAP_CONNECT) << "no caption of opening the link";
    }
}

TEST_F(EngineTest, WindowCloseDisconnectLetsTheMainWindowClose) {
    StartAll();
    Run({CM_CONNECT, 1, 0});
    EXPECT_FALSE(m_ui.CloseRequested());
    Run({CM_DISCONNECT, 1, 0});
    EXPECT_TRUE(m_ui.CloseRequested());
    EXPECT_FALSE(m_com->IsOnline());
}

TEST_F(EngineTest, SecondPostWhileBusyIsRefused) {
    StartAll();
    Unit().AddFault({0x24, SimFaultKind::Delay, 300});
    ASSERT_EQ(m_com->Post({CM_READ_STATUS, 0, 0}), 1u);
    EXPECT_EQ(m_com->Post({CM_READ_STATUS, 0, 0}), LE_BUSY);
    EXPECT_EQ(m_com->Post({CM_CANCEL, 0, 0}), 1u); // cancel is always taken
    ASSERT_TRUE(m_com->WaitIdle(30000));
}

TEST_F(EngineTest, StornoEndsThePendingReadWithoutRepeatQuestion) {
    StartAll();
    Unit().AddFault({0x24, SimFaultKind::NoAnswer});
    ASSERT_EQ(m_com->Post({CM_READ_STATUS, 0, 0}), 1u);
    ASSERT_TRUE(Unit().WaitForRequests(3, 10000));
    std::this_thread::sleep_for(milliseconds(50));
    const auto t0 = steady_clock::now();
    m_com->Post({CM_CANCEL, 0, 0});
    ASSERT_TRUE(m_ui.WaitProgress(PM_ERROR, 1, 10000));
    EXPECT_LT(MsSince(t0), 2500); // not the 3 x 3 s of the time-outs
    ASSERT_TRUE(m_com->WaitIdle(30000));
    EXPECT_EQ(m_ui.Errors()[0].first, LE_CANCELLED);
    EXPECT_EQ(m_ui.RepeatQuestions(), 0);
    EXPECT_EQ(Commands().back(), 0x86); // the session was still closed
}

TEST_F(EngineTest, AStornoLeftOverFromAnEarlierSequenceCancelsNothing) {
    StartAll();
    m_com->Post({CM_CANCEL, 0, 0}); // pressed while nothing ran
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
}

TEST_F(EngineTest, ShutdownDuringASequenceDoesNotHangAndClosesTheSession) {
    StartAll();
    Unit().AddFault({0x24, SimFaultKind::NoAnswer});
    ASSERT_EQ(m_com->Post({CM_READ_STATUS, 0, 0}), 1u);
    ASSERT_TRUE(Unit().WaitForRequests(3, 10000));
    const auto t0 = steady_clock::now();
    m_com.reset();
    EXPECT_LT(MsSince(t0), 8000);
    EXPECT_EQ(Commands().back(), 0x86);
    EXPECT_EQ(m_ui.RepeatQuestions(), 0); // nobody is asked while shutting down
}

TEST_F(EngineTest, ShutdownWhileOnlineDisconnectsFirst) {
    StartAll();
    Run({CM_CONNECT, 1, 0});
    m_com.reset();
    const Codes codes = Commands();
    EXPECT_EQ(Codes(codes.end() - 2, codes.end()), (Codes{0x22, 0x86}));
}

TEST_F(EngineTest, TraceEndsWithEverySession) {
    StartAll();
    m_profile.m_bLog = 1;
    Run({CM_READ_STATUS, 0, 0});
    const std::string first = ReadFileText(m_dir.File("sercom.log"));
    EXPECT_NE(first.find("W ("), std::string::npos);
    EXPECT_NE(first.find("R ("), std::string::npos);
    m_profile.m_bLog = 0;
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_EQ(ReadFileText(m_dir.File("sercom.log")), first);
}

TEST_F(EngineTest, ModemSessionLogsInWithThePinAndHangsUp) {
    StartAll(true);
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(Commands(), (Codes{0x21, 0x20, 0x23, 0x24, 0x26, 0x30, 0x22}));
    const auto login = Unit().Requests()[0].payload;
    ASSERT_EQ(login.size(), 13u);
    EXPECT_EQ(std::string(login.begin() + 4, login.begin() + 8), "1234");
    EXPECT_EQ(login[8], 0);
    EXPECT_EQ(m_sim->DialledNumbers(), std::vector<std::string>{"123456789"});
    EXPECT_FALSE(m_sim->IsCallUp());
}

// A unit refuses a wrong PIN with confirmation 3 or 4; both ask for a new one.
TEST_F(EngineTest, WrongPinAsksForANewOneAndLogsInAgain) {
    m_pin = "9999";
    StartAll(true);
    int prompts = 0;
    m_ui.onBadPin = [&prompts](CConnectDsc* dsc) {
        ++prompts;
        dsc->SetPIN("1234");
        return DLG_OK;
    };
    for (const uint8_t code : {SIM_CONF_BAD_PIN, SIM_CONF_BAD_PIN_4}) {
        SCOPED_TRACE(int{code});
        Unit().SetBadPinCode(code);
        m_com->GetConnections().Get(0)->SetPIN("9999");
        prompts = 0;
        const size_t before = Unit().RequestCount();
        Run({CM_CONNECT, 1, 0});
        EXPECT_EQ(prompts, 1);
        EXPECT_TRUE(m_com->IsOnline());
        const auto requests = Unit().Requests();
        ASSERT_GE(requests.size(), before + 2);
        EXPECT_EQ(
            std::string(requests[before].payload.begin() + 4, requests[before].payload.begin() + 8),
            "9999");
        EXPECT_EQ(std::string(requests[before + 1].payload.begin() + 4,
                              requests[before + 1].payload.begin() + 8),
                  "1234");
        EXPECT_TRUE(m_ui.Errors().empty());
        // The corrected PIN is kept for the next time.
        EXPECT_STREQ(m_com->GetConnections().Get(0)->m_szPIN, "1234");
        Run({CM_DISCONNECT, 0, 0});
    }
}

TEST_F(EngineTest, GivingUpAtThePinPromptEndsSilently) {
    m_pin = "9999";
    StartAll(true);
    m_ui.onBadPin = [](CConnectDsc*) { return DLG_CANCEL; };
    Run({CM_READ_STATUS, 0, 0});
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(m_ui.RepeatQuestions(), 0);
    EXPECT_EQ(Commands(), (Codes{0x21, 0x22}));
    EXPECT_FALSE(m_sim->IsCallUp());
}

TEST_F(EngineTest, BlockedAccessEndsWith10AndNoRepeat) {
    StartAll(true);
    SimUnitState state = Unit().State();
    state.blocked = true;
    ASSERT_TRUE(Unit().SetState(state));
    Run({CM_CONNECT, 1, 0});
    EXPECT_EQ(m_ui.Errors(), (std::vector<std::pair<uint32_t, uint32_t>>{{LE_BLOCKED, 0x21}}));
    EXPECT_EQ(m_ui.RepeatQuestions(), 0);
    EXPECT_FALSE(m_com->IsOnline());
    EXPECT_FALSE(m_sim->IsCallUp());
}

TEST_F(EngineTest, StornoWhileDiallingEndsWithin500Ms) {
    m_longDial = true;
    StartAll(true);
    ASSERT_EQ(m_com->Post({CM_CONNECT, 1, 0}), 1u);
    for (int i = 0; i < 200 && m_sim->DialledNumbers().empty(); ++i)
        std::this_thread::sleep_for(milliseconds(20));
    ASSERT_FALSE(m_sim->DialledNumbers().empty());
    const auto t0 = steady_clock::now();
    m_com->Post({CM_CANCEL, 0, 0});
    ASSERT_TRUE(m_ui.WaitProgress(PM_ERROR, 1, 10000));
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_EQ(m_ui.Errors()[0].first, LE_CANCELLED);
    ASSERT_TRUE(m_com->WaitIdle(30000));
    EXPECT_FALSE(m_sim->IsCallUp());
    EXPECT_EQ(m_sim->ModemMode(), CSimModem::Mode::Command); // the dial was aborted
}

TEST_F(EngineTest, BusyNumberGives9WithTheReason) {
    StartAll(true);
    m_sim->SetDialResult(SimDialResult::Busy);
    Run({CM_CONNECT, 1, 0});
    const auto progress = m_ui.Progress();
    bool busy = false;
    for (const auto& p : progress)
        busy |= p.type == PM_ERROR && p.value == LE_NO_CONNECTION &&
                p.detail.find("BUSY") != std::string::npos;
    EXPECT_TRUE(busy);
    EXPECT_EQ(m_ui.RepeatQuestions(), 1);
    EXPECT_FALSE(m_com->IsOnline());
}

TEST_F(EngineTest, ConnectionOrModemThatDoesNotExistFailsWith9) {
    StartAll(true);
    m_com->GetConnections().SetSel(5);
    Run({CM_CONNECT, 1, 0});
    EXPECT_EQ(m_ui.Errors().at(0).first, LE_NO_CONNECTION);
    m_ui.Clear();
    m_com->GetConnections().SetSel(0);
    m_profile.m_nModem = 3;
    Run({CM_CONNECT, 1, 0});
    EXPECT_EQ(m_ui.Errors().at(0).first, LE_NO_CONNECTION);
    EXPECT_TRUE(m_sim->DialledNumbers().empty());
}

TEST_F(EngineTest, ModemKeepaliveDoesNotFetchSms) {
    StartAll(true);
    Run({CM_CONNECT, 1, 0});
    const size_t before = Unit().RequestCount();
    ASSERT_TRUE(Unit().WaitForRequests(before + 6, 15000));
    for (uint8_t c : Commands(before)) {
        EXPECT_NE(c, 0x29);
    }
    Run({CM_DISCONNECT, 0, 0});
}

TEST_F(EngineTest, StopSavesTheConnectionListUnlessToldNotTo) {
    StartAll(true); // "Connection.dat" holds one connection, chosen
    const std::string path = m_dir.File("Data/Connection.dat");
    const std::vector<uint8_t> before = ReadFileBytes(path);
    CConnectDsc other{};
    other.SetNum("555");
    other.SetPIN("0000");
    m_com->GetConnections().Clear();
    m_com->GetConnections().Add(other);
    m_com->GetConnections().SetSel(0);
    m_com->SetSaveConnectionsOnStop(false);
    m_com->Stop();
    EXPECT_EQ(ReadFileBytes(path), before);

    // By default the list as it is at the end is saved.
    m_com = std::make_unique<CTK630Com>(m_profile, m_status);
    ASSERT_EQ(m_com->Start(), 1u);
    ASSERT_EQ(m_com->GetConnections().GetCount(), 1);
    m_com->GetConnections().Add(other);
    m_com->Stop();
    CConnectDscMng saved;
    ASSERT_EQ(saved.Load(), 1);
    ASSERT_EQ(saved.GetCount(), 2);
    EXPECT_STREQ(saved.Get(1)->m_szNum, "555");
}

// A window whose own thread is the one calling Stop leaves the worker's question unanswered;
// Stop must not wait for it. Each of the four questions is held in turn.
TEST_F(EngineTest, StopWhileTheWorkerWaitsForAnAnswerReturnsAtOnce) {
    enum class Question { Error, Repeat, Pin, SmsReceived };
    for (const Question q :
         {Question::Error, Question::Repeat, Question::Pin, Question::SmsReceived}) {
        SCOPED_TRACE(static_cast<int>(q));
        m_pin = q == Question::Pin ? "9999" : "1234";
        StartAll(q == Question::Pin);
        m_com->SetTimeoutScale(3);
        m_ui.HoldQuestions(true);
        CComMsg msg{CM_READ_STATUS, 0, 0};
        if (q == Question::Error || q == Question::Repeat)
            Unit().AddFault({0x24, SimFaultKind::NoAnswer});
        if (q == Question::SmsReceived) {
            SimSms sms;
            sms.number = "+420777123456";
            sms.text = "neztratit";
            sms.time.wYear = 2008;
            sms.time.wMonth = 12;
            sms.time.wDay = 7;
            ASSERT_TRUE(Unit().AddStoredSms(sms));
            msg = {CM_READ_SMS, 0, 0};
        }
        ASSERT_EQ(m_com->Post(msg), 1u);
        ASSERT_TRUE(m_ui.WaitHeld(1));
        if (q == Question::Repeat) {
            EXPECT_EQ(m_ui.AnswerHeld(0), std::vector<bool>{true}); // the error box is closed
            ASSERT_TRUE(m_ui.WaitHeld(1));
            EXPECT_EQ(m_ui.RepeatQuestions(), 1);
        }
        const auto t0 = steady_clock::now();
        m_com->Stop();
        EXPECT_LT(MsSince(t0), 1000);
        // The worker gave up on the question: a late answer is ignored.
        EXPECT_EQ(m_ui.AnswerHeld(1), std::vector<bool>{false});
        EXPECT_FALSE(m_sim->IsCallUp());
        if (q == Question::SmsReceived) {
            // Not stored on the PC, so not acknowledged: the unit still holds it.
            EXPECT_EQ(Unit().StoredSms().size(), 1u);
            const Codes codes = Commands();
            EXPECT_EQ(std::count(codes.begin(), codes.end(), 0x2A), 0);
        }
        m_com.reset();
        m_sim->Stop();
        m_ui.HoldQuestions(false);
        m_ui.Clear();
    }
}

// Status events carry the records by value; a reader on another thread takes snapshots while
// the worker writes the records as fast as the unit answers (the thread sanitizer checks it).
TEST_F(EngineTest, StatusEventsCarryTheirRecordsAndSnapshotsAreConsistent) {
    StartAll();
    Run({CM_CONNECT, 1, 0});
    Run({CM_READ_STATUS, 0, 0});
    std::atomic<bool> done{false};
    std::atomic<int> snapshots{0};
    std::thread reader([&] {
        // At least one snapshot even when this thread first runs after the reads (a loaded
        // machine): the count below then checks the reader, not the scheduler.
        do {
            const CDevStatus s = m_com->StatusSnapshot();
            // Inputs only ever take the two values the test gives them.
            EXPECT_TRUE(s.m_IO.m_nInputs == 0x01 || s.m_IO.m_nInputs == 0x1E)
                << int(s.m_IO.m_nInputs);
            ++snapshots;
        } while (!done);
    });
    for (int i = 0; i < 20; ++i) {
        SimUnitState state = Unit().State();
        state.inputs = i % 2 ? 0x01 : 0x1E;
        state.gsm.signal = static_cast<uint8_t>(i + 1);
        ASSERT_TRUE(Unit().SetState(state));
        Run({CM_READ_STATUS, 0, 0});
    }
    done = true;
    reader.join();
    EXPECT_GT(snapshots.load(), 0);
    // Each CE_GSM carried the signal the unit had at that read.
    std::vector<uint32_t> signals;
    for (const EventRecord& e : m_ui.Events()) {
        if (e.code == CE_GSM)
            signals.push_back(e.status.m_GSM.m_nSignal);
        if (e.code == CE_IO) {
            EXPECT_NE(e.status.m_IO.m_nInputs, 0);
        }
    }
    ASSERT_GE(signals.size(), 19u); // the first read found the signal unchanged
    EXPECT_EQ(signals.back(), 20u);
    EXPECT_EQ(m_com->StatusSnapshot().m_IO.m_nInputs, 0x01);
    Run({CM_DISCONNECT, 0, 0});
}

// A device that keeps talking on the chosen port (a GPS, a meter, a console) at 960 bytes a
// second: the per-byte time-out never elapses, the cap on each reception ends the attempts.
TEST_F(EngineTest, ADeviceThatNeverStopsTalkingEndsTheConnectWith5AndStornoStillWorks) {
    tk::SetProgramFolder(m_dir.Path());
    PtyPair pty;
    std::atomic<bool> stop{false};
    std::thread talker([&] {
        const std::string line =
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
        size_t pos = 0;
        while (!stop) {
            // 48 bytes every 50 ms: 960 bytes a second.
            std::string chunk;
            for (int i = 0; i < 48; ++i)
                chunk += line[pos++ % line.size()];
            [[maybe_unused]] const ssize_t n = ::write(pty.Master(), chunk.data(), chunk.size());
            std::this_thread::sleep_for(milliseconds(50));
        }
    });
    m_profile.m_nConnType = CONN_LOCAL;
    m_profile.SetPort(pty.SlavePath().c_str());
    m_com = std::make_unique<CTK630Com>(m_profile, m_status);
    m_com->SetProgressSink(&m_ui);
    m_com->SetEventSink(&m_ui);
    m_com->SetPauseMs(0);
    ASSERT_EQ(m_com->Start(), 1u);

    auto t0 = steady_clock::now();
    ASSERT_EQ(m_com->Post({CM_CONNECT, 1, 0}), 1u);
    EXPECT_TRUE(m_com->WaitIdle(10000));
    EXPECT_LT(MsSince(t0), 10000);
    const auto errors = m_ui.Errors();
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front().first, LE_CRC);
    EXPECT_FALSE(m_com->IsOnline());

    // Storno in the middle of it ends the sequence too; the closing logout ends by the cap.
    m_ui.Clear();
    t0 = steady_clock::now();
    ASSERT_EQ(m_com->Post({CM_CONNECT, 1, 0}), 1u);
    std::this_thread::sleep_for(milliseconds(30));
    m_com->Post({CM_CANCEL, 0, 0});
    EXPECT_TRUE(m_com->WaitIdle(10000));
    EXPECT_LT(MsSince(t0), 10000);
    ASSERT_FALSE(m_ui.Errors().empty());
    EXPECT_EQ(m_ui.Errors().front().first, LE_CANCELLED);
    m_com.reset();
    stop = true;
    talker.join();
}

// The call drops while online: the next poll finds NO CARRIER, the session ends at once and
// the window learns why; the modem is released without the escape sequence.
TEST_F(EngineTest, ACallThatDropsWhileOnlineEndsTheSessionAtOnce) {
    auto lines = std::make_shared<std::vector<std::string>>();
    auto linesMutex = std::make_shared<std::mutex>();
    SimServerOptions options;
    options.log = [lines, linesMutex](const std::string& line) {
        std::lock_guard lock(*linesMutex);
        lines->push_back(line);
    };
    StartAll(true, options);
    Run({CM_CONNECT, 1, 0});
    ASSERT_TRUE(m_com->IsOnline());
    m_com->SetTimeoutScale(10); // the poll that finds the call gone waits one read time-out
    size_t before = 0;
    {
        std::lock_guard lock(*linesMutex);
        before = lines->size();
    }
    const auto t0 = steady_clock::now();
    m_sim->DropCarrier();
    ASSERT_TRUE(m_ui.WaitEvent(CE_OFFLINE, 1, 10000));
    EXPECT_LT(MsSince(t0), 3000); // the next poll, not a chain of time-outs
    EXPECT_FALSE(m_com->IsOnline());
    const auto events = m_ui.Events();
    EXPECT_EQ(events.back().code, CE_OFFLINE);
    EXPECT_EQ(events.back().arg, static_cast<intptr_t>(LE_NO_CONNECTION));
    EXPECT_TRUE(m_ui.Errors().empty()); // no error box: the status bar says it
    std::lock_guard lock(*linesMutex);
    for (size_t i = before; i < lines->size(); ++i) {
        EXPECT_EQ((*lines)[i].find("+++"), std::string::npos) << (*lines)[i];
        EXPECT_EQ((*lines)[i].find("ATH"), std::string::npos) << (*lines)[i];
    }
}

// The trace holds the login frame with the PIN: nobody but the user may read it, also when an
// older trace was readable by others.
TEST_F(EngineTest, TheTraceOfAModemSessionIsPrivate) {
    StartAll(true);
    WriteFileBytes(m_dir.File("sercom.log"), {'x'});
    ASSERT_EQ(::chmod(m_dir.File("sercom.log").c_str(), 0644), 0);
    m_profile.m_bLog = 1;
    Run({CM_READ_STATUS, 0, 0});
    struct stat st {};
    ASSERT_EQ(::stat(m_dir.File("sercom.log").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(ReadFileText(m_dir.File("sercom.log")).find("31 32 33 34"),
              std::string::npos); // the login with its PIN "1234"
}

// --- A unit that stops answering while online

// The unit goes mute: after the silence time the window learns it (with when it last
// answered), the session stays open and the polls go on (inputs only), no error is shown; the
// first answer ends it. A single missed poll before that is no silence.
TEST_F(EngineTest, ASilentUnitIsReportedAndItsFirstAnswerEndsTheSilence) {
    StartAll();
    m_com->SetTimeoutScale(10); // a poll waits 300 ms for its reply
    m_com->SetSilenceMs(1000);
    Unit().AddFault({0x26, SimFaultKind::NoAnswer, 0, 1, 1});
    Run({CM_CONNECT, 1, 0});
    ASSERT_TRUE(Unit().WaitForRequests(Unit().RequestCount() + 4, 10000)); // the miss among them
    EXPECT_FALSE(Contains(m_ui.EventCodes(), CE_NO_ANSWER));
    const int64_t mutedAt = static_cast<int64_t>(std::time(nullptr));
    Unit().SetMuted(true);
    ASSERT_TRUE(m_ui.WaitEvent(CE_NO_ANSWER, 1, 15000));
    EXPECT_TRUE(m_com->IsOnline());
    EXPECT_FALSE(m_com->IsAnswering());
    const intptr_t since = m_ui.Events().back().arg;
    EXPECT_TRUE(since >= mutedAt - 2 && since <= mutedAt + 1) << since - mutedAt;
    const size_t later = Unit().RequestCount();
    ASSERT_TRUE(Unit().WaitForRequests(later + 2, 15000));
    const Codes polls = Commands(later);
    EXPECT_EQ(polls, Codes(polls.size(), 0x26)) << "the inputs alone";

    Unit().SetMuted(false);
    ASSERT_TRUE(m_ui.WaitEvent(CE_ANSWERING, 1, 15000));
    EXPECT_TRUE(m_com->IsAnswering() && m_com->IsOnline());
    EXPECT_TRUE(m_ui.Errors().empty());
    EXPECT_EQ(m_ui.RepeatQuestions(), 0);
}

// The port vanishes under an online session (adapter pulled, far end closed): the session ends
// at once as a dropped call does, without an error box and without waiting for silence.
TEST_F(EngineTest, AVanishedDeviceEndsTheOnlineSession) {
    StartAll();
    m_com->SetTimeoutScale(10);
    Run({CM_CONNECT, 1, 0});
    m_sim->HangUp();
    ASSERT_TRUE(m_ui.WaitEvent(CE_OFFLINE, 1, 10000));
    EXPECT_FALSE(m_com->IsOnline());
    EXPECT_EQ(m_ui.Events().back().arg, static_cast<intptr_t>(LE_SERIAL));
    EXPECT_FALSE(Contains(m_ui.EventCodes(), CE_NO_ANSWER));
    EXPECT_TRUE(m_ui.Errors().empty());
}

// "Ano" after an error that broke the line starts on a new link: the port is opened anew (the
// device is back under its name), the unit identified, the operation repeated. Once after a
// hang-up in a single operation, once after a time-out while online and silent.
TEST_F(EngineTest, RepeatAfterABrokenLineReconnectsFromScratch) {
    for (const bool online : {false, true}) {
        SCOPED_TRACE(online ? "online, silent" : "hang-up");
        SimServerOptions options;
        options.linkPath = m_dir.File("tk530");
        StartAll(false, options);
        ASSERT_EQ(m_profile.SetPortPath(options.linkPath), PROFILE_OK);
        m_com->SetTimeoutScale(10);
        m_com->SetSilenceMs(500);
        if (online) {
            Run({CM_CONNECT, 1, 0});
            Unit().SetMuted(true);
            ASSERT_TRUE(m_ui.WaitEvent(CE_NO_ANSWER, 1, 15000));
        } else {
            Unit().AddFault({0x24, SimFaultKind::HangUp, 0, 1});
        }
        size_t before = 0;
        m_ui.onProgress = [&](const ProgressRecord& p) { // the line comes back meanwhile
            if (p.type != PM_ERROR)
                return;
            online ? Unit().SetMuted(false) : void(m_sim->Reopen());
            before = Unit().RequestCount();
        };
        m_ui.AnswerRepeat({true});
        Run({CM_READ_STATUS, 0, 0});
        const Codes after = Commands(before);
        ASSERT_GE(after.size(), 5u);
        EXPECT_EQ(Codes(after.begin(), after.begin() + 5), (Codes{0x20, 0x23, 0x24, 0x26, 0x30}));
        EXPECT_EQ(m_ui.Errors().size(), 1u);
        EXPECT_EQ(m_com->IsOnline(), online);
        m_ui.onProgress = nullptr;
        TearDown();
        m_ui.Clear();
    }
}
