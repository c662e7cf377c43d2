// The configuration panes of the dialling rules, the enabled directions, the SIM card and the
// alarms: each pane's round trip from a file through its controls back into a file (exactly
// the fields the controls edit change, nothing else of the image), and the cases at the
// edges of what the controls hold.
#include "tests/gui/GuiFixture.h"

#include "app/PaneFrame.h"
#include "config/CfgCatalogue.h"
#include "config/DlgSetEnDir.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstring>
#include <functional>
#include <string>
#include <utility>

namespace {

// Nodes of the configuration tree.
constexpr int kNodeEnDirs = 1;
constexpr int kNodeCallPars = 2;
constexpr int kNodeSIM = 4;
constexpr int kNodeAlarms = 8; // a category: selecting it leaves the shown pane
constexpr int kNodeAlarm1 = 9;

// Every byte of the image something other than the defaults would be, so that a stray write
// anywhere shows; the texts the panes read are then given known values.
CfgImage PatternImage() {
    CfgImage image;
    auto* bytes = reinterpret_cast<uint8_t*>(&image);
    for (size_t i = 0; i < sizeof image; ++i)
        bytes[i] = static_cast<uint8_t>(0x41 + i % 26);
    return image;
}

// A text into a field, with bytes left after the terminator (as a unit may leave them).
void Put(char* field, size_t width, const char* text) {
    std::memset(field, 'x', width);
    std::memcpy(field, text, std::strlen(text) + 1);
}
// A text into a field as a store leaves it: the rest zeroed.
void Stored(char* field, size_t width, const char* text) {
    std::memset(field, 0, width);
    std::memcpy(field, text, std::strlen(text));
}

// The offsets (hexadecimal) at which two images differ; empty when they are equal.
std::string Differences(const CfgImage& a, const CfgImage& b) {
    const auto* pa = reinterpret_cast<const uint8_t*>(&a);
    const auto* pb = reinterpret_cast<const uint8_t*>(&b);
    std::string out;
    char buf[16];
    for (size_t i = 0; i < sizeof a; ++i)
        if (pa[i] != pb[i]) {
            std::snprintf(buf, sizeof buf, "%03zX ", i);
            out += buf;
        }
    return out;
}

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

class GuiPaneTest : public GuiTest {
protected:
    CfgImage& Img() { return *Device().m_Cfg.GetImage(); }

    // A widget of the shown pane's frame (its dialogs included) by objectName.
    template <typename T>
    T* InPane(const char* name) {
        auto* pane = static_cast<CFramePane*>(Panes().GetPane(Panes().GetCur()));
        T* w = pane ? pane->Frame()->findChild<T*>(QString::fromLatin1(name)) : nullptr;
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    // Opens a file holding `image`, as the user does; the image as the program then holds it.
    CfgImage Open(const CfgImage& image) {
        EXPECT_TRUE(WriteCfgFile(dir.File("in.cfg"), image));
        prompts.ExpectOpenFile(dir.File("in.cfg"));
        Action("m_pActCfgOpen")->trigger();
        EXPECT_EQ(Device().m_Cfg.GetFileName(), dir.File("in.cfg"));
        return Img();
    }
    // Saves to the open file (the shown pane stores first) and reads the image back from it.
    CfgImage Saved() {
        Action("m_pActCfgSave")->trigger();
        const std::vector<uint8_t> file = ReadFileBytes(dir.File("in.cfg"));
        CfgImage image{};
        EXPECT_EQ(file.size(), CFG_FILE_SIZE);
        if (file.size() == CFG_FILE_SIZE)
            std::memcpy(&image, file.data() + CFG_FILE_HEADER_SIZE, sizeof image);
        return image;
    }

    // Types text key by key; a letter no key of QtTest's table names comes as its text.
    static void Type(QWidget* w, const QString& text) {
        for (const QChar c : text) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(w, c.toLatin1());
                continue;
            }
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(w, &press);
            QApplication::sendEvent(w, &release);
        }
    }
    // Replaces a control's text as typed: select all, then the keys.
    static void Retype(QWidget* w, const QString& text) {
        QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(w, Qt::Key_Delete);
        Type(w, text);
    }
    // A click on a radio button's indicator (its middle may lie beyond its caption).
    static void Click(QRadioButton* b) {
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }
    QString Text(const char* name) { return InPane<QLineEdit>(name)->text(); }
    bool Checked(const char* name) { return InPane<QRadioButton>(name)->isChecked(); }
    QString StatusText() { return Main().statusBar()->currentMessage(); }

    // Clicks Set (or double-clicks the row) while `answer` works the direction dialog.
    void SetDirection(int row, const std::function<void(TFrmSetEnDir&)>& answer,
                      bool doubleClick = false) {
        QTreeWidget* list = InPane<QTreeWidget>("m_pLsvEnDirs");
        const QRect rect = list->visualItemRect(list->topLevelItem(row));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        bool answered = false;
        QTimer::singleShot(0, &Main(), [&] {
            auto* dlg = InPane<TFrmSetEnDir>("TFrmSetEnDir");
            ASSERT_NE(dlg, nullptr);
            ASSERT_TRUE(dlg->isVisible());
            answered = true;
            answer(*dlg);
            if (dlg->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                dlg->reject();
            }
        });
        if (doubleClick)
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        else
            QTest::mouseClick(InPane<QPushButton>("m_pBtnSet"), Qt::LeftButton);
        EXPECT_TRUE(answered);
    }
    QStringList Rows() {
        QStringList rows;
        QTreeWidget* list = InPane<QTreeWidget>("m_pLsvEnDirs");
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            rows << list->topLevelItem(i)->text(0);
        return rows;
    }
};

TEST_F(GuiPaneTest, CallParsRoundTripAndLimits) {
    ASSERT_TRUE(StartApp());
    CfgImage known = PatternImage();
    Put(known.m_szAddDir, 8, "12");
    Put(known.m_szDelNum, 8, "999");
    known.m_nMaxNumLen = 15;
    const CfgImage before = Open(known);
    SelectNode(TAB_CFG, kNodeCallPars);
    EXPECT_EQ(Text("m_pTxtAddDir"), "12");
    EXPECT_EQ(Text("m_pTxtDelNum"), "999");
    EXPECT_EQ(InPane<QSpinBox>("m_pUDMaxNumLen")->value(), 15);
    EXPECT_EQ(Text("m_pTxtMaxNumLen"), "15");
    EXPECT_FALSE(Device().m_Cfg.IsModified());

    // Seven Czech letters fill the completion (one CP1250 byte each); the eighth is refused,
    // and so is a character CP1250 cannot hold.
    Retype(InPane<QLineEdit>("m_pTxtAddDir"), U("ěščřžýáí"));
    EXPECT_EQ(Text("m_pTxtAddDir"), U("ěščřžýá"));
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    Retype(InPane<QLineEdit>("m_pTxtDelNum"), U("0日"));
    EXPECT_EQ(Text("m_pTxtDelNum"), "0");
    EXPECT_EQ(StatusText(), U("Znak „日“ nelze uložit (kódová stránka 1250)."));
    Retype(InPane<QSpinBox>("m_pUDMaxNumLen"), "24");

    CfgImage expected = before;
    Stored(expected.m_szAddDir, 8, "\xEC\x9A\xE8\xF8\x9E\xFD\xE1"); // ěščřžýá in CP1250
    Stored(expected.m_szDelNum, 8, "0");
    expected.m_nMaxNumLen = 24;
    EXPECT_EQ(Differences(Saved(), expected), "");
    EXPECT_EQ(expected.m_szAddDir[7], '\0');

    // Values outside the up-down's range are shown and stored at the nearer end.
    for (const auto& [image, shown] : {std::pair{0, 3}, std::pair{30, 24}, std::pair{255, 24}}) {
        known.m_nMaxNumLen = static_cast<uint8_t>(image);
        Open(known);
        EXPECT_EQ(InPane<QSpinBox>("m_pUDMaxNumLen")->value(), shown);
        EXPECT_FALSE(Device().m_Cfg.IsModified());
        EXPECT_EQ(Saved().m_nMaxNumLen, shown);
    }
}

TEST_F(GuiPaneTest, EnabledDirectionsWriteEachChangeAtOnce) {
    ASSERT_TRUE(StartApp());
    Main().resize(900, 900); // room below the sixteen rows for a click on empty space
    SelectNode(TAB_CFG, kNodeEnDirs);
    EXPECT_EQ(Rows().join(' '), "1 2 3 4 5 6 7 8 9 0 - - - - - -");

    CfgImage known = PatternImage();
    for (int i = 0; i < 16; ++i)
        Put(known.m_aszEnDir[i], 8, i % 5 == 4 ? "" : std::to_string(600 + i).c_str());
    const CfgImage before = Open(known); // the shown pane reloads in place
    EXPECT_EQ(Rows().join(' '), "600 601 602 603 - 605 606 607 608 - 610 611 612 613 - 615");
    EXPECT_FALSE(Device().m_Cfg.IsModified());
    QPushButton* set = InPane<QPushButton>("m_pBtnSet");
    QPushButton* del = InPane<QPushButton>("m_pBtnDel");
    EXPECT_FALSE(set->isEnabled());

    // Storno: nothing changes, not even the modified flag.
    SetDirection(7, [](TFrmSetEnDir& dlg) {
        EXPECT_EQ(dlg.findChild<QLineEdit*>("m_pTxtEnDir")->text(), "607");
        Retype(dlg.findChild<QLineEdit*>("m_pTxtEnDir"), "1");
        QTest::mouseClick(dlg.findChild<QPushButton*>("m_pBtnCancel"), Qt::LeftButton);
    });
    EXPECT_EQ(Differences(Img(), before), "");
    EXPECT_EQ(Rows()[7], "607");
    EXPECT_FALSE(Device().m_Cfg.IsModified());

    EXPECT_TRUE(del->isEnabled());
    QTest::mouseClick(del, Qt::LeftButton); // row 7
    EXPECT_EQ(Rows()[7], "-");
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    SetDirection(10, [](TFrmSetEnDir& dlg) {
        auto* edit = dlg.findChild<QLineEdit*>("m_pTxtEnDir");
        Retype(edit, "42012345"); // the eighth character does not fit
        EXPECT_EQ(edit->text(), "4201234");
        QTest::keyClick(edit, Qt::Key_Return); // the default button
    });
    SetDirection(
        3,
        [](TFrmSetEnDir& dlg) { // an empty text deletes the row
            Retype(dlg.findChild<QLineEdit*>("m_pTxtEnDir"), "");
            QTest::mouseClick(dlg.findChild<QPushButton*>("m_pBtnOk"), Qt::LeftButton);
        },
        true);
    EXPECT_EQ(Rows().join(' '), "600 601 602 - - 605 606 - 608 - 4201234 611 612 613 - 615");

    CfgImage expected = before;
    expected.m_aszEnDir[7][0] = '\0';
    Stored(expected.m_aszEnDir[10], 8, "4201234");
    Stored(expected.m_aszEnDir[3], 8, "");
    EXPECT_EQ(Differences(Img(), expected), "");
    SelectNode(TAB_CFG, kNodeAlarms); // leaving stores nothing more
    EXPECT_EQ(Differences(Saved(), expected), "");

    // A click below the rows removes the selection and disables both buttons again.
    SelectNode(TAB_CFG, kNodeEnDirs);
    QTreeWidget* list = InPane<QTreeWidget>("m_pLsvEnDirs");
    const QRect last = list->visualItemRect(list->topLevelItem(15));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, last.center());
    EXPECT_TRUE(set->isEnabled());
    ASSERT_LT(last.bottom() + 10, list->viewport()->height());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, last.bottom() + 10));
    EXPECT_FALSE(set->isEnabled());
    EXPECT_FALSE(del->isEnabled());

    // Another configuration refreshes the sixteen rows in place.
    Action("m_pActCfgNew")->trigger();
    EXPECT_EQ(list->topLevelItemCount(), 16);
    EXPECT_EQ(Rows().join(' '), "1 2 3 4 5 6 7 8 9 0 - - - - - -");
}

TEST_F(GuiPaneTest, SIMRoundTrip) {
    ASSERT_TRUE(StartApp());
    CfgImage known = PatternImage();
    Put(known.m_szPIN, 9, "1234");
    Put(known.m_szMCall, 21, "602123456");
    known.m_nMCallMusic = 17;
    known.m_nTone = 3;
    known.m_nCMode = 1;
    Put(known.m_szCCmd, 9, "*104#");
    known.m_fLowVal = 12.5f;
    const CfgImage before = Open(known);
    SelectNode(TAB_CFG, kNodeSIM);
    EXPECT_EQ(Text("m_pTxtPIN"), "1234");
    EXPECT_EQ(Text("m_pTxtMCall"), "602123456");
    EXPECT_EQ(Text("m_pTxtMCallMusic"), "17");
    EXPECT_TRUE(Checked("m_pRdbTone3"));
    EXPECT_TRUE(Checked("m_pRdbCMode2"));
    EXPECT_EQ(Text("m_pTxtCCmd"), "*104#");
    EXPECT_EQ(Text("m_pTxtLowVal"), "12,5");
    EXPECT_FALSE(InPane<QLineEdit>("m_pTxtCCmd")->isEnabled());
    EXPECT_TRUE(InPane<QLineEdit>("m_pTxtLowVal")->isEnabled());
    EXPECT_FALSE(Device().m_Cfg.IsModified());
    // The buttons stand for the catalogue's named values in its order: each says its value.
    for (const auto& [key, prefix] :
         {std::pair{"sim.tone", "m_pRdbTone"}, std::pair{"sim.credit.mode", "m_pRdbCMode"}}) {
        const CfgField* field = CfgFindField(key);
        ASSERT_NE(field, nullptr) << key;
        for (size_t i = 0; i < field->choices.size(); ++i) {
            const std::string name = prefix + std::to_string(i + 1);
            auto* button = InPane<QRadioButton>(name.c_str());
            ASSERT_NE(button, nullptr);
            EXPECT_TRUE(button->text().startsWith(QString::fromUtf8(field->choices[i].label)))
                << name;
        }
    }

    Retype(InPane<QLineEdit>("m_pTxtPIN"), "987654321"); // the ninth digit does not fit
    Retype(InPane<QLineEdit>("m_pTxtMCall"), "777888999");
    Retype(InPane<QSpinBox>("m_pUDMCallMusic"), "30");
    Click(InPane<QRadioButton>("m_pRdbTone5")); // "trvalý" = 1
    Click(InPane<QRadioButton>("m_pRdbCMode3"));
    EXPECT_TRUE(InPane<QLineEdit>("m_pTxtCCmd")->isEnabled());
    Retype(InPane<QLineEdit>("m_pTxtCCmd"), "*101#");
    Retype(InPane<QLineEdit>("m_pTxtLowVal"), "7,25");

    CfgImage expected = before;
    Stored(expected.m_szPIN, 9, "98765432");
    Stored(expected.m_szMCall, 21, "777888999");
    expected.m_nMCallMusic = 30;
    expected.m_nTone = 1;
    expected.m_nCMode = 2;
    Stored(expected.m_szCCmd, 9, "*101#");
    expected.m_fLowVal = 7.25f;
    EXPECT_EQ(Differences(Saved(), expected), "");
}

// A value typed into an up-down's edit is taken as typed and, once the edit loses the focus,
// shown at the nearer end of the range; the image gets exactly what is shown. A digit more
// than the maximum has is refused.
TEST_F(GuiPaneTest, UpDownsClampTypedValuesVisiblyWhenTheFocusMoves) {
    ASSERT_TRUE(StartApp());
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    struct Case {
        int node;
        const char *edit, *next, *typed, *asTyped, *shown;
        uint8_t CfgImage::*field;
    };
    for (const Case& c : {
             Case{kNodeCallPars, "m_pTxtMaxNumLen", "m_pTxtAddDir", "30", "30", "24",
                  &CfgImage::m_nMaxNumLen},
             Case{kNodeCallPars, "m_pTxtMaxNumLen", "m_pTxtAddDir", "1", "1", "3",
                  &CfgImage::m_nMaxNumLen},
             Case{kNodeCallPars, "m_pTxtMaxNumLen", "m_pTxtAddDir", "245", "24", "24",
                  &CfgImage::m_nMaxNumLen},
             Case{kNodeSIM, "m_pTxtMCallMusic", "m_pTxtPIN", "300", "300", "255",
                  &CfgImage::m_nMCallMusic},
             Case{kNodeSIM, "m_pTxtMCallMusic", "m_pTxtPIN", "2560", "256", "255",
                  &CfgImage::m_nMCallMusic},
         }) {
        Img().m_nMaxNumLen = 10;
        Img().m_nMCallMusic = 17;
        const CfgImage before = Img();
        Panes().Invalidate(0, PANE_LAST_CFG);
        SelectNode(TAB_CFG, c.node);
        auto* edit = InPane<QLineEdit>(c.edit);
        edit->setFocus();
        Retype(edit, c.typed);
        EXPECT_EQ(edit->text(), c.asTyped) << c.typed;
        InPane<QWidget>(c.next)->setFocus();
        ProcessEvents();
        EXPECT_EQ(edit->text(), c.shown) << c.typed;
        SelectNode(TAB_CFG, kNodeAlarms); // Leave stores
        CfgImage expected = before;
        expected.*c.field = static_cast<uint8_t>(QString::fromLatin1(c.shown).toInt());
        EXPECT_EQ(Differences(Img(), expected), "") << c.typed;
    }
}

// What the threshold's text stores, how the credit buttons enable their edits, and values
// no button stands for.
TEST_F(GuiPaneTest, SIMThresholdEnablingAndUnknownValues) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_CFG, kNodeSIM);
    // A new configuration.
    EXPECT_EQ(Text("m_pTxtPIN"), "7093");
    EXPECT_EQ(Text("m_pTxtMCall"), "");
    EXPECT_EQ(Text("m_pTxtMCallMusic"), "0");
    EXPECT_TRUE(Checked("m_pRdbTone2"));
    EXPECT_TRUE(Checked("m_pRdbCMode1"));
    EXPECT_EQ(Text("m_pTxtLowVal"), "0");

    struct Enabling {
        const char* button;
        bool command, threshold;
    };
    for (const Enabling& e :
         {Enabling{"m_pRdbCMode2", false, true}, Enabling{"m_pRdbCMode3", true, true},
          Enabling{"m_pRdbCMode1", false, false}}) {
        Click(InPane<QRadioButton>(e.button));
        EXPECT_EQ(InPane<QLineEdit>("m_pTxtCCmd")->isEnabled(), e.command) << e.button;
        EXPECT_EQ(InPane<QLineEdit>("m_pTxtLowVal")->isEnabled(), e.threshold) << e.button;
    }

    Click(InPane<QRadioButton>("m_pRdbCMode2"));
    struct Threshold {
        const char* typed;
        float stored;
        const char* shownAgain;
    };
    for (const Threshold& t :
         {Threshold{"12.5", 12.5f, "12,5"}, Threshold{"abc", 0, "0"}, Threshold{"15 Kč", 15, "15"},
          Threshold{"-0,1", -0.1f, "-0,1"}, Threshold{" 3,", 3, "3"}}) {
        Retype(InPane<QLineEdit>("m_pTxtLowVal"), U(t.typed));
        SelectNode(TAB_CFG, kNodeAlarms);
        const float stored = Img().m_fLowVal; // a copy: the packed field is not aligned
        EXPECT_EQ(stored, t.stored) << t.typed;
        SelectNode(TAB_CFG, kNodeSIM); // not stale: the pane keeps what was typed
        Panes().Invalidate(PANE_SIM, PANE_SIM);
        EXPECT_EQ(Text("m_pTxtLowVal"), U(t.shownAgain)) << t.typed;
    }

    // A tone of 7 and a credit mode of 5 check no button and stay.
    // A threshold whose shortest form is longer than the edit's eight characters survives.
    CfgImage known = Img();
    known.m_nTone = 7;
    known.m_nCMode = 5;
    known.m_fLowVal = 1234.5677f;
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_NO);
    const CfgImage before = Open(known);
    for (const char* name : {"m_pRdbTone1", "m_pRdbTone2", "m_pRdbTone3", "m_pRdbTone4",
                             "m_pRdbTone5", "m_pRdbCMode1", "m_pRdbCMode2", "m_pRdbCMode3"})
        EXPECT_FALSE(Checked(name)) << name;
    EXPECT_FALSE(InPane<QLineEdit>("m_pTxtCCmd")->isEnabled());
    EXPECT_TRUE(InPane<QLineEdit>("m_pTxtLowVal")->isEnabled());
    EXPECT_EQ(Text("m_pTxtLowVal"), "1234,5677");
    EXPECT_EQ(Differences(Saved(), before), "");
}

TEST_F(GuiPaneTest, AlarmRoundTripThroughTheFiveNodes) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_CFG, kNodeAlarm1 + 2); // a new configuration, third alarm
    EXPECT_EQ(InPane<QGroupBox>("m_pGrbMain")->title(), "Alarm 3");
    EXPECT_EQ(InPane<QPlainTextEdit>("m_pTxtASMS")->toPlainText(), "Alarm 3");
    EXPECT_EQ(Text("m_pTxtACall"), "");

    CfgImage known = PatternImage();
    for (int i = 0; i < 8; ++i) {
        CfgAlarm& a = known.m_aAlarm[i];
        Put(a.m_szACall, 21, std::to_string(100 + i).c_str());
        Put(a.m_szASMS1, 21, std::to_string(200 + i).c_str());
        Put(a.m_szASMS2, 21, std::to_string(300 + i).c_str());
        Put(a.m_szASMS, 66, ("Po\x9E\xE1r " + std::to_string(i + 1) + "\r\nhned").c_str());
    }
    const CfgImage before = Open(known);
    EXPECT_EQ(Text("m_pTxtACall"), "102");
    SelectNode(TAB_CFG, kNodeAlarm1);
    EXPECT_EQ(Text("m_pTxtASMS1"), "200");
    EXPECT_EQ(Text("m_pTxtASMS2"), "300");
    EXPECT_EQ(InPane<QPlainTextEdit>("m_pTxtASMS")->toPlainText(), "Požár 1\nhned");
    EXPECT_FALSE(Device().m_Cfg.IsModified());

    Retype(InPane<QLineEdit>("m_pTxtACall"), "+420603111222333444555"); // 22: two refused
    // A number takes only what the unit can dial; the rest is refused with a hint.
    Retype(InPane<QLineEdit>("m_pTxtASMS1"), "1 1a+1");
    EXPECT_EQ(Text("m_pTxtASMS1"), "111");
    EXPECT_EQ(StatusText(), U("Znak + smí být jen na začátku čísla."));
    Retype(InPane<QLineEdit>("m_pTxtASMS1"), "11-1");
    EXPECT_TRUE(StatusText().startsWith(U("Mezera, pomlčka ani závorka")))
        << StatusText().toStdString();
    EXPECT_FALSE(InPane<QLineEdit>("m_pTxtASMS1")->toolTip().isEmpty());
    Retype(InPane<QLineEdit>("m_pTxtASMS2"), "");
    auto* memo = InPane<QPlainTextEdit>("m_pTxtASMS");
    Retype(memo, "Voda");
    QTest::keyClick(memo, Qt::Key_Return); // stored as CR LF
    Type(memo, "sklep");
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    // Alarm2 stores alarm 1 and shows alarm 2; back at Alarm1 the edits are there.
    SelectNode(TAB_CFG, kNodeAlarm1 + 1);
    EXPECT_EQ(Text("m_pTxtACall"), "101");
    SelectNode(TAB_CFG, kNodeAlarm1);
    EXPECT_EQ(Text("m_pTxtACall"), "+4206031112223334445");
    EXPECT_EQ(memo->toPlainText(), "Voda\nsklep");

    // Alarm 5 takes a text of exactly 65 characters, a line break counting two; the 66th
    // cannot be typed, and the next record stays as it was.
    SelectNode(TAB_CFG, kNodeAlarm1 + 4);
    const QString full = QString(30, 'a') + '\n' + QString(33, 'b'); // 30 + 2 + 33
    memo->setFocus();
    Retype(memo, QString(30, 'a'));
    QTest::keyClick(memo, Qt::Key_Return);
    Type(memo, QString(33, 'b'));
    EXPECT_EQ(memo->toPlainText(), full);
    Type(memo, "c");
    EXPECT_EQ(memo->toPlainText(), full);
    EXPECT_EQ(StatusText(), U("Text může mít nejvýše 65 znaků."));
    QTest::keyClick(memo, Qt::Key_Return);
    EXPECT_EQ(memo->toPlainText(), full);

    CfgImage expected = before;
    Stored(expected.m_aAlarm[0].m_szACall, 21, "+4206031112223334445");
    Stored(expected.m_aAlarm[0].m_szASMS1, 21, "111");
    Stored(expected.m_aAlarm[0].m_szASMS2, 21, "");
    Stored(expected.m_aAlarm[0].m_szASMS, 66, "Voda\r\nsklep");
    Stored(expected.m_aAlarm[4].m_szASMS, 66,
           (std::string(30, 'a') + "\r\n" + std::string(33, 'b')).c_str());
    const CfgImage saved = Saved();
    EXPECT_EQ(Differences(saved, expected), ""); // records 5 to 7 kept, as every other byte
    EXPECT_EQ(saved.m_aAlarm[4].m_szASMS[65], '\0');
}

// Visiting every pane of this file without edits changes no byte, also where a text's field
// holds old bytes after its end, and never marks the configuration modified.
TEST_F(GuiPaneTest, VisitsWithoutEditsChangeNothing) {
    ASSERT_TRUE(StartApp());
    CfgImage known = PatternImage();
    TerminateTexts(known);
    known.m_fLowVal = 0.1f;
    known.m_nMaxNumLen = 9;
    known.m_nCMode = 1; // any value but 0, 1 would be stored as 2
    const CfgImage before = Open(known);
    for (int node : {kNodeEnDirs, kNodeCallPars, kNodeSIM, kNodeAlarm1, kNodeAlarm1 + 1,
                     kNodeAlarm1 + 2, kNodeAlarm1 + 3, kNodeAlarm1 + 4, kNodeAlarms})
        SelectNode(TAB_CFG, node);
    EXPECT_FALSE(Device().m_Cfg.IsModified());
    EXPECT_EQ(Differences(Img(), before), "");
}

// Images a file or a unit may hold that no pane would make: every pane shown and left without
// an edit gives every byte back as it came, and nothing is marked changed.
TEST_F(GuiPaneTest, VisitsLeaveUnusualButLoadableImagesAsTheyCame) {
    ASSERT_TRUE(StartApp());
    auto eachText = [](CfgImage& image, const std::function<void(char*, size_t)>& put) {
        for (const CfgField& f : CfgCatalogue())
            if (f.kind == CfgKind::Text && !f.IsCarried())
                put(reinterpret_cast<char*>(&image) + f.offset, f.size);
    };
    struct Case {
        const char* name;
        std::function<void(CfgImage&)> make;
    };
    const Case cases[] = {
        {"bare line feeds and a lone CR in the memos",
         [](CfgImage& image) {
             for (CfgAlarm& a : image.m_aAlarm)
                 Put(a.m_szASMS, sizeof a.m_szASMS, "Poplach\nvstup 1\rkonec");
             Put(image.m_szResetTxt, sizeof image.m_szResetTxt, "Reset\nOK\n");
             Put(image.m_szCreditTxt, sizeof image.m_szCreditTxt, "\nKredit");
         }},
        {"texts that fill their fields without a terminator",
         [&](CfgImage& image) {
             eachText(image, [](char* field, size_t width) { std::memset(field, '7', width); });
         }},
        {"bytes after the terminators",
         [&](CfgImage& image) {
             eachText(image, [](char* field, size_t width) { Put(field, width, "12"); });
         }},
        {"choices no button stands for, flags neither 0 nor 1",
         [](CfgImage& image) {
             for (const CfgField& f : CfgCatalogue()) {
                 if (f.kind == CfgKind::Flag)
                     reinterpret_cast<uint8_t*>(&image)[f.offset] = 2;
                 if (f.kind != CfgKind::Choice)
                     continue;
                 int value = 255;
                 auto named = [&](int v) {
                     for (const CfgChoice& c : f.choices)
                         if (c.value == v)
                             return true;
                     return f.min <= f.max && v >= f.min && v <= f.max;
                 };
                 while (named(value))
                     --value;
                 reinterpret_cast<uint8_t*>(&image)[f.offset] = static_cast<uint8_t>(value);
             }
         }},
        {"a threshold that is not a number",
         [](CfgImage& image) {
             const uint32_t bits = 0x7FC12345; // a quiet NaN with a payload
             std::memcpy(&image.m_fLowVal, &bits, sizeof bits);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CfgImage image;
        SetDefaults(image);
        c.make(image);
        const CfgImage before = Open(image); // a text without its end is given one here
        for (int node = 0; node <= kNodeAlarm1 + 4; ++node)
            SelectNode(TAB_CFG, node);
        SelectNode(TAB_STATE, 0);
        EXPECT_FALSE(Device().m_Cfg.IsModified());
        EXPECT_EQ(Differences(Img(), before), "");
        SelectNode(TAB_CFG, 0);
    }
}
