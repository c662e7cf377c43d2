// The main window without a session: title and configuration files, the trees and the panes
// they select, the status bar, the SMS actions' enabling, the about box, a failed start.
#include "tests/gui/GuiFixture.h"

#include "app/DlgAbout.h"
#include "app/PaneFrame.h"
#include "sms/SMS.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

namespace {

std::string Title(TFrmMain& main) {
    return main.windowTitle().toStdString();
}

const QWidget* Frame(CPaneMng& panes, int id) {
    auto* pane = dynamic_cast<CFramePane*>(panes.GetPane(id));
    return pane ? pane->Frame() : nullptr;
}

int VisibleFrames(CPaneMng& panes) {
    int visible = 0;
    for (int id = 0; id < PANE_COUNT; ++id)
        visible += Frame(panes, id)->isVisible() ? 1 : 0;
    return visible;
}

} // namespace

TEST_F(GuiTest, TitleNamesTheFileAndOnlyEditsAddTheAsterisk) {
    ASSERT_TRUE(StartApp());
    // Filling the panes (each first showing loads its frame) changes nothing.
    for (int node = 0; node < PaneMapSize(TAB_CFG); ++node)
        SelectNode(TAB_CFG, node);
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (bezejmenná)");
    EXPECT_FALSE(Device().m_Cfg.IsModified());
    Panes().GetPane(PANE_SIM)->OnDataChange();
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (bezejmenná*)");

    prompts.ExpectSaveFile(dir.File("site.cfg"));
    Action("m_pActCfgSave")->trigger();
    EXPECT_EQ(ReadFileBytes(dir.File("site.cfg")).size(), 1667u);
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (site.cfg)");
    EXPECT_EQ(prompts.Shown().back().caption,
              "Soubory konfigurace (*.cfg)|*.cfg|Všechny soubory|*.*");

    Panes().GetPane(PANE_SIM)->OnDataChange();
    prompts.ExpectAsk("Konfigurace byla změněna, chcete změny uložit?", PROMPT_NO);
    Action("m_pActCfgNew")->trigger();
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (bezejmenná)");

    prompts.ExpectOpenFile(dir.File("site.cfg"));
    Action("m_pActCfgOpen")->trigger();
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (site.cfg)");

    WriteFileBytes(dir.File("bad.cfg"), {2, 0, 0, 0});
    prompts.ExpectOpenFile(dir.File("bad.cfg"));
    prompts.ExpectError("Došlo k chybě při načítání konfigurace ze souboru.");
    Action("m_pActCfgOpen")->trigger();
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (site.cfg)");
}

TEST_F(GuiTest, TreesSelectThePaneOfTheActiveTabsNode) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_CFG, 8); // "Alarmy": a category, the right side stays empty
    EXPECT_EQ(Panes().GetCur(), PANE_NONE);
    EXPECT_EQ(VisibleFrames(Panes()), 0);
    SelectNode(TAB_CFG, 12); // "Alarm4": the alarm pane for alarm 3
    EXPECT_EQ(Panes().GetCur(), PANE_ALARM);
    EXPECT_EQ(Panes().GetPane(PANE_ALARM)->m_nParam, 3);
    EXPECT_TRUE(Frame(Panes(), PANE_ALARM)->isVisible());

    SelectNode(TAB_STATE, 1);
    EXPECT_EQ(Panes().GetCur(), PANE_GSM);
    EXPECT_EQ(VisibleFrames(Panes()), 1);
    // The program moves the configuration tree while the state tab is active: no change.
    QTreeWidget* cfgTree = Main().Tree(TAB_CFG);
    cfgTree->setCurrentItem(cfgTree->topLevelItem(1)); // "SIM karta"
    EXPECT_EQ(Panes().GetCur(), PANE_GSM);
    // Back on Konfigurace the configuration tree's node decides again.
    Find<QTabWidget>("m_pPgCtlP1")->setCurrentIndex(TAB_CFG);
    EXPECT_EQ(Panes().GetCur(), PANE_SIM);
    EXPECT_FALSE(Frame(Panes(), PANE_GSM)->isVisible());

    SelectNode(TAB_TOOLS, 4); // "K odeslání"
    EXPECT_EQ(Panes().GetCur(), PANE_SMSLIST);
    EXPECT_EQ(Panes().GetPane(PANE_SMSLIST)->m_nParam, 2);
    EXPECT_EQ(Main().Tree(TAB_TOOLS)->topLevelItem(0)->child(1)->text(0).toStdString(),
              "Přijaté (0)");
}

TEST_F(GuiTest, WindowSizesComeFromTheProfileAndTheStatusPanelFollowsTheWidth) {
    WriteProfile([](CProfile& p) {
        p.m_nWidth = 900;
        p.m_nHeight = 600;
        p.m_nPgCtlWidth = 260;
    });
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(Main().size(), QSize(900, 600));
    EXPECT_EQ(Find<QSplitter>("m_pSpltMain")->sizes().value(0), 260);
    Main().resize(400, 300);
    EXPECT_TRUE(WaitFor([this] { return Main().width() == 400; }, 5000));
    EXPECT_EQ(Main().StatusPanel(0)->width(), 300);
    EXPECT_EQ(Main().StatusPanel(1)->width(), 50);
}

TEST_F(GuiTest, SmsActionsFollowTheAccessModeAndTheLists) {
    CSMS sms;
    sms.SetNumbers("+420600100200");
    sms.SetText("ahoj");
    for (const int32_t connType : {CONN_LOCAL, CONN_REMOTE}) {
        SCOPED_TRACE(connType);
        WriteProfile([connType](CProfile& p) { p.m_nConnType = connType; });
        ASSERT_TRUE(StartApp());
        const bool direct = connType == CONN_LOCAL;
        EXPECT_EQ(Action("m_pActSMSRead")->isEnabled(), direct);
        EXPECT_FALSE(Action("m_pActSMSSendAll")->isEnabled()); // nothing to send
        ASSERT_GE(Device().m_SMS.AddAndShow(sms, SMS_TOSEND), 0);
        SelectNode(TAB_TOOLS, 4);
        Main().UpdateActions();
        EXPECT_EQ(Action("m_pActSMSSendAll")->isEnabled(), direct);
        EXPECT_FALSE(Action("m_pActSMSSendSel")->isEnabled()); // no row selected
        EXPECT_EQ(Main().Tree(TAB_TOOLS)->topLevelItem(0)->child(3)->text(0).toStdString(),
                  "K odeslání (1)");
        StopApp();
        std::remove(CSMSMng::FilePath().c_str());
    }
}

TEST_F(GuiTest, AboutShowsTheBuildsVersionAndOkClosesIt) {
    ASSERT_TRUE(StartApp());
    std::string version, name, folder;
    bool selectable = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* about = qobject_cast<TFrmAbout*>(QApplication::activeModalWidget());
        if (!about)
            return;
        name = about->findChild<QLabel*>("m_pLblInfo1")->text().toStdString();
        version = about->findChild<QLabel*>("m_pLblInfo2")->text().toStdString();
        const auto* label = about->findChild<QLabel*>("m_pLblFolder");
        folder = label->text().toStdString();
        selectable = label->textInteractionFlags().testFlag(Qt::TextSelectableByMouse);
        about->findChild<QPushButton*>("m_pBtnOk")->click();
    });
    poll.start(10);
    Action("m_pMniAbout")->trigger(); // returns when the box is closed
    EXPECT_EQ(name, "TK530 Control Panel");
    EXPECT_EQ(version, "Verze " TK530_VERSION);
    EXPECT_EQ(folder, "Složka programu: " + dir.Path() + " (zvolená)"); // the tests' own
    EXPECT_TRUE(selectable);
    EXPECT_TRUE(Main().isVisible());

    // How the folder was found, and why the user's data folder is missing.
    tk::ProgramFolderInfo info;
    info.path = "/media/usb/tk530";
    info.portable = true;
    EXPECT_EQ(ProgramFolderText(info).toStdString(),
              "Složka programu: /media/usb/tk530 (u programu, přenosná)");
    info = {};
    info.path = "/home/novak/.local/share/tk530";
    info.error = "/home/novak/.local/share/tk530: Permission denied";
    EXPECT_EQ(ProgramFolderText(info).toStdString(),
              "Složka programu: /home/novak/.local/share/tk530 (složka dat uživatele)\n"
              "Složku nelze vytvořit: /home/novak/.local/share/tk530: Permission denied");
}

TEST_F(GuiTest, AnEngineThatCannotStartShowsTheCodeAndNoWindow) {
    prompts.ExpectError("Došlo k chybě při inicializaci: 128");
    EXPECT_EQ(StartAppResult([](CApp& app) { app.m_startDevice = [] { return 128u; }; }), 128);
    EXPECT_EQ(UI().MainWindow(), nullptr);
    EXPECT_EQ(prompts.Shown().size(), 1u);
    EXPECT_EQ(prompts.Shown()[0].text, "Došlo k chybě při inicializaci: 128");
    EXPECT_EQ(prompts.Shown()[0].caption, "TK530 Control Panel");
}
