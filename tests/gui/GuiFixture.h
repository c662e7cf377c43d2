// The fixture of the GUI tests: a program folder whose profile points at an in-process
// virtual unit on a pseudo-terminal, the program started in it with scripted prompts, and
// helpers that run the event loop until something has happened (never a fixed sleep).
//
//     TEST_F(GuiTest, Example) {
//         ASSERT_TRUE(StartApp());
//         prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_NO);
//         Action("m_pActCfgNew")->trigger();
//         EXPECT_TRUE(prompts.Done());
//     }
#pragma once

#include "app/AppUIApp.h"
#include "app/MainWnd.h"
#include "tests/gui/ScriptedPrompts.h"
#include "tests/support/TempDir.h"
#include "tools/sim/SimServer.h"

#include <QAction>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The virtual unit behind a modem instead (the unit asks for `unitPin`): the modem list,
    // one chosen connection with `pin`, and a profile for remote access.
    void UseModem(const std::string& pin, const std::string& unitPin = "1234");

    // Writes Profile.dat of the program folder: local access on the virtual unit's port,
    // changed by `change` first.
    void WriteProfile(const std::function<void(CProfile&)>& change = {});
    // Starts the program (CApp::Init); `before` may adjust it first. Init's result.
    int StartAppResult(const std::function<void(CApp&)>& before = {});
    bool StartApp(const std::function<void(CApp&)>& before = {}) {
        return StartAppResult(before) == 1;
    }
    // Ends the program as the event loop's end does (the objects are destroyed).
    void StopApp();

    CApp& App() { return *m_app; }
    CAppUI& UI() { return m_app->m_UI; }
    CTK630& Device() { return m_app->m_Device; }
    TFrmMain& Main() { return *m_app->m_UI.MainWindow(); }
    CPaneMng& Panes() { return m_app->m_UI.PaneMng(); }

    // A widget or action of the main window (its dialogs included) by objectName; null when
    // there is none.
    template <typename T>
    T* Find(const char* name) {
        return Main().findChild<T*>(QString::fromLatin1(name));
    }
    QAction* Action(const char* name);

    // Selects a node of a tab's tree as the user does: the tab, then the node.
    void SelectNode(int tab, int node);

    // Runs the event loop until `done` holds; false after timeoutMs.
    static bool WaitFor(const std::function<bool()>& done, int timeoutMs = 20000);
    // Until the queued link sequence has ended and the progress dialog has closed.
    bool WaitIdle(int timeoutMs = 20000);
    // Runs the queued calls that are waiting now.
    static void ProcessEvents();

    CSimServer& Sim() { return *m_sim; }
    CVirtualUnit& Unit() { return m_sim->Unit(); }
    // Command codes the unit received, in order.
    std::vector<uint8_t> Commands() const;

    TempDir dir;
    ScriptedPrompts prompts;

private:
    std::unique_ptr<CSimServer> m_sim;
    std::unique_ptr<CApp> m_app;
};
