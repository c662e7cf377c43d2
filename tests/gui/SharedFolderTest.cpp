// The window program and tk530ctl on one program folder at the same time: tk530ctl runs as
// the real program (a child process) with a virtual unit of its own, the window is this
// process. Whatever either stores is in the other's view and in the files after both end.
#include "tests/gui/GuiFixture.h"

#include "base/ProgramFolder.h"
#include "sms/PaneSMSEdit.h"
#include "tests/cli/CtlProcess.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Within "a couple of seconds": the window follows the files at its next poll at the latest.
constexpr int kFollowMs = 3000;

} // namespace

class GuiSharedFolderTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        ASSERT_TRUE(m_ctlUnit.Start());
    }
    void TearDown() override {
        GuiTest::TearDown();
        m_ctlUnit.Stop();
    }

    // Messages waiting in a unit to be fetched.
    static void Waiting(CVirtualUnit& unit, const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            SimSms sms;
            sms.time = GetLocalTime();
            sms.number = "+420777000111";
            sms.text = text;
            ASSERT_TRUE(unit.AddStoredSms(sms));
        }
    }
    std::vector<std::string> CtlArgs(std::vector<std::string> command) const {
        std::vector<std::string> args{"--folder", dir.Path(), "--port", m_ctlUnit.SlavePath()};
        args.insert(args.end(), command.begin(), command.end());
        return args;
    }
    static std::vector<std::string> Texts(const CSMSMng& store, int list) {
        std::vector<std::string> out;
        for (int i = 0; i < store.GetCount(list); ++i)
            out.emplace_back(store.Get(i, list)->GetText());
        return out;
    }
    static std::vector<std::string> TextsOnDisk(int list) {
        CSMSMng disk;
        EXPECT_EQ(disk.Load(), 1);
        return Texts(disk, list);
    }
    std::string Node(int child) {
        return Main().Tree(TAB_TOOLS)->topLevelItem(0)->child(child)->text(0).toStdString();
    }

    CSimServer m_ctlUnit; // the unit on tk530ctl's port
};

// The installer's report: the panel open, tk530ctl fetches messages and sets the port, the
// panel closes. Before, the panel saved its start-up copies over both files.
TEST_F(GuiSharedFolderTest, WhatTk530ctlStoresShowsInTheWindowAndOutlivesItsClose) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 2);
    Waiting(m_ctlUnit.Unit(), {"první", "druhá"});

    const CtlResult read = RunCtl(CtlArgs({"sms-read"}));
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(m_ctlUnit.Unit().StoredSms().empty());
    EXPECT_TRUE(WaitFor([this] { return Device().m_SMS.GetCount(SMS_RECEIVED) == 2; }, kFollowMs));
    EXPECT_EQ(Node(1), "Přijaté (2)");

    const CtlResult port = RunCtl({"--folder", dir.Path(), "settings", "--port", "/dev/ttyS3"});
    ASSERT_EQ(port.status, 0) << port.err;
    EXPECT_TRUE(WaitFor([this] { return UI().Profile().PortPath() == "/dev/ttyS3"; }, kFollowMs));
    Main().resize(640, 480); // the window's own part of the profile

    // The same once more, and the window closes before it has looked at the files again.
    Main().findChild<QTimer*>("m_pTmrFollow")->stop();
    Main().findChild<QTimer*>("m_pTmrFollowSoon")->stop();
    Waiting(m_ctlUnit.Unit(), {"třetí"});
    ASSERT_EQ(RunCtl(CtlArgs({"sms-read"})).status, 0);
    ASSERT_EQ(RunCtl({"--folder", dir.Path(), "settings", "--port", "/dev/ttyS2"}).status, 0);

    Main().close(); // the program's end writes the profile
    ProcessEvents();
    StopApp();
    EXPECT_EQ(TextsOnDisk(SMS_RECEIVED), (std::vector<std::string>{"první", "druhá", "třetí"}));
    CProfile disk;
    ASSERT_EQ(disk.Load(), PROFILE_OK);
    EXPECT_EQ(disk.PortPath(), "/dev/ttyS2");
    EXPECT_EQ(disk.m_nWidth, 640);
}

// The window's own work survives another program's change: text typed in the editor, and a
// question on the screen does not keep tk530ctl from its change (the lock is not held then).
TEST_F(GuiSharedFolderTest, AnEditInProgressAndAnOpenQuestionOutlastTk530ctlsChanges) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 1);
    auto* editor = static_cast<CPaneSMSEdit*>(Panes().GetPane(PANE_SMSEDIT))->Frm();
    auto* text = editor->findChild<QPlainTextEdit*>("m_pTxtText");
    auto* to = editor->findChild<QLineEdit*>("m_pTxtFor");
    text->setPlainText(QStringLiteral("rozepsaná zpráva"));
    to->setText(QStringLiteral("+420602111222"));

    Waiting(m_ctlUnit.Unit(), {"zvenku"});
    ASSERT_EQ(RunCtl(CtlArgs({"sms-read"})).status, 0);
    ASSERT_TRUE(WaitFor([this] { return Device().m_SMS.GetCount(SMS_RECEIVED) == 1; }, kFollowMs));
    EXPECT_EQ(text->toPlainText().toStdString(), "rozepsaná zpráva");
    EXPECT_EQ(to->text().toStdString(), "+420602111222");

    // While the window asks whether to delete, tk530ctl marks the message read at once; the
    // window's Yes then deletes that same message, read now.
    SelectNode(TAB_TOOLS, 2);
    CtlResult marked;
    std::chrono::milliseconds took{};
    prompts.ExpectAsk("Opravdu chcete", PROMPT_YES, [&] {
        const auto start = std::chrono::steady_clock::now();
        marked = RunCtl({"--folder", dir.Path(), "sms-mark-read"});
        took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
    });
    Main().UpdateActions();
    Action("m_pActSMSDelAll")->trigger();
    EXPECT_TRUE(prompts.Done());
    EXPECT_EQ(marked.status, 0) << marked.err;
    EXPECT_LT(took.count(), tk::kDataLockWaitMs); // it never waited for the lock to give up
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_RECEIVED), 0);
    EXPECT_TRUE(TextsOnDisk(SMS_RECEIVED).empty());
    EXPECT_EQ(text->toPlainText().toStdString(), "rozepsaná zpráva");
}

// Two units, two ports, one folder: the window and tk530ctl fetch at the same time and every
// message of both is kept.
TEST_F(GuiSharedFolderTest, TwoFetchesAtOnceKeepEveryMessageOfBoth) {
    Waiting(Unit(), {"okno 1", "okno 2"});
    Waiting(m_ctlUnit.Unit(), {"ctl 1", "ctl 2"});
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 2);
    CtlProcess ctl(CtlArgs({"sms-read"}));
    Action("m_pActSMSRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    const CtlResult read = ctl.Wait();
    ASSERT_EQ(read.status, 0) << read.err;
    EXPECT_TRUE(Unit().StoredSms().empty());
    EXPECT_TRUE(m_ctlUnit.Unit().StoredSms().empty());

    EXPECT_TRUE(WaitFor([this] { return Device().m_SMS.GetCount(SMS_RECEIVED) == 4; }, kFollowMs));
    const CtlResult list = RunCtl({"--folder", dir.Path(), "--json", "sms-list", "received"});
    EXPECT_NE(list.out.find("\"count\":4"), std::string::npos) << list.out;
    StopApp();
    std::vector<std::string> kept = TextsOnDisk(SMS_RECEIVED);
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"ctl 1", "ctl 2", "okno 1", "okno 2"}));
}

// Another program that keeps the Data lock longer than a change takes: the window's change
// waits briefly, then is refused with a message, and nothing changed.
TEST_F(GuiSharedFolderTest, ALockHeldTooLongIsNamedAndTheChangeIsNotMade) {
    ASSERT_TRUE(StartApp());
    ASSERT_EQ(Device().m_SMS.AddAndShow(CSMS(), SMS_TOSEND), 0);
    SelectNode(TAB_TOOLS, 4);
    const std::string marker = dir.File("held");
    const std::string hold = "touch '" + marker + "'; sleep 5";
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        ::setpgid(0, 0); // its own group: the shell and its sleep end with it
        ::execlp("flock", "flock", tk::DataFolder().c_str(), "sh", "-c", hold.c_str(), nullptr);
        ::_exit(127);
    }
    ASSERT_TRUE(WaitFor([&] { return ::access(marker.c_str(), F_OK) == 0; }, 5000));

    prompts.ExpectAsk("Opravdu chcete", PROMPT_YES).ExpectError("právě mění jiný program");
    Main().UpdateActions();
    const auto start = std::chrono::steady_clock::now();
    Action("m_pActSMSDelAll")->trigger();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(prompts.Done());
    EXPECT_GE(waited, std::chrono::milliseconds(tk::kDataLockWaitMs));
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 1);
    ::kill(-holder, SIGTERM);
    ::waitpid(holder, nullptr, 0);
}
