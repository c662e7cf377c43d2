// The SMS windows against the virtual unit: reading the unit's messages into the lists,
// composing and sending, sending with nothing to send, exporting, deleting a selection, and
// what the editor shows of recipients and of characters the unit cannot take.
#include "tests/gui/GuiFixture.h"

#include "app/QtPrompts.h"
#include "sms/DlgSMSEdit.h"
#include "sms/DlgSMSView.h"
#include "sms/PaneSMSEdit.h"
#include "sms/PaneSMSList.h"

#include <QApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QTreeWidget>
#include <QUrl>

#include <fstream>
#include <functional>
#include <iterator>
#include <string>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

} // namespace

class GuiSmsTest : public GuiTest {
protected:
    CPaneSMSList& ListPane() { return *static_cast<CPaneSMSList*>(Panes().GetPane(PANE_SMSLIST)); }
    TFrmSMSEdit& Editor() {
        return *static_cast<CPaneSMSEdit*>(Panes().GetPane(PANE_SMSEDIT))->Frm();
    }
    QTreeView* View(int list) { return ListPane().Frm()->View(list); }
    std::string Cell(int list, int row, int col) {
        return View(list)->model()->index(row, col).data().toString().toStdString();
    }
    std::string Node(int child) {
        return Main().Tree(TAB_TOOLS)->topLevelItem(0)->child(child)->text(0).toStdString();
    }
    void SelectRows(int list, std::initializer_list<int> rows) {
        QItemSelectionModel* sel = View(list)->selectionModel();
        sel->clearSelection();
        for (const int row : rows)
            sel->select(View(list)->model()->index(row, 0),
                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    template <typename T>
    T* InEditor(const char* name) {
        return Editor().findChild<T*>(QString::fromLatin1(name));
    }
};

TEST_F(GuiSmsTest, ReadOpenExportAndDeleteWorkOnTheShownListNewestFirst) {
    for (int i = 0; i < 3; ++i) {
        SimSms sms;
        sms.time = GetLocalTime();
        sms.time.wHour = static_cast<uint16_t>(10 + i);
        sms.number = "+42060010020" + std::to_string(i);
        sms.text = "zprava " + std::to_string(i) + " \xE8"; // "č" in CP1250
        ASSERT_TRUE(Unit().AddStoredSms(sms));
    }
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 2);
    Action("m_pActSMSRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(Unit().StoredSms().empty()); // deleted there only once stored here
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_RECEIVED), 3);
    EXPECT_EQ(Node(1), "Přijaté (3)");
    EXPECT_EQ(Cell(SMS_RECEIVED, 0, 0), "+420600100202"); // newest on top
    EXPECT_EQ(Cell(SMS_RECEIVED, 2, 1), "zprava 0 č");
    EXPECT_EQ(Cell(SMS_RECEIVED, 0, 2).substr(0, 3), "12:");

    // Enter opens the selected message; closing the dialog by any means marks it read.
    SelectRows(SMS_RECEIVED, {2});
    QTimer::singleShot(0, [this] {
        auto* dlg = Main().findChild<TFrmSMSViewDlg*>();
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->findChild<QLineEdit*>("m_pTxtWho")->text().toStdString(), "+420600100200");
        dlg->reject();
    });
    View(SMS_RECEIVED)->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(View(SMS_RECEIVED), &enter);
    EXPECT_FALSE(Device().m_SMS.Get(0, SMS_RECEIVED)->IsUnread());
    EXPECT_TRUE(Device().m_SMS.Get(2, SMS_RECEIVED)->IsUnread());

    // Export to an existing file: one question (the dialog itself asks none), No appends,
    // Yes replaces, Storno leaves the file; CR LF, in the encoding of the chosen filter.
    const std::string path = dir.File("sms.txt");
    std::ofstream(path, std::ios::binary) << "old\r\n";
    Main().UpdateActions();
    prompts.ClearShown();
    prompts.ExpectSaveFile(path, 1).ExpectAsk("Soubor již existuje", PROMPT_NO);
    Action("m_pActSMSSaveSel")->trigger();
    ASSERT_EQ(prompts.Shown().size(), 2u);
    EXPECT_FALSE(prompts.Shown()[0].confirmOverwrite);
    EXPECT_NE(prompts.Shown()[0].caption.find("UTF-8"), std::string::npos);
    const std::string one = Slurp(path);
    EXPECT_EQ(one.substr(0, 5), "old\r\n");
    EXPECT_NE(one.find("\t+420600100200\tzprava 0 \xC4\x8D\r\n"), std::string::npos) << one;
    prompts.ExpectSaveFile(path).ExpectAsk("Soubor již existuje", PROMPT_CANCEL);
    Action("m_pActSMSSaveAll")->trigger();
    EXPECT_EQ(Slurp(path), one);
    prompts.ClearShown();
    prompts.ExpectSaveFile(path).ExpectAsk("Soubor již existuje", PROMPT_YES);
    Action("m_pActSMSSaveAll")->trigger();
    EXPECT_EQ(prompts.Shown().at(0).folder, dir.Path()); // where the last export went
    const std::string all = Slurp(path);
    EXPECT_NE(all.find("zprava 0 \xE8\r\n"), std::string::npos) << all; // CP1250
    EXPECT_EQ(all.find("old"), std::string::npos);
    EXPECT_LT(all.find("zprava 0"), all.find("zprava 2")); // oldest first
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 3);
    EXPECT_EQ(Main().StatusPanel(0)->text().toStdString(), "Do souboru sms.txt uloženo zpráv: 3.");
    EXPECT_TRUE(prompts.Done());

    // The archive folder is opened where the store writes its archive.
    QUrl opened;
    ReplaceSmsOpenUrl([&opened](const QUrl& url) {
        opened = url;
        return true;
    });
    View(SMS_RECEIVED)->findChild<QAction*>("m_pActSMSArchiveFolder")->trigger();
    ReplaceSmsOpenUrl({});
    EXPECT_EQ(opened.toLocalFile().toStdString() + "/SMSArchive.txt", CSMSMng::ArchivePath());

    // Rows 1 and 3 of five: exactly those two go, the others keep their order.
    CSMS sms;
    for (int i = 0; i < 5; ++i) {
        sms.SetText("m" + std::to_string(i));
        ASSERT_GE(Device().m_SMS.AddAndShow(sms, SMS_TOSEND), 0);
    }
    SelectNode(TAB_TOOLS, 4);
    SelectRows(SMS_TOSEND, {1, 3}); // m3 and m1
    prompts.ExpectAsk("Opravdu chcete vybrané SMS odstranit?", PROMPT_YES);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(View(SMS_TOSEND), &del);
    EXPECT_TRUE(prompts.Done());
    EXPECT_EQ(prompts.Shown().back().def, PromptDefault::No); // Enter keeps the messages
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 3);
    EXPECT_EQ(Cell(SMS_TOSEND, 0, 1) + Cell(SMS_TOSEND, 1, 1) + Cell(SMS_TOSEND, 2, 1), "m4m2m0");
    EXPECT_EQ(Node(3), "K odeslání (3)");
}

TEST_F(GuiSmsTest, ComposedMessageGoesToEveryRecipientPartByPartAndMovesToSent) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 1);
    auto* text = InEditor<QPlainTextEdit>("m_pTxtText");
    auto* to = InEditor<QLineEdit>("m_pTxtFor");
    auto* send = InEditor<QPushButton>("m_pBtnSend");

    // What the editor shows before anything is sent.
    text->setPlainText(QString(161, QLatin1Char('x')));
    EXPECT_EQ(InEditor<QLabel>("m_pLblLen2")->text().toStdString(), "1/2");
    text->setPlainText(QStringLiteral("smajlík ☺ a ✓"));
    EXPECT_EQ(text->extraSelections().size(), 2); // both marked as typed
    // Numbers as people write them are one recipient each; a faulty one is named in red
    // under the line and keeps the message in the editor.
    auto* error = InEditor<QLabel>("m_pLblRecipientsError");
    to->setText(QStringLiteral("+420 777 123 456; (603) 11-22-33"));
    EXPECT_EQ(InEditor<QLabel>("m_pLblRecipients")->text().toStdString(),
              "Příjemci: +420777123456, 603112233");
    EXPECT_TRUE(error->isHidden());
    EXPECT_TRUE(send->isEnabled());
    to->setText(QStringLiteral("+420 777 123 456, 603 11+22"));
    EXPECT_FALSE(error->isHidden());
    EXPECT_EQ(error->text().toStdString(),
              "Příjemce „603 11+22“: znak + smí být jen na začátku čísla.");
    EXPECT_FALSE(send->isEnabled());
    EXPECT_FALSE(InEditor<QPushButton>("m_pBtnSave")->isEnabled());
    to->setText(QStringLiteral("112"));
    EXPECT_TRUE(error->isHidden());
    EXPECT_FALSE(InEditor<QLabel>("m_pImgRecipientsWarn")->isHidden()); // short: a hint only
    prompts.ExpectError("„☺“, „✓“");
    InEditor<QPushButton>("m_pBtnSave")->click();
    EXPECT_TRUE(prompts.Done());
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 0); // named, not dropped
    EXPECT_EQ(text->extraSelections().size(), 2);

    // Two recipients, 200 characters: two parts each, four send frames.
    text->setPlainText(QString(200, QLatin1Char('a')));
    to->setText(QStringLiteral("+420600100200, 603111222"));
    EXPECT_TRUE(InEditor<QLabel>("m_pImgRecipientsWarn")->isHidden());
    ASSERT_TRUE(send->isEnabled());
    QKeyEvent ctrlEnter(QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier);
    text->setFocus();
    QApplication::sendEvent(text, &ctrlEnter); // through the shortcut
    if (Device().m_SMS.GetCount(SMS_TOSEND) + Device().m_SMS.GetCount(SMS_SENT) == 0)
        send->click(); // offscreen focus may not reach the shortcut map
    ASSERT_TRUE(WaitIdle());
    ASSERT_TRUE(WaitFor([this] { return Device().m_SMS.GetCount(SMS_SENT) == 1; }));
    EXPECT_EQ(Unit().SentMessages().size(), 4u);
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 0);
    EXPECT_EQ(Node(2), "Odeslané (1)");
    EXPECT_TRUE(text->toPlainText().isEmpty());
    EXPECT_FALSE(send->isEnabled());

    // Send all when no waiting message has a number: text 111, nothing queued.
    text->setPlainText(QStringLiteral("bez čísla"));
    InEditor<QPushButton>("m_pBtnSave")->click();
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 1);
    const size_t commands = Commands().size();
    Main().UpdateActions();
    prompts.ExpectWarning("Nejsou žádné SMS k odeslání.");
    Action("m_pActSMSSendAll")->trigger();
    EXPECT_TRUE(prompts.Done());
    ProcessEvents();
    EXPECT_EQ(Commands().size(), commands);
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 1);

    // A full list whose oldest unread message cannot reach the archive keeps the new one in
    // the editor, with a word why.
    for (int i = 1; i < SMS_LIST_MAX; ++i) {
        text->setPlainText(QStringLiteral("dalsi"));
        InEditor<QPushButton>("m_pBtnSave")->click();
    }
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), SMS_LIST_MAX);
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(CSMSMng::ArchivePath()))); // unwritable
    text->setPlainText(QStringLiteral("šestá"));
    prompts.ExpectError("nepodařilo zapsat do archivu");
    InEditor<QPushButton>("m_pBtnSave")->click();
    EXPECT_TRUE(prompts.Done());
    EXPECT_EQ(text->toPlainText().toStdString(), "šestá");
    EXPECT_STREQ(Device().m_SMS.Get(0, SMS_TOSEND)->GetText(), "bez \xE8\xEDsla");
}

// More unread messages than the received list holds: the oldest go to the archive, and the
// list's node says how many went there.
TEST_F(GuiSmsTest, TheReceivedNodeCountsTheMessagesAFullListSentToTheArchive) {
    for (int i = 0; i < SMS_LIST_MAX + 2; ++i) {
        SimSms sms;
        sms.time = GetLocalTime();
        sms.number = "+42060010020" + std::to_string(i);
        sms.text = "zprava " + std::to_string(i);
        ASSERT_TRUE(Unit().AddStoredSms(sms));
    }
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 2);
    Action("m_pActSMSRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_RECEIVED), SMS_LIST_MAX);
    EXPECT_EQ(Node(1), "Přijaté (5) — 2 v archivu");
    const std::string archive = Slurp(CSMSMng::ArchivePath());
    EXPECT_NE(archive.find("zprava 0"), std::string::npos);
    EXPECT_NE(archive.find("zprava 1"), std::string::npos);
    EXPECT_EQ(archive.find("zprava 2"), std::string::npos);
    EXPECT_EQ(Node(2), "Odeslané (0)"); // the other lists keep the plain caption
}

// A damaged SMS.dat is the only copy of what it held: the first change (a message read from
// the unit) says where its copy is, once, and the copy holds the damaged file.
TEST_F(GuiSmsTest, TheFirstChangeToADamagedStoreSaysOnceWhereItsCopyIs) {
    {
        CSMSMng store;
        CSMS sms;
        sms.SetText("stará");
        sms.AddNumber("604111222");
        ASSERT_GE(store.AddAndShow(sms, SMS_SENT), 0);
    }
    std::string damaged = Slurp(CSMSMng::FilePath());
    damaged.resize(damaged.size() - 3);
    std::ofstream(CSMSMng::FilePath(), std::ios::binary | std::ios::trunc) << damaged;
    for (int i = 0; i < 2; ++i) {
        SimSms sms;
        sms.time = GetLocalTime();
        sms.number = "+42060010020" + std::to_string(i);
        sms.text = "zprava " + std::to_string(i);
        ASSERT_TRUE(Unit().AddStoredSms(sms));
    }
    // The box comes after the save, never inside it: the file then already holds what the
    // save wrote (a box inside the save would hold the Data lock and a stale copy of the store).
    std::string whileShown;
    prompts.ExpectInfo("byl poškozený", [&] { whileShown = Slurp(CSMSMng::FilePath()); });
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 2);
    Action("m_pActSMSRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    EXPECT_TRUE(prompts.Done());
    ASSERT_EQ(Device().m_SMS.GetCount(SMS_RECEIVED), 2);
    std::string copy;
    for (const PromptRecord& shown : prompts.Shown()) {
        const size_t at = shown.text.find(CSMSMng::FilePath() + ".damaged-");
        if (at != std::string::npos)
            copy = shown.text.substr(at, shown.text.find(';', at) - at);
    }
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(Slurp(copy), damaged);
    EXPECT_NE(whileShown, damaged);
    EXPECT_NE(whileShown.find("zprava 0"), std::string::npos);
}

// The lists' column widths the user leaves are written with the profile when the program
// closes, and a new window shows them again.
TEST_F(GuiSmsTest, ColumnWidthsSurviveTheProfile) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_TOOLS, 2);
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        for (int col = 0; col < 2; ++col)
            View(list)->setColumnWidth(col, 60 + 10 * (list * 2 + col));
    Main().close(); // the program's end writes the profile
    ProcessEvents();
    CProfile saved;
    ASSERT_EQ(saved.Load(), PROFILE_OK);
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        for (int col = 0; col < 2; ++col)
            EXPECT_EQ(saved.m_anColWidth[list * 3 + col], 60 + 10 * (list * 2 + col))
                << list << " " << col;
    StopApp();

    ASSERT_TRUE(StartApp());
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        for (int col = 0; col < 2; ++col)
            EXPECT_EQ(View(list)->columnWidth(col), 60 + 10 * (list * 2 + col))
                << list << " " << col;
}

// A received or sent message is shown, never edited: only its read mark changes. Replying and
// forwarding start new messages in the editor.
TEST_F(GuiSmsTest, ReceivedAndSentMessagesOpenReadOnlyAndStayAsTheyCame) {
    ASSERT_TRUE(StartApp());
    CSMS received;
    received.m_nDay = 7;
    received.m_nMonth = 12;
    received.m_nYear = 8;
    received.m_nHour = 14;
    received.m_nMinute = 5;
    received.m_nSecond = 9;
    received.AddNumber("+420600100200");
    const std::string whole = std::string(170, 'a') + "\r\nkonec \xE8"; // over one part, "č"
    received.SetText(whole);
    ASSERT_EQ(Device().m_SMS.StoreReceived(received), 0);
    CSMS sent;
    sent.AddNumber("603111222");
    sent.AddNumber("604111222");
    sent.SetText("odeslano");
    ASSERT_GE(Device().m_SMS.AddAndShow(sent, SMS_SENT), 0);
    auto record = [this](int list) {
        CMemoryWriter bytes;
        Device().m_SMS.Get(0, list)->Write(bytes);
        std::vector<uint8_t> b = bytes.Data();
        b[9] &= 0x7F; // the flags' top byte: the unread bit may change, nothing else
        return b;
    };
    const std::vector<uint8_t> before = record(SMS_RECEIVED);

    // Each opening answers the dialog in its own way; Zavřít is the default.
    auto open = [this](int list, std::function<void(TFrmSMSViewDlg*)> answer) {
        SelectNode(TAB_TOOLS, 2 + list);
        SelectRows(list, {0});
        Main().UpdateActions();
        QTimer::singleShot(0, [this, answer] {
            auto* dlg = Main().findChild<TFrmSMSViewDlg*>();
            ASSERT_NE(dlg, nullptr);
            ASSERT_TRUE(dlg->isVisible());
            EXPECT_TRUE(dlg->findChild<QPushButton*>("m_pBtnClose")->isDefault());
            EXPECT_TRUE(dlg->findChild<QLineEdit*>("m_pTxtWho")->isReadOnly());
            EXPECT_TRUE(dlg->findChild<QPlainTextEdit*>("m_pTxtText")->isReadOnly());
            answer(dlg);
        });
        Action("m_pActSMSOpen")->trigger();
    };
    auto text = [](TFrmSMSViewDlg* dlg, const char* name) {
        if (auto* line = dlg->findChild<QLineEdit*>(name))
            return line->text().toStdString();
        if (auto* label = dlg->findChild<QLabel*>(name))
            return label->text().toStdString();
        return dlg->findChild<QPlainTextEdit*>(name)->toPlainText().toStdString();
    };
    open(SMS_RECEIVED, [&](TFrmSMSViewDlg* dlg) {
        EXPECT_EQ(text(dlg, "m_pLblWho"), "Od:");
        EXPECT_EQ(text(dlg, "m_pTxtWho"), "+420600100200");
        EXPECT_EQ(text(dlg, "m_pTxtTime"), "14:05:09  7. 12. 2008");
        EXPECT_EQ(text(dlg, "m_pTxtText"), std::string(170, 'a') + "\nkonec č");
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(dlg, &enter); // the default button closes
        EXPECT_FALSE(dlg->isVisible());
    });
    EXPECT_FALSE(Device().m_SMS.Get(0, SMS_RECEIVED)->IsUnread());
    EXPECT_EQ(record(SMS_RECEIVED), before);
    EXPECT_EQ(Panes().GetCur(), PANE_SMSLIST);

    // Reply: a new message to the sender, the text left to write.
    open(SMS_RECEIVED,
         [](TFrmSMSViewDlg* dlg) { dlg->findChild<QPushButton*>("m_pBtnReply")->click(); });
    ASSERT_EQ(Panes().GetCur(), PANE_SMSEDIT);
    EXPECT_EQ(InEditor<QLineEdit>("m_pTxtFor")->text().toStdString(), "+420600100200");
    EXPECT_TRUE(InEditor<QPlainTextEdit>("m_pTxtText")->toPlainText().isEmpty());
    InEditor<QPlainTextEdit>("m_pTxtText")->setPlainText(QStringLiteral("odpověď"));
    InEditor<QPushButton>("m_pBtnSave")->click();
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_TOSEND), 1);
    EXPECT_EQ(record(SMS_RECEIVED), before); // the reply is a message of its own

    // Forward from the sent list: the text, no recipient; "Komu:" names its recipients. A
    // draft in the editor is replaced only when the user agrees.
    InEditor<QLineEdit>("m_pTxtFor")->setText(QStringLiteral("605"));
    prompts.ExpectAsk("rozepsaná zpráva", PROMPT_NO);
    open(SMS_SENT, [&](TFrmSMSViewDlg* dlg) {
        EXPECT_EQ(text(dlg, "m_pLblWho"), "Komu:");
        EXPECT_EQ(text(dlg, "m_pTxtWho"), "603111222, 604111222");
        dlg->findChild<QPushButton*>("m_pBtnForward")->click();
    });
    EXPECT_TRUE(prompts.Done());
    EXPECT_EQ(prompts.Shown().back().def, PromptDefault::No);
    EXPECT_EQ(InEditor<QLineEdit>("m_pTxtFor")->text().toStdString(), "605"); // kept
    prompts.ExpectAsk("rozepsaná zpráva", PROMPT_YES);
    open(SMS_SENT,
         [](TFrmSMSViewDlg* dlg) { dlg->findChild<QPushButton*>("m_pBtnForward")->click(); });
    EXPECT_TRUE(prompts.Done());
    ASSERT_EQ(Panes().GetCur(), PANE_SMSEDIT);
    EXPECT_TRUE(InEditor<QLineEdit>("m_pTxtFor")->text().isEmpty());
    EXPECT_EQ(InEditor<QPlainTextEdit>("m_pTxtText")->toPlainText().toStdString(), "odeslano");
    EXPECT_EQ(Device().m_SMS.GetCount(SMS_SENT), 1);
    EXPECT_STREQ(Device().m_SMS.Get(0, SMS_SENT)->GetText(), "odeslano");

    // Messages fetched while the dialog is open push the shown one out: none of them is
    // taken for it and marked read.
    open(SMS_RECEIVED, [this](TFrmSMSViewDlg* dlg) {
        for (int i = 0; i < SMS_LIST_MAX; ++i) {
            CSMS fetched;
            fetched.AddNumber("603111222");
            fetched.SetText("nova " + std::to_string(i));
            EXPECT_GE(Device().m_SMS.StoreReceived(fetched), 0);
        }
        dlg->reject();
    });
    for (int i = 0; i < SMS_LIST_MAX; ++i)
        EXPECT_TRUE(Device().m_SMS.Get(i, SMS_RECEIVED)->IsUnread()) << i;
}

// The real question of a deletion, through the program's own prompts: Enter answers "Ne".
TEST_F(GuiSmsTest, DeleteConfirmationBoxDefaultsToNo) {
    CQtPrompts real;
    bool checked = false;
    QTimer::singleShot(0, [&checked] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        checked = true;
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
    });
    EXPECT_EQ(real.Ask(TXT_SMS_DELETE_SEL_QUERY, PromptButtons::YesNo, PromptDefault::No),
              PROMPT_NO);
    EXPECT_TRUE(checked);
}
