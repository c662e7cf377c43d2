#include "tests/gui/GuiFixture.h"

#include "base/ProgramFolder.h"
#include "link/DlgCom.h"
#include "link/ModemList.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QThread>
#include <QTreeWidget>

void GuiTest::SetUp() {
    tk::SetProgramFolder(dir.Path());
    m_sim = std::make_unique<CSimServer>();
    ASSERT_TRUE(m_sim->Start());
    WriteProfile();
}

void GuiTest::UseModem(const std::string& pin, const std::string& unitPin) {
    m_sim->Stop();
    SimServerOptions options;
    options.modem = true;
    options.modemOptions.guardMs = 50;
    options.modemOptions.connectDelayMs = 50;
    m_sim = std::make_unique<CSimServer>(options);
    ASSERT_TRUE(m_sim->Start());
    m_sim->Unit().SetPin(unitPin);
    CModemMng modems;
    ASSERT_GE(modems.Add(MakeModemInf("Virtual modem", m_sim->SlavePath())), 0);
    ASSERT_TRUE(modems.Save());
    CConnectDscMng connections;
    CConnectDsc dsc{};
    dsc.SetNum("123456789");
    dsc.SetPIN(pin.c_str());
    connections.Add(dsc);
    connections.SetSel(0);
    ASSERT_EQ(connections.Save(), 1);
    WriteProfile([](CProfile& p) {
        p.m_nConnType = CONN_REMOTE;
        p.m_nModem = 0;
    });
}

std::vector<uint8_t> GuiTest::Commands() const {
    std::vector<uint8_t> codes;
    for (const auto& request : m_sim->Unit().Requests())
        codes.push_back(request.payload.size() > 1 ? request.payload[1] : 0);
    return codes;
}

void GuiTest::TearDown() {
    StopApp();
    if (m_sim)
        m_sim->Stop();
    EXPECT_TRUE(prompts.Done());
}

void GuiTest::WriteProfile(const std::function<void(CProfile&)>& change) {
    CProfile profile;
    profile.SetDefaults();
    profile.SetPort(m_sim->SlavePath().c_str());
    if (change)
        change(profile);
    ASSERT_EQ(profile.Save(), PROFILE_OK);
}

int GuiTest::StartAppResult(const std::function<void(CApp&)>& before) {
    m_app = std::make_unique<CApp>(&prompts);
    m_app->m_Device.m_Com.SetPauseMs(0);
    m_app->m_Device.m_Com.SetSmsPollMs(5);
    HayesTimeouts t; // a quick modem, as the virtual one is
    t.nGuardMs = 60;
    t.nDtrDropMs = 20;
    t.nDtrResultMs = 100;
    t.nAtReplyMs = 300;
    m_app->m_Device.m_Com.GetModems().SetTimeouts(t);
    if (before)
        before(*m_app);
    return m_app->Init();
}

void GuiTest::StopApp() {
    if (m_app) {
        ProcessEvents();
        m_app.reset();
    }
}

QAction* GuiTest::Action(const char* name) {
    QAction* action = Find<QAction>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
}

void GuiTest::SelectNode(int tab, int node) {
    Find<QTabWidget>("m_pPgCtlP1")->setCurrentIndex(tab);
    QTreeWidget* tree = Main().Tree(tab);
    int i = 0;
    for (QTreeWidgetItemIterator it(tree); *it; ++it, ++i) {
        if (i == node) {
            tree->setCurrentItem(*it);
            return;
        }
    }
    ADD_FAILURE() << "no node " << node << " in tab " << tab;
}

void GuiTest::ProcessEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool GuiTest::WaitFor(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

bool GuiTest::WaitIdle(int timeoutMs) {
    const bool idle = WaitFor(
        [this] {
            const TFrmCom* com = UI().ComDialog();
            return !Device().m_Com.IsBusy() && !(com && com->isVisible());
        },
        timeoutMs);
    ProcessEvents();
    return idle && !(UI().ComDialog() && UI().ComDialog()->isVisible());
}
