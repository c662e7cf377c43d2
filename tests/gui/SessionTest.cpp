// The window program talking to the virtual unit: online and offline, the progress dialog,
// the close query with and without a session, errors and the repeat question, the PIN
// correction, and the events that bring status and SMS.
#include "tests/gui/GuiFixture.h"

#include "app/PaneFrame.h"
#include "base/ProgramFolder.h"
#include "config/CfgBackup.h"
#include "config/CfgCatalogue.h"
#include "config/CfgWriteTexts.h"
#include "config/DlgCfgCompare.h"
#include "connections/DlgConnectItem.h"
#include "link/CfgBlocks.h"
#include "link/Commands.h"
#include "link/DlgCom.h"
#include "link/DlgRemCon.h"
#include "sms/SMS.h"
#include "status/PaneStale.h"
#include "tools/sim/SimState.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace {

constexpr uint8_t kLogout = 0x22;
constexpr uint8_t kReadConfig = 0x28;
constexpr uint8_t kWriteConfig = CMD_WRITE_CFG;

// What the progress dialog showed after each message: caption and whether Storno was enabled.
struct Shown {
    std::string caption;
    bool cancel;
};

} // namespace

class GuiSessionTest : public GuiTest {
protected:
    // The unit's configuration memory holding the defaults but for the PIN.
    static std::vector<uint8_t> DefaultsWithPin(const char* pin) {
        CfgImage unit;
        SetDefaults(unit);
        std::strcpy(unit.m_szPIN, pin);
        std::vector<uint8_t> memory(CFG_DEVICE_SIZE);
        ImageToDevice(memory.data(), unit);
        return memory;
    }
    void GoOnline() {
        Action("m_pActOnline")->trigger();
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(Device().m_Com.IsOnline());
    }
    // Records the progress dialog's caption and button after each message.
    void WatchProgress() {
        TFrmCom* com = UI().ComDialog();
        QObject::connect(com, &TFrmCom::progressHandled, [this, com] {
            shown.push_back({com->findChild<QLabel*>("m_pLblCaption")->text().toStdString(),
                             com->findChild<QPushButton*>("m_pBtnCancel")->isEnabled()});
        });
    }
    std::string Panel() { return Main().StatusPanel(1)->text().toStdString(); }

    std::vector<Shown> shown;
};

TEST_F(GuiSessionTest, OnlineAndOfflineSwapTheActionsAndStornoIsOffDuringTheDisconnect) {
    ASSERT_TRUE(StartApp());
    WatchProgress();
    GoOnline();
    EXPECT_EQ(Panel(), "online");
    EXPECT_FALSE(Action("m_pActOnline")->isEnabled());
    EXPECT_TRUE(Action("m_pActOffline")->isEnabled());
    EXPECT_FALSE(UI().ComDialog()->isVisible());

    Action("m_pActOffline")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Panel(), "offline");
    EXPECT_TRUE(Action("m_pActOnline")->isEnabled());
    EXPECT_FALSE(Action("m_pActOffline")->isEnabled());
    const auto disconnect = std::find_if(shown.begin(), shown.end(), [](const Shown& s) {
        return s.caption == "Odpojení TK530 od PC.";
    });
    ASSERT_NE(disconnect, shown.end());
    EXPECT_FALSE(disconnect->cancel);
    EXPECT_EQ(shown.back().caption, "Zadávání komunikačního příkazu, prosím čekejte.");
    EXPECT_EQ(Commands().back(), 0x86); // the local session's end
}

TEST_F(GuiSessionTest, ProgressBarClampsAndErrorsCarryTheCommandCode) {
    ASSERT_TRUE(StartApp());
    TFrmCom* com = UI().ComDialog();
    auto* bar = com->findChild<QProgressBar*>("m_pPrbCom");
    auto* cancel = com->findChild<QPushButton*>("m_pBtnCancel");
    auto post = [com](uint32_t type, uint32_t value, uint32_t value2 = 0, bool storno = false) {
        CComNotifyMsg msg;
        msg.m_nType = type;
        msg.m_nValue = value;
        msg.m_nValue2 = value2;
        msg.m_bCancel = storno ? 1 : 0;
        msg.m_bDone = false;
        com->PostProgress(&msg);
        EXPECT_TRUE(msg.m_bDone);
    };
    com->Begin();
    post(PM_BEGIN, TXT_CAP_READ_CFG, 2, true);
    EXPECT_TRUE(com->isVisible());
    EXPECT_EQ(bar->maximum(), 2);
    EXPECT_TRUE(cancel->isEnabled());
    post(PM_STEP, 1);
    post(PM_STEP, 5); // a step past full stays full
    EXPECT_EQ(bar->value(), 2);
    post(PM_POSITION, 1);
    EXPECT_EQ(bar->value(), 1);
    post(PM_POSITION, 3);
    EXPECT_EQ(bar->value(), 2);
    post(PM_CAPTION, TXT_CAP_DISCONNECT);
    EXPECT_FALSE(cancel->isEnabled());

    struct ErrorCase {
        uint32_t error, command;
        const char* text;
    };
    const ErrorCase errors[] = {
        {3, 0x24, "Vypršel komunikační timeout. EC: 0024"},
        {2, 0, "Nepodařilo se otevřít komunikační port."},
    };
    for (const ErrorCase& e : errors) {
        prompts.ExpectError(e.text);
        CComNotifyMsg msg;
        msg.m_nType = PM_ERROR;
        msg.m_nValue = e.error;
        msg.m_nValue2 = e.command;
        auto reply = std::make_shared<CComReply>(0);
        com->SendProgress(msg, reply);
        EXPECT_FALSE(reply->IsOpen()); // answered: the worker goes on
        EXPECT_EQ(prompts.Shown().back().text, e.text);
        EXPECT_EQ(prompts.Shown().back().caption, "Komunikace s TK530");
    }

    post(PM_END, 0);
    EXPECT_FALSE(com->isVisible());
    EXPECT_EQ(bar->value(), 0);
    EXPECT_EQ(com->findChild<QLabel*>("m_pLblCaption")->text().toStdString(),
              "Zadávání komunikačního příkazu, prosím čekejte.");
}

TEST_F(GuiSessionTest, ClosingOfflineClosesAtOnceAndWritesTheProfile) {
    ASSERT_TRUE(StartApp());
    std::remove(tk::ProgramFile("Profile.dat").c_str());
    EXPECT_TRUE(Main().close());
    EXPECT_FALSE(Main().isVisible());
    EXPECT_EQ(ReadFileBytes(tk::ProgramFile("Profile.dat")).size(), PROFILE_FILE_SIZE);
}

TEST_F(GuiSessionTest, ClosingOnlineDisconnectsAndThenClosesWithoutASecondPrompt) {
    ASSERT_TRUE(StartApp());
    GoOnline();
    Panes().GetPane(PANE_SIM)->OnDataChange();
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_NO); // once only
    EXPECT_FALSE(Main().close());
    EXPECT_TRUE(Main().isVisible());
    ASSERT_TRUE(WaitFor([this] { return !Main().isVisible(); }));
    EXPECT_FALSE(Device().m_Com.IsOnline());
    EXPECT_EQ(Commands().back(), 0x86);
    EXPECT_TRUE(FileExists(tk::ProgramFile("Profile.dat")));
}

TEST_F(GuiSessionTest, AWindowCloseDuringAShortOperationClosesOnceItHasEnded) {
    ASSERT_TRUE(StartApp());
    GoOnline();
    TFrmCom* com = UI().ComDialog();
    // The window system's close request reaches the dialog that has the focus (Alt+F4) while
    // it shows the first progress; the platform window delivers it as the window system's own.
    bool asked = false;
    QObject::connect(com, &TFrmCom::progressHandled, com, [com, &asked] {
        if (asked || !com->isVisible())
            return;
        asked = true;
        com->windowHandle()->close();
        EXPECT_TRUE(com->isVisible()); // the operation is not broken off
    });
    Action("m_pActReadStatus")->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Main().isVisible(); }));
    EXPECT_TRUE(asked);
    EXPECT_FALSE(Device().m_Com.IsOnline());
    EXPECT_EQ(Commands().back(), 0x86);
}

TEST_F(GuiSessionTest, CancelAtTheSavePromptKeepsTheSessionAndAsksAgainNextTime) {
    ASSERT_TRUE(StartApp());
    GoOnline();
    Panes().GetPane(PANE_SIM)->OnDataChange();
    const size_t requests = Commands().size();
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_CANCEL);
    EXPECT_FALSE(Main().close());
    ProcessEvents();
    EXPECT_TRUE(Main().isVisible());
    EXPECT_TRUE(Device().m_Com.IsOnline());
    const auto after = Commands();
    EXPECT_EQ(std::count(after.begin() + static_cast<long>(requests), after.end(), kLogout), 0);
    EXPECT_TRUE(prompts.Done());

    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_NO);
    Main().close();
    ASSERT_TRUE(WaitFor([this] { return !Main().isVisible(); }));
}

TEST_F(GuiSessionTest, KonecGoesThroughTheSavePromptAndClosesTheSession) {
    ASSERT_TRUE(StartApp());
    GoOnline();
    Panes().GetPane(PANE_SIM)->OnDataChange();
    // Yes, then the save dialog is cancelled: the changes would be lost, so nothing closes.
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_YES).ExpectSaveFile("");
    Action("m_pMniExit")->trigger();
    ProcessEvents();
    EXPECT_TRUE(Main().isVisible());
    EXPECT_TRUE(Device().m_Com.IsOnline());
    EXPECT_TRUE(prompts.Done());

    std::remove(tk::ProgramFile("Profile.dat").c_str());
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_YES).ExpectSaveFile(dir.File("k.cfg"));
    Action("m_pMniExit")->trigger();
    ASSERT_TRUE(WaitFor([this] { return !Main().isVisible(); }));
    EXPECT_EQ(ReadFileBytes(dir.File("k.cfg")).size(), 1667u);
    EXPECT_TRUE(FileExists(tk::ProgramFile("Profile.dat")));
    EXPECT_FALSE(Device().m_Com.IsOnline());
    const auto codes = Commands();
    EXPECT_EQ(std::count(codes.begin(), codes.end(), kLogout), 1);
}

TEST_F(GuiSessionTest, AReadThatTimesOutShowsTheErrorAsksAndStillDisconnects) {
    Unit().AddFault({kReadConfig, SimFaultKind::NoAnswer});
    ASSERT_TRUE(StartApp([](CApp& app) { app.m_Device.m_Com.SetTimeoutScale(5); }));
    const CfgImage before = *Device().m_Cfg.GetImage();
    prompts.ExpectError("Vypršel komunikační timeout. EC: 0028")
        .ExpectAsk("Došlo ke komunikační chybě. Opakovat komunikaci?", PROMPT_NO);
    Action("m_pActCfgRead")->trigger();
    ASSERT_TRUE(WaitIdle(30000));
    EXPECT_EQ(prompts.Shown().size(), 2u);
    const auto codes = Commands();
    const auto read = std::find(codes.begin(), codes.end(), kReadConfig);
    ASSERT_NE(read, codes.end());
    EXPECT_NE(std::find(read, codes.end(), kLogout), codes.end());
    EXPECT_EQ(Panel(), "offline");
    EXPECT_EQ(std::memcmp(&before, Device().m_Cfg.GetImage(), sizeof before), 0);
}

// A connect to an adapter that is not plugged in: the error box says which device is missing,
// below the link's own text. The port is a by-id path longer than the profile's field.
TEST_F(GuiSessionTest, AConnectToAMissingDeviceNamesItInTheErrorBox) {
    ASSERT_TRUE(StartApp());
    const std::string missing = tk::ProgramFile("by-id/usb-FTDI_FT232R_USB_UART_A50285BI-port0");
    ASSERT_EQ(App().m_Profile.SetPortPath(missing), PROFILE_OK);
    prompts.ExpectError("Nepodařilo se otevřít komunikační port.\nZařízení " + missing +
                        " neexistuje: zkontrolujte, že je kabel připojen, a vyberte port znovu.");
    Action("m_pActOnline")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(Device().m_Com.IsOnline());
    EXPECT_TRUE(prompts.Done());
}

TEST_F(GuiSessionTest, AConfigurationReadReplacesTheImageAndKeepsTheTitle) {
    ASSERT_TRUE(StartApp());
    prompts.ExpectSaveFile(dir.File("old.cfg"));
    Action("m_pActCfgSaveAs")->trigger();
    std::vector<uint8_t> memory = Unit().ConfigMemory();
    SelectNode(TAB_CFG, 4); // a configuration pane is shown: it reloads at once
    SelectNode(TAB_STATE, 0);
    Action("m_pActCfgRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Main().windowTitle().toStdString(), "TK530 Control Panel (old.cfg)");
    EXPECT_FALSE(Panes().GetPane(PANE_DEVID)->m_bStale); // shown: reloaded at once
    EXPECT_TRUE(Panes().GetPane(PANE_SIM)->m_bStale);    // hidden: when next shown
    uint8_t device[1665];
    ImageToDevice(device, *Device().m_Cfg.GetImage());
    ASSERT_EQ(memory.size(), sizeof device);
    EXPECT_EQ(std::memcmp(device, memory.data(), sizeof device), 0);
}

// Ctrl+W after Ctrl+N: the unit's configuration is read and kept first, the question lists
// what would change and says that the defaults nobody chose would go in; Storno writes nothing.
TEST_F(GuiSessionTest, AWriteAsksWithTheChangesKeepsWhatTheUnitHadAndStornoWritesNothing) {
    const std::vector<uint8_t> memory = DefaultsWithPin("5555");
    ASSERT_TRUE(Unit().SetConfigMemory(memory));
    ASSERT_TRUE(StartApp());
    auto writes = [this] {
        const auto codes = Commands();
        return std::count(codes.begin(), codes.end(), kWriteConfig);
    };
    const std::string question =
        "Zapsat do jednotky TK530 virtual unit (výrobní číslo 00012345) tyto změny?";

    prompts.ExpectWriteChanges(question, PROMPT_CANCEL);
    Action("m_pActCfgWrite")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(prompts.Done());
    EXPECT_EQ(writes(), 0);
    EXPECT_EQ(Unit().ConfigMemory(), memory);
    const PromptRecord& asked = prompts.Shown().back();
    EXPECT_EQ(asked.caption, kCfgBlankWriteNote);
    EXPECT_EQ(asked.changes, std::vector<std::string>{"sim.pin: 5555 -> 7093"});
    const auto backups = ListConfigBackups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(backups[0].beforeWrite);
    CTK630Cfg kept;
    ASSERT_EQ(kept.LoadFile(backups[0].path), 1);
    EXPECT_STREQ(kept.GetImage()->m_szPIN, "5555");
    EXPECT_TRUE(Main().StatusPanel(0)->text().isEmpty());

    // Edited, it is no longer a blank configuration; Zapsat writes and says so.
    std::strcpy(Device().m_Cfg.GetImage()->m_szPIN, "4321");
    Device().m_Cfg.SetModified();
    prompts.ExpectWriteChanges(question, PROMPT_YES);
    Action("m_pActCfgWrite")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(prompts.Done());
    EXPECT_EQ(prompts.Shown().back().caption, "");
    std::vector<uint8_t> written(CFG_DEVICE_SIZE);
    ImageToDevice(written.data(), *Device().m_Cfg.GetImage());
    EXPECT_EQ(Unit().ConfigMemory(), written);
    EXPECT_EQ(Main().StatusPanel(0)->text().toStdString(),
              "Konfigurace zapsána do jednotky TK530 virtual unit (výrobní číslo 00012345), "
              "počet změn: 1.");
    EXPECT_EQ(ListConfigBackups().size(), 2u);

    // The unit holds it already: said, and nothing written.
    const auto before = writes();
    prompts.ExpectInfo("už má tuto konfiguraci. Nic nebylo zapsáno.");
    Action("m_pActCfgWrite")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(prompts.Done());
    EXPECT_EQ(writes(), before);

    // Without the read (the communication settings' switch) a plain question, no backup.
    UI().Profile().m_bReadBeforeWrite = false;
    Device().m_Cfg.GetImage()->m_nTone = 4;
    prompts.ExpectAsk(kCfgPlainWriteQuestion, PROMPT_NO);
    Action("m_pActCfgWrite")->trigger();
    EXPECT_FALSE(Device().m_Com.IsBusy()); // nothing was queued
    prompts.ExpectAsk(kCfgPlainWriteQuestion, PROMPT_YES);
    Action("m_pActCfgWrite")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(prompts.Done());
    EXPECT_EQ(writes(), before + static_cast<ptrdiff_t>(SplitIntoBlocks(CFG_DEVICE_SIZE).size()));
    EXPECT_EQ(Unit().ConfigMemory()[6 + 0x586], 4);
    EXPECT_EQ(ListConfigBackups().size(), 3u); // the read of the previous write only
}

// The question itself: Storno is the default and has the focus, Zapsat accepts, a row opens
// no pane, and the note stands in bold above the list.
TEST_F(GuiSessionTest, TheWriteQuestionDefaultsToStorno) {
    ASSERT_TRUE(StartApp());
    CfgImage a, b;
    SetDefaults(a);
    b = a;
    std::strcpy(b.m_szPIN, "1111");
    for (const bool enter : {true, false}) {
        TFrmCfgCompare dlg(&Main());
        dlg.SetDiff(CfgDiff(a, b), QString());
        dlg.SetQuestion(QStringLiteral("Zapsat?"), QString::fromUtf8(kCfgBlankWriteNote));
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        auto* storno = dlg.findChild<QPushButton*>("m_pBtnClose");
        auto* write = dlg.findChild<QPushButton*>("m_pBtnWrite");
        EXPECT_EQ(storno->text().toStdString(), "Storno");
        EXPECT_TRUE(storno->isDefault());
        EXPECT_EQ(write->text().toStdString(), "Zapsat");
        EXPECT_TRUE(write->isVisible());
        EXPECT_FALSE(dlg.findChild<QPushButton*>("m_pBtnShow")->isVisible());
        auto* note = dlg.findChild<QLabel*>("m_pLblNote");
        EXPECT_TRUE(note->isVisible());
        EXPECT_TRUE(note->text().startsWith("<b>"));
        auto* list = dlg.findChild<QTreeWidget*>("m_pTrvDiff");
        emit list->itemActivated(list->topLevelItem(0), 0);
        EXPECT_TRUE(dlg.isVisible());
        if (enter) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            EXPECT_EQ(dlg.result(), QDialog::Rejected);
        } else {
            write->click();
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
        }
        EXPECT_FALSE(dlg.isVisible());
    }
}

TEST_F(GuiSessionTest, ComparingWithTheUnitReadsOnceAndLeavesTheOpenConfigurationAlone) {
    // The unit holds the open configuration but for its PIN.
    const std::vector<uint8_t> memory = DefaultsWithPin("5555");
    ASSERT_TRUE(Unit().SetConfigMemory(memory));
    ASSERT_TRUE(StartApp());
    prompts.ExpectSaveFile(dir.File("open.cfg"));
    Action("m_pActCfgSaveAs")->trigger();
    Panes().GetPane(PANE_SIM)->OnDataChange(); // modified, and stays so
    const CfgImage before = *Device().m_Cfg.GetImage();
    SelectNode(TAB_CFG, 4);

    Action("m_pActCfgCompareUnit")->trigger();
    ASSERT_TRUE(WaitIdle());
    const auto codes = Commands();
    // One configuration read, block by block, and no write.
    EXPECT_EQ(static_cast<size_t>(std::count(codes.begin(), codes.end(), kReadConfig)),
              SplitIntoBlocks(CFG_DEVICE_SIZE).size());
    EXPECT_EQ(std::count(codes.begin(), codes.end(), kWriteConfig), 0);
    EXPECT_EQ(std::memcmp(&before, Device().m_Cfg.GetImage(), sizeof before), 0);
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    EXPECT_EQ(Main().windowTitle().toStdString(), "TK530 Control Panel (open.cfg*)");
    EXPECT_EQ(ListConfigBackups().size(), 1u); // like every read, it is backed up

    TFrmCfgCompare* compare = UI().CompareDialog();
    ASSERT_NE(compare, nullptr);
    EXPECT_TRUE(compare->isVisible());
    auto* list = compare->findChild<QTreeWidget*>("m_pTrvDiff");
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(1).toStdString(), "PIN");
    EXPECT_EQ(list->topLevelItem(0)->text(2).toStdString(), "7093");
    EXPECT_EQ(list->topLevelItem(0)->text(3).toStdString(), "5555");
    EXPECT_EQ(list->headerItem()->text(3).toStdString(), "TK530");
    compare->reject();

    // A read that fails shows its error and no comparison.
    Unit().AddFault({kReadConfig, SimFaultKind::NoAnswer});
    Device().m_Com.SetTimeoutScale(5);
    prompts.ExpectError("Vypršel komunikační timeout. EC: 0028")
        .ExpectAsk("Došlo ke komunikační chybě. Opakovat komunikaci?", PROMPT_NO);
    Action("m_pActCfgCompareUnit")->trigger();
    ASSERT_TRUE(WaitIdle(30000));
    EXPECT_FALSE(compare->isVisible());
    EXPECT_EQ(std::memcmp(&before, Device().m_Cfg.GetImage(), sizeof before), 0);
    EXPECT_TRUE(prompts.Done());
}

TEST_F(GuiSessionTest, ARefusedPinOpensTheItemDialogWithTheNumberLocked) {
    UseModem("9999");
    ASSERT_TRUE(StartApp());
    bool numberEditable = true;
    std::string number;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Online over a modem starts with the remote access dialog.
        if (auto* remote = qobject_cast<TFrmRemCon*>(QApplication::activeModalWidget())) {
            remote->findChild<QPushButton*>("m_pBtnConnect")->click();
            return;
        }
        auto* item = qobject_cast<TFrmConnectItem*>(QApplication::activeModalWidget());
        if (!item)
            return;
        auto* num = item->findChild<QLineEdit*>("m_pTxtNum");
        numberEditable = num->isEnabled();
        number = num->text().toStdString();
        auto* pin = item->findChild<QLineEdit*>("m_pTxtPIN");
        auto* ok = item->findChild<QPushButton*>("m_pBtnOk");
        pin->setText("123");
        EXPECT_FALSE(ok->isEnabled()); // a PIN needs four characters
        pin->setText("1234");
        ok->click();
    });
    poll.start(10);
    prompts.ExpectError("Přístup odepřen - neplatný PIN.");
    GoOnline();
    EXPECT_FALSE(numberEditable);
    EXPECT_EQ(number, "123456789");
    EXPECT_TRUE(Unit().IsLoggedIn());
    EXPECT_EQ(Panel(), "online");
    Action("m_pActOffline")->trigger();
    ASSERT_TRUE(WaitIdle());
}

TEST_F(GuiSessionTest, StatusAndSmsEventsReachTheWindowWithTheirRecords) {
    SimGsm gsm;
    gsm.operatorName = "Test Net";
    gsm.signal = 17;
    Unit().SetGsm(gsm);
    SimSms sms;
    sms.time = GetLocalTime();
    sms.number = "+420600100200";
    sms.text = "ahoj";
    ASSERT_TRUE(Unit().AddStoredSms(sms));
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_STATE, 1); // GSM shown, the others hidden
    GoOnline();
    Panes().Invalidate(PANE_IO, PANE_IO);
    Action("m_pActReadStatus")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_STREQ(UI().Status().m_GSM.m_szOperator, "Test Net");
    EXPECT_EQ(UI().Status().m_GSM.m_nSignal, 17u);
    EXPECT_FALSE(Panes().GetPane(PANE_GSM)->m_bStale); // shown: reloaded
    EXPECT_TRUE(Panes().GetPane(PANE_IO)->m_bStale);   // hidden: waits to be shown

    Action("m_pActSMSRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_RECEIVED), 1);
    EXPECT_TRUE(Unit().StoredSms().empty()); // deleted on the unit only once stored
    EXPECT_EQ(Main().Tree(TAB_TOOLS)->topLevelItem(0)->child(1)->text(0).toStdString(),
              "Přijaté (1)");
    CSMSMng disk;
    EXPECT_EQ(disk.Load(), 1);
    EXPECT_EQ(disk.GetCount(SMS_RECEIVED), 1);
}

// --- A unit that stops answering, and the word at the end of every operation

namespace {

QString GroupTitle(CPaneMng& panes, int id) {
    auto* pane = static_cast<CFramePane*>(panes.GetPane(id));
    auto* group = pane ? pane->Frame()->findChild<QGroupBox*>("m_pGrbMain") : nullptr;
    return group ? group->title() : QString();
}

bool FrameStale(CPaneMng& panes, int id) {
    auto* pane = static_cast<CFramePane*>(panes.GetPane(id));
    return pane && IsStale(pane->Frame());
}

} // namespace

// The cable is pulled while online: within seconds the state panel says "bez odezvy" with its
// sign (and keeps saying it while a hint shows), the first panel says since when and what to
// check, the status panes grey their values with the time of the last good one; no box. The
// first answer brings "online" and live panes back.
TEST_F(GuiSessionTest, ASilentUnitIsShownAndItsReturnToo) {
    ASSERT_TRUE(StartApp([](CApp& app) {
        app.m_Device.m_Com.SetTimeoutScale(10);
        app.m_Device.m_Com.SetSilenceMs(800);
    }));
    SelectNode(TAB_STATE, 1);
    GoOnline();
    const QString gsmTitle = GroupTitle(Panes(), PANE_GSM);
    QLabel* message = Main().StatusPanel(0);
    QLabel* warning = Find<QLabel>("m_pStbWarning");
    ASSERT_NE(warning, nullptr);
    Unit().SetMuted(true);
    ASSERT_TRUE(WaitFor([this] { return Panel() == "bez odezvy"; }, 15000));
    EXPECT_TRUE(warning->isVisibleTo(&Main()));
    const std::string text = message->text().toStdString();
    ASSERT_EQ(text.rfind("Jednotka neodpovídá od ", 0), 0u) << text;
    const size_t at = text.find(" od ") + 4;
    const size_t end = text.find(" — ", at);
    ASSERT_NE(end, std::string::npos) << text;
    const std::string since = text.substr(at, end - at); // H:MM:SS
    EXPECT_EQ(text.substr(end), " — zkontrolujte kabel a napájení. Offline (F3) spojení ukončí.");
    for (int id = PANE_DEVID; id <= PANE_TIME; ++id) {
        EXPECT_TRUE(FrameStale(Panes(), id)) << id;
        EXPECT_TRUE(
            GroupTitle(Panes(), id).endsWith(QString::fromStdString(" — naposledy " + since)))
            << GroupTitle(Panes(), id).toStdString();
    }
    EXPECT_TRUE(prompts.Shown().empty()) << "no box while polling";
    EXPECT_TRUE(Device().m_Com.IsOnline());

    // A hint in the first panel leaves the state panel where it is.
    Main().statusBar()->showMessage(QStringLiteral("Načíst konfiguraci z TK530"));
    EXPECT_TRUE(Main().StatusPanel(1)->isVisibleTo(&Main()));
    Main().statusBar()->clearMessage();

    Unit().SetMuted(false);
    ASSERT_TRUE(WaitFor([this] { return Panel() == "online"; }, 15000));
    EXPECT_FALSE(warning->isVisibleTo(&Main()));
    EXPECT_EQ(message->text().toStdString(), "Jednotka opět odpovídá.");
    for (int id = PANE_DEVID; id <= PANE_TIME; ++id)
        EXPECT_FALSE(FrameStale(Panes(), id)) << id; // panes with events of their own too
    EXPECT_EQ(GroupTitle(Panes(), PANE_GSM), gsmTitle);
}

// Every operation ends with a word in the first panel; one that failed does not claim success.
TEST_F(GuiSessionTest, EachOperationEndsWithItsMessage) {
    ASSERT_TRUE(StartApp([](CApp& app) { app.m_Device.m_Com.SetTimeoutScale(5); }));
    struct Case {
        const char* action;
        std::function<void()> before;
        std::string said;
    };
    const Case cases[] = {
        {"m_pActReadStatus", {}, "Stav jednotky načten."},
        {"m_pActTimeSync", {}, "Čas jednotky nastaven."},
        {"m_pActCfgRead",
         {},
         "Konfigurace načtena z jednotky TK530 virtual unit (výrobní číslo 00012345)."},
        {"m_pActSMSRead", {}, "Žádné nové SMS"},
        {"m_pActSMSRead",
         [this] {
             for (int i = 1; i <= 2; ++i)
                 ASSERT_TRUE(Unit().AddStoredSms(SimSampleSms(i, GetLocalTime())));
         },
         "Načteno 2 nových SMS"},
        {"m_pActReadStatus",
         [this] {
             Unit().AddFault({0x24, SimFaultKind::NoAnswer});
             prompts.ExpectError("Vypršel komunikační timeout. EC: 0024")
                 .ExpectAsk("Došlo ke komunikační chybě. Opakovat komunikaci?", PROMPT_NO);
         },
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.said.empty() ? "a failed read" : c.said);
        Main().ClearMessage();
        if (c.before)
            c.before();
        Action(c.action)->trigger();
        ASSERT_TRUE(WaitIdle(30000));
        EXPECT_EQ(Main().StatusPanel(0)->text().toStdString(), c.said);
    }
    EXPECT_TRUE(prompts.Done());
}

// A message the keepalive fetched is announced and its list node is bold until the list is
// looked at.
TEST_F(GuiSessionTest, AMessageFetchedInTheBackgroundIsAnnouncedAndMarkedUntilSeen) {
    ASSERT_TRUE(StartApp());
    GoOnline();
    EXPECT_FALSE(Main().ReceivedUnseen());
    SimSms sms;
    sms.time = GetLocalTime();
    sms.number = "+420600100200";
    sms.text = "ahoj";
    ASSERT_TRUE(Unit().AddStoredSms(sms));
    ASSERT_TRUE(WaitFor([this] { return Device().m_SMS.GetCount(SMS_RECEIVED) == 1; }, 15000));
    ASSERT_TRUE(WaitFor([this] { return Main().ReceivedUnseen(); }));
    EXPECT_EQ(Main().StatusPanel(0)->text().toStdString(), "Přijata nová SMS od +420600100200.");
    SelectNode(TAB_TOOLS, 2); // "Přijaté"
    EXPECT_FALSE(Main().ReceivedUnseen());
}
