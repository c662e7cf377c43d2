// The link engine against the virtual unit on a real pseudo-terminal, with a recording user
// interface: what the engine sends, shows and reports is checked from both ends.
#pragma once

#include "base/ProgramFolder.h"
#include "base/Texts.h"
#include "config/Profile.h"
#include "link/Commands.h"
#include "link/ModemList.h"
#include "link/TK630Com.h"
#include "status/DevStatus.h"
#include "tests/support/RecordingUI.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class EngineTest : public ::testing::Test {
protected:
    // Starts the virtual unit (a modem in front when `modem`) and the engine on it.
    void StartAll(bool modem = false, SimServerOptions options = {}) {
        tk::SetProgramFolder(m_dir.Path());
        options.modem = modem;
        options.modemOptions.guardMs = 50;
        options.modemOptions.connectDelayMs =
            std::min<uint32_t>(options.modemOptions.connectDelayMs, 50);
        if (modem && m_longDial)
            options.modemOptions.connectDelayMs = 60000;
        m_sim = std::make_unique<CSimServer>(options);
        std::string error;
        ASSERT_TRUE(m_sim->Start(&error)) << error;
        m_profile.m_nConnType = modem ? CONN_REMOTE : CONN_LOCAL;
        m_profile.SetPort(m_sim->SlavePath().c_str());
        if (modem) {
            CModemMng modems;
            ASSERT_GE(modems.Add(MakeModemInf("Virtual modem", m_sim->SlavePath())), 0);
            ASSERT_TRUE(modems.Save());
            m_profile.m_nModem = 0;
            CConnectDscMng conns;
            CConnectDsc dsc{};
            dsc.SetNum("123456789");
            dsc.SetPIN(m_pin.c_str());
            conns.Add(dsc);
            conns.SetSel(0);
            ASSERT_EQ(conns.Save(), 1);
        }
        m_com = std::make_unique<CTK630Com>(m_profile, m_status);
        m_com->SetProgressSink(&m_ui);
        m_com->SetEventSink(&m_ui);
        m_com->SetPauseMs(0);
        m_com->SetSmsPollMs(5);
        HayesTimeouts t;
        t.nGuardMs = 60;
        t.nDtrDropMs = 20;
        t.nDtrResultMs = 100;
        t.nAtReplyMs = 300;
        m_com->GetModems().SetTimeouts(t);
        ASSERT_EQ(m_com->Start(), 1u);
    }

    void TearDown() override {
        m_com.reset();
        if (m_sim)
            m_sim->Stop();
    }

    // Posts a command and waits until its whole sequence has ended.
    void Run(const CComMsg& msg) {
        ASSERT_EQ(m_com->Post(msg), 1u);
        ASSERT_TRUE(m_com->WaitIdle(30000)) << "the sequence did not end";
    }

    CVirtualUnit& Unit() { return m_sim->Unit(); }

    // Command codes the unit received, in order, from request `from` on.
    std::vector<uint8_t> Commands(size_t from = 0) const {
        std::vector<uint8_t> codes;
        const auto requests = m_sim->Unit().Requests();
        for (size_t i = from; i < requests.size(); ++i)
            codes.push_back(requests[i].payload.size() > 1 ? requests[i].payload[1] : 0);
        return codes;
    }

    TempDir m_dir;
    CProfile m_profile;
    CDevStatus m_status;
    RecordingUI m_ui;
    std::unique_ptr<CSimServer> m_sim;
    std::unique_ptr<CTK630Com> m_com;
    std::string m_pin = "1234";
    bool m_longDial = false;
};

using Codes = std::vector<uint8_t>;
