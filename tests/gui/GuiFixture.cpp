#include "tests/gui/GuiFixture.h"

#include "base/ProgramFolder.h"
#include "link/DlgCom.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QThread>
#include <QTreeWidget>

void GuiTest::SetUp() {
    tk::SetProgramFolder(dir.Path());
    ASSERT_TRUE(sim.Start());
    WriteProfile();
}

void GuiTest::TearDown() {
    StopApp();
    sim.Stop();
    EXPECT_TRUE(prompts.Done());
}

void GuiTest::WriteProfile(const std::function<void(CProfile&)>& change) {
    CProfile profile;
    profile.SetDefaults();
    profile.SetPort(sim.SlavePath().c_str());
    if (change)
        change(profile);
    ASSERT_EQ(profile.Save(), PROFILE_OK);
}

int GuiTest::StartAppResult(const std::function<void(CApp&)>& before) {
    m_app = std::make_unique<CApp>(&prompts);
    m_app->m_Device.m_Com.SetPauseMs(0);
    m_app->m_Device.m_Com.SetSmsPollMs(5);
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
