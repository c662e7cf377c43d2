// Every command the program sends, under every fault the virtual unit can play: the operation
// ends with its error code naming the right command, the session is closed, nothing hangs,
// the next session works, and no file changes but by a completed operation. One row a
// command: a new command adds a row.
#include "base/ProgramFolder.h"
#include "config/Profile.h"
#include "config/TK630Cfg.h"
#include "link/Commands.h"
#include "link/ModemList.h"
#include "link/TK630Com.h"
#include "sms/SMS.h"
#include "sms/SMSMng.h"
#include "status/DevStatus.h"
#include "tests/support/RecordingUI.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

namespace {

enum class Op { ReadStatus, SetOutputs, SetTime, ReadCfg, WriteCfg, ReadSms, SendSms };

struct CommandRow {
    uint8_t command;
    Op op;
    bool modem;       // the command belongs to a modem session (the login)
    bool disconnect;  // a request of the closing disconnect: its failures are never shown
    bool storesFiles; // the store saves a message before this request (the acknowledgement)
};

const CommandRow kCommands[] = {
    {0x20, Op::ReadStatus, false, false, false}, {0x21, Op::ReadStatus, true, false, false},
    {0x22, Op::ReadStatus, false, true, false},  {0x23, Op::ReadStatus, false, false, false},
    {0x24, Op::ReadStatus, false, false, false}, {0x25, Op::SetOutputs, false, false, false},
    {0x26, Op::ReadStatus, false, false, false}, {0x27, Op::WriteCfg, false, false, false},
    {0x28, Op::ReadCfg, false, false, false},    {0x29, Op::ReadSms, false, false, false},
    {0x2A, Op::ReadSms, false, false, true},     {0x2B, Op::SendSms, false, false, false},
    {0x2C, Op::SendSms, false, false, false},    {0x30, Op::ReadStatus, false, false, false},
    {0x31, Op::SetTime, false, false, false},    {0x86, Op::ReadStatus, false, true, false},
};

enum class Fault { NoAnswer, BadChecksum, Confirm, BadEcho, Noise, HangUp, Storno, NoCarrier };

struct Case {
    CommandRow row;
    Fault fault;
};

const char* FaultName(Fault f) {
    switch (f) {
    case Fault::NoAnswer:
        return "NoAnswer";
    case Fault::BadChecksum:
        return "BadChecksum";
    case Fault::Confirm:
        return "Confirm";
    case Fault::BadEcho:
        return "BadEcho";
    case Fault::Noise:
        return "Noise";
    case Fault::HangUp:
        return "HangUp";
    case Fault::Storno:
        return "Storno";
    case Fault::NoCarrier:
        return "NoCarrier";
    }
    return "?";
}

// The error the user sees; 0 when the operation succeeds or the failure is never shown.
LinkResult Expected(const Case& c) {
    if (c.row.disconnect)
        return LE_OK; // the disconnect ignores every result
    switch (c.fault) {
    case Fault::NoAnswer:
        return LE_TIMEOUT;
    case Fault::BadChecksum:
        return LE_CRC;
    case Fault::Confirm:
        return LE_CONFIRM;
    case Fault::BadEcho:
        return LE_BAD_REPLY;
    case Fault::Noise:
        return LE_OK;
    case Fault::HangUp:
        // A local line is gone; a modem reports the end of the call in the data stream.
        return c.row.modem ? LE_NO_CONNECTION : LE_SERIAL;
    case Fault::Storno:
        return LE_CANCELLED;
    case Fault::NoCarrier:
        return LE_NO_CONNECTION;
    }
    return LE_OK;
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const CommandRow& row : kCommands) {
        for (Fault f : {Fault::NoAnswer, Fault::BadChecksum, Fault::Confirm, Fault::Noise,
                        Fault::HangUp, Fault::Storno})
            cases.push_back({row, f});
        if (row.command == CMD_READ_CFG || row.command == CMD_WRITE_CFG)
            cases.push_back({row, Fault::BadEcho});
    }
    // The call drops in the middle of a modem session, just before the operation's request.
    cases.push_back({{0x24, Op::ReadStatus, true, false, false}, Fault::NoCarrier});
    return cases;
}

// How gtest shows a case in its output.
[[maybe_unused]] void PrintTo(const Case& c, std::ostream* os) {
    char text[64];
    std::snprintf(text, sizeof text, "command %02X, %s%s", c.row.command, FaultName(c.fault),
                  c.row.modem ? ", modem" : "");
    *os << text;
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    char name[64];
    std::snprintf(name, sizeof name, "Cmd%02X_%s%s", info.param.row.command,
                  FaultName(info.param.fault), info.param.row.modem ? "_Modem" : "");
    return name;
}

// Every file under the program folder with its content.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        if (e.is_regular_file())
            files[e.path().string()] = ReadFileText(e.path().string());
    }
    return files;
}

class FaultMatrix : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override {
        tk::SetProgramFolder(m_dir.Path());
        // A short link that follows the line when a hang-up makes the unit start a new one.
        char link[] = "/tmp/tkXXXXXX";
        const int fd = ::mkstemp(link);
        ::close(fd);
        ::unlink(link);
        m_link = link;
        const Case& c = GetParam();
        SimServerOptions options;
        options.linkPath = m_link;
        options.modem = c.row.modem;
        options.modemOptions.guardMs = 50;
        options.modemOptions.connectDelayMs = 20;
        m_sim = std::make_unique<CSimServer>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        m_profile.SetPort(m_link.c_str());
        m_profile.m_nConnType = c.row.modem ? CONN_REMOTE : CONN_LOCAL;
        if (c.row.modem) {
            CModemMng modems;
            modems.Add(MakeModemInf("Virtual modem", m_link));
            ASSERT_TRUE(modems.Save());
            m_profile.m_nModem = 0;
            CConnectDscMng conns;
            CConnectDsc dsc{};
            dsc.SetNum("600100200");
            dsc.SetPIN("1234");
            conns.Add(dsc);
            conns.SetSel(0);
            ASSERT_EQ(conns.Save(), 1);
        }
        // Data the operations need: a stored message, a message to send.
        SimSms stored;
        stored.time = GetLocalTime();
        stored.number = "+420600100200";
        stored.text = "alarm";
        ASSERT_TRUE(m_sim->Unit().AddStoredSms(stored));
        CSMS toSend;
        toSend.SetNumbers("+420777888999");
        toSend.SetText("zkouška");
        ASSERT_GE(m_store.AddAndShow(toSend, SMS_TOSEND), 0);

        m_com = std::make_unique<CTK630Com>(m_profile, m_status);
        m_com->SetProgressSink(&m_ui);
        m_com->SetEventSink(&m_ui);
        m_com->SetSmsStore(&m_store);
        m_com->SetPauseMs(0);
        m_com->SetSmsPollMs(5);
        m_com->SetTimeoutScale(4);
        HayesTimeouts t;
        t.nGuardMs = 60;
        t.nDtrDropMs = 20;
        t.nDtrResultMs = 100;
        m_com->GetModems().SetTimeouts(t);
        m_ui.onSendEvent = [this](const CComEvent& ev) -> uint32_t {
            if (ev.m_nCode == CE_SMS_RECEIVED)
                return m_store.AddAndShow(*ev.m_pSms, SMS_RECEIVED) >= 0 &&
                       m_store.LastSaveError() == 0;
            if (ev.m_nCode == CE_SMS_SENT)
                return m_store.MoveAndShow(static_cast<int>(ev.m_nArg), SMS_TOSEND, SMS_SENT) >= 0;
            return 0;
        };
        ASSERT_EQ(m_com->Start(), 1u);
    }

    void TearDown() override {
        m_com.reset();
        m_sim->Stop();
        ::unlink(m_link.c_str());
    }

    CComMsg Message(Op op) {
        switch (op) {
        case Op::ReadStatus:
            return {CM_READ_STATUS, 0, 0};
        case Op::SetOutputs:
            return {CM_SET_OUTPUTS, 0x02, 0x02};
        case Op::SetTime:
            return {CM_SET_TIME, reinterpret_cast<uintptr_t>(&m_time), 0};
        case Op::ReadCfg:
            return {CM_READ_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0};
        case Op::WriteCfg:
            return {CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&m_cfg), 0};
        case Op::ReadSms:
            return {CM_READ_SMS, 0, 0};
        case Op::SendSms:
            return {CM_SEND_SMS, reinterpret_cast<uintptr_t>(m_sendIndices), 1};
        }
        return {};
    }

    TempDir m_dir;
    std::string m_link;
    std::unique_ptr<CSimServer> m_sim;
    CProfile m_profile;
    CDevStatus m_status;
    RecordingUI m_ui;
    CSMSMng m_store;
    CTK630Cfg m_cfg;
    SysTime m_time = GetLocalTime();
    int32_t m_sendIndices[1] = {0};
    std::unique_ptr<CTK630Com> m_com;
};

TEST_P(FaultMatrix, EndsWithItsErrorClosesTheSessionAndTheNextOneWorks) {
    const Case& c = GetParam();
    CVirtualUnit& unit = m_sim->Unit();
    const int cmd = c.row.command;
    switch (c.fault) {
    case Fault::NoAnswer:
        unit.AddFault({cmd, SimFaultKind::NoAnswer});
        break;
    case Fault::BadChecksum:
        unit.AddFault({cmd, SimFaultKind::BadChecksum});
        break;
    case Fault::Confirm:
        unit.AddFault({cmd, SimFaultKind::Confirm, 2});
        break;
    case Fault::BadEcho:
        unit.AddFault({cmd, SimFaultKind::BadEcho, 0});
        break;
    case Fault::Noise:
        unit.AddFault({cmd, SimFaultKind::Noise, 40});
        break;
    case Fault::HangUp:
        unit.AddFault({cmd, SimFaultKind::HangUp, 0, 1});
        break;
    case Fault::Storno:
        // The reply comes late, but well within the real time-out: only "Storno" ends it.
        m_com->SetTimeoutScale(100);
        unit.AddFault({cmd, SimFaultKind::Delay, 2000, 1});
        break;
    case Fault::NoCarrier:
        m_sim->SetHangUpAfterFrames(3); // login, type, identification
        break;
    }
    const auto before = Snapshot(m_dir.Path());
    const size_t requestsBefore = unit.RequestCount();

    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_EQ(m_com->Post(Message(c.row.op)), 1u);
    if (c.fault == Fault::Storno) {
        // "Storno" while the request waits for its reply.
        for (int i = 0; i < 500; ++i) {
            bool seen = false;
            for (const auto& r : unit.Requests())
                seen |= r.payload.size() > 1 && r.payload[1] == cmd;
            if (seen)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_com->Post({CM_CANCEL, 0, 0});
    }
    ASSERT_TRUE(m_com->WaitIdle(60000)) << "the sequence hangs";
    const auto seconds =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0)
            .count();
    EXPECT_LT(seconds, 30); // a few shortened time-outs at most

    const LinkResult expected = Expected(c);
    const auto errors = m_ui.Errors();
    if (expected == LE_OK) {
        EXPECT_TRUE(errors.empty()) << "error " << (errors.empty() ? 0 : errors[0].first);
    } else {
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_EQ(errors[0].first, expected);
        EXPECT_EQ(errors[0].second, c.fault == Fault::NoCarrier ? 0x24u : uint32_t(cmd))
            << "the message names the failing command";
    }
    EXPECT_FALSE(m_com->IsOnline());

    // The session was closed: a logout was attempted after the failure (unless the line was
    // gone), and on a local port the end of the session too.
    std::vector<uint8_t> sent;
    auto takeSent = [&] {
        sent.clear();
        const auto requests = unit.Requests();
        for (size_t i = requestsBefore; i < requests.size(); ++i)
            sent.push_back(requests[i].payload[1]);
    };
    takeSent();
    // After a late reply the program may have taken that reply for the last request's and
    // closed the port before the unit got round to reading it: give the unit a moment.
    for (int i = 0; i < 300 && !c.row.modem && (sent.empty() || sent.back() != CMD_LOCAL_END);
         ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        takeSent();
    }
    if (c.fault != Fault::HangUp && c.fault != Fault::NoCarrier) {
        ASSERT_FALSE(sent.empty());
        const auto logout = std::find(sent.begin(), sent.end(), CMD_LOGOUT);
        EXPECT_NE(logout, sent.end());
        if (!c.row.modem) {
            EXPECT_EQ(sent.back(), CMD_LOCAL_END);
        }
    }

    // Nothing but a completed operation changes a file.
    auto after = Snapshot(m_dir.Path());
    if (expected == LE_OK || c.row.storesFiles) {
        // Completed (or a message already stored before the failing acknowledgement): the
        // store, the backups and the like may change; nothing else does.
    } else {
        EXPECT_EQ(after, before) << "a failed operation changed a file";
    }

    // The port (and the modem) were released: the next session works.
    unit.ClearFaults();
    if (c.fault == Fault::NoCarrier)
        m_sim->SetHangUpAfterFrames(0);
    if (m_sim->IsHungUp()) {
        ASSERT_TRUE(m_sim->Reopen());
    }
    m_ui.Clear();
    ASSERT_EQ(m_com->Post({CM_READ_STATUS, 0, 0}), 1u);
    ASSERT_TRUE(m_com->WaitIdle(60000));
    EXPECT_TRUE(m_ui.Errors().empty())
        << "the next session failed with " << (m_ui.Errors().empty() ? 0 : m_ui.Errors()[0].first);
}

INSTANTIATE_TEST_SUITE_P(EveryCommandEveryFault, FaultMatrix, ::testing::ValuesIn(AllCases()),
                         CaseName);

} // namespace
