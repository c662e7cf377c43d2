// The configuration panes against the real image: what each control shows, the user's input
// through QtTest, and the bytes that Leave changes; the limits, the values no button stands
// for, the item dialogs, and a configuration that goes from the virtual unit through every
// pane, a file and back to the unit.
#include "tests/gui/GuiFixture.h"

#include "base/Cp1250.h"
#include "config/CfgImage.h"
#include "config/DlgRenum.h"
#include "config/DlgSetEnDir.h"
#include "config/PaneCtl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

using Bytes = std::vector<uint8_t>;

// A text field of `width` bytes holding `utf8` (in CP1250), zeros after it.
Bytes Text(const char* utf8, size_t width) {
    std::string cp;
    EXPECT_TRUE(tk::Utf8ToCp1250(utf8, cp));
    Bytes b(width, 0);
    std::memcpy(b.data(), cp.data(), std::min(cp.size(), width));
    return b;
}

// What a control shows, as one string; " (off)" when it is disabled.
std::string Shown(QWidget* w) {
    std::string s;
    if (auto* e = qobject_cast<QLineEdit*>(w))
        s = e->text().toStdString();
    else if (auto* m = qobject_cast<QPlainTextEdit*>(w))
        s = m->toPlainText().toStdString();
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        s = b->isChecked() ? "on" : "off";
    else if (auto* sl = qobject_cast<QSlider*>(w))
        s = std::to_string(sl->value());
    else if (auto* l = qobject_cast<QLabel*>(w))
        s = l->text().toStdString();
    else if (auto* t = qobject_cast<QTreeWidget*>(w)) {
        for (int r = 0; r < t->topLevelItemCount(); ++r)
            for (int c = 0; c < 3; ++c)
                s += t->topLevelItem(r)->text(c).toStdString() + (c < 2 ? "|" : ";");
    }
    return w->isEnabled() ? s : s + " (off)";
}

void Type(QWidget* w, const char* utf8) {
    w->setFocus();
    QTest::keyClick(w, Qt::Key_A, Qt::ControlModifier);
    // Each character as the key event of its text (QtTest maps only part of ASCII to keys).
    for (QChar c : QString::fromUtf8(utf8)) {
        if (c == '\n')
            QTest::keyClick(w, Qt::Key_Return);
        else
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), {});
    }
}

// Runs `inside` on a dialog (the renumbering item's unless told) once `open` shows it modally.
template <typename Dlg = TFrmRenumItem>
void WithItemDialog(const std::function<void()>& open,
                    const std::type_identity_t<std::function<void(Dlg*)>>& inside) {
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (!dlg || seen)
            return;
        seen = true;
        inside(dlg);
    });
    poll.start(10);
    open();
    EXPECT_TRUE(seen);
}

struct Field {
    size_t offset;
    Bytes before, after;
};
struct Control {
    const char* name;
    std::string shown, shownAfter;
    std::function<void(QWidget*)> input; // null: only shown
};
struct PaneCase {
    const char* name;
    int node;
    std::vector<Field> fields;
    std::vector<Control> controls;
};

// Near the left edge: a button takes clicks only on its indicator and caption.
auto Click = [](QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
};
auto Key = [](Qt::Key key, int times = 1) {
    return [key, times](QWidget* w) {
        for (int i = 0; i < times; ++i)
            QTest::keyClick(w, key);
    };
};
auto Typed = [](std::string utf8) { return [utf8](QWidget* w) { Type(w, utf8.c_str()); }; };

#define AT(m) offsetof(CfgImage, m)
#define RENUM(i, m) (AT(m_aRenum) + sizeof(CfgRenumItem) * (i) + offsetof(CfgRenumItem, m))
#define ALARM(i, m) (AT(m_aAlarm) + sizeof(CfgAlarm) * (i) + offsetof(CfgAlarm, m))
#define ENDIR(i) (AT(m_aszEnDir) + 8 * (i))

const std::string k64(64, 'x');

// The sixteen rows of the enabled directions as Shown gives them: the defaults 1..9, 0 and
// six empty rows, with the given rows replaced.
std::string DirRows(const std::vector<std::pair<int, const char*>>& changed) {
    std::vector<std::string> rows = {"1", "2", "3", "4", "5", "6", "7", "8",
                                     "9", "0", "-", "-", "-", "-", "-", "-"};
    for (const auto& [row, text] : changed)
        rows[static_cast<size_t>(row)] = text;
    std::string s;
    for (const std::string& r : rows)
        s += r + "||;";
    return s;
}

// A click on a row of a list, as the user selects it.
void ClickRow(QTreeWidget* list, int row) {
    const QPoint at = list->visualItemRect(list->topLevelItem(row)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
}

std::vector<PaneCase> Cases() {
    const Field empty2{RENUM(2, m_szENum), Bytes(42, 0), Text("33", 21)};
    return {
        {"EnDirs",
         1,
         {{ENDIR(2), Text("602", 8), Text("42", 8)}, {ENDIR(5), Text("7", 8), Bytes(8, 0)}},
         {{"m_pLsvEnDirs", DirRows({{2, "602"}, {5, "7"}}), DirRows({{2, "42"}, {5, "-"}}),
           [](QWidget* w) {
               auto* lsv = static_cast<QTreeWidget*>(w);
               auto* frame = lsv->window();
               ClickRow(lsv, 2);
               WithItemDialog<TFrmSetEnDir>(
                   [&] {
                       QTest::mouseClick(frame->findChild<QPushButton*>("m_pBtnSet"),
                                         Qt::LeftButton);
                   },
                   [](TFrmSetEnDir* dlg) {
                       EXPECT_EQ(Shown(dlg->findChild<QLineEdit*>("m_pTxtEnDir")), "602");
                       Type(dlg->findChild<QLineEdit*>("m_pTxtEnDir"), "42");
                       QTest::mouseClick(dlg->findChild<QPushButton*>("m_pBtnOk"), Qt::LeftButton);
                   });
               ClickRow(lsv, 5);
               QTest::mouseClick(frame->findChild<QPushButton*>("m_pBtnDel"), Qt::LeftButton);
           }}}},
        {"CallPars",
         2,
         {{AT(m_szAddDir), Text("12", 8), Text("0042", 8)},
          {AT(m_szDelNum), Text("999", 8), Text("9", 8)},
          {AT(m_nMaxNumLen), {15}, {24}}},
         {{"m_pTxtAddDir", "12", "0042", Typed("0042")},
          {"m_pTxtDelNum", "999", "9", Typed("9")},
          {"m_pTxtMaxNumLen", "15", "24", Typed("30")}}},
        {"SIM",
         4,
         {{AT(m_szPIN), Text("1234", 9), Text("4321", 9)},
          {AT(m_nMCallMusic), {17}, {255}},
          {AT(m_nTone), {3}, {1}},
          {AT(m_nCMode), {1}, {2}},
          {AT(m_szCCmd), Text("*104#", 9), Text("*101#", 9)}},
         {{"m_pTxtPIN", "1234", "4321", Typed("4321")},
          {"m_pTxtMCallMusic", "17", "255", Typed("300")},
          {"m_pRdbTone3", "on", "off", nullptr},
          {"m_pRdbTone5", "off", "on", Click},
          {"m_pTxtCCmd", "*104# (off)", "*101#", nullptr},
          {"m_pRdbCMode3", "off", "on", Click},
          {"m_pTxtCCmd", "*104#", "*101#", Typed("*101#")}}},
        {"Alarm",
         9,
         {{ALARM(0, m_szACall), Text("600111", 21), Text("+420600222", 21)},
          {ALARM(0, m_szASMS), Text("Požár", 66), Text("Voda\r\nsklep", 66)}},
         {{"m_pTxtACall", "600111", "+420600222", Typed("+420600222")},
          {"m_pTxtASMS", "Požár", "Voda\nsklep", Typed("Voda\nsklep")}}},
        {"Sms",
         5,
         {{AT(m_nSMSMode), {1}, {2}},
          {AT(m_szForwardNum), Text("+420601", 21), Text("+420777123456", 21)},
          {AT(m_szInfoSMS), Text("602", 21), Text("+420602000111", 21)},
          {AT(m_szResetTxt), Text("Restart", 65), Text(k64.c_str(), 65)},
          {AT(m_szCreditTxt), Text("Kredit", 65), Text("Kredit\r\nnízký", 65)}},
         {{"m_pRdbMode1", "off", "off", nullptr},
          {"m_pRdbMode2", "on", "off", nullptr},
          {"m_pTxtForwardNum", "+420601 (off)", "+420777123456", nullptr},
          {"m_pRdbMode3", "off", "on", Click},
          {"m_pTxtForwardNum", "+420601", "+420777123456", Typed("+420777123456")},
          {"m_pTxtInfoSMS", "602", "+420602000111", Typed("+420602000111")},
          // One character more than the field's room is refused.
          {"m_pTxtResetTxt", "Restart", k64, Typed(k64 + "y")},
          {"m_pTxtCreditTxt", "Kredit", "Kredit\nnízký", Typed("Kredit\nnízký")}}},
        {"TimePars",
         6,
         {{AT(m_nRRingLen), {10}, {12}},
          {AT(m_nDDelay), {20}, {255}},
          {AT(m_nDTimeout1), {30}, {0}},
          {AT(m_nDTimeout2), {40}, {39}}},
         {{"m_pTxtRRingLen", "10", "12", Key(Qt::Key_Up, 2)},
          {"m_pTxtDDelay", "20", "255", Typed("300")},
          {"m_pTxtDTimeout1", "30", "0", Typed("0")},
          {"m_pTxtDTimeout2", "40", "39", Key(Qt::Key_Down)}}},
        {"Basic",
         7,
         {{AT(m_nSCode), {1}, {0}},
          {AT(m_nTariff), {61}, {30}},
          {AT(m_nAIn), {64}, {100}},
          {AT(m_nAOut), {20}, {0}},
          {AT(m_nRAccess), {0}, {1}}},
         {{"m_pRdbSCode2", "on", "off", nullptr},
          {"m_pRdbSCode1", "off", "on", Click},
          {"m_pRdbTariff2", "on", "off", nullptr},
          {"m_pTxtTariff4", "1 (off)", "30", nullptr},
          {"m_pRdbTariff4", "off", "on", Click},
          {"m_pTxtTariff4", "1", "30", Typed("30")},
          // The level beside each slider is the stored value, and follows the slider.
          {"m_pLblAInValue", "64", "100", nullptr},
          {"m_pTBrAIn", "36", "0", Key(Qt::Key_Home)},
          {"m_pLblAInValue", "100", "100", nullptr},
          {"m_pTBrAOut", "80", "100", Key(Qt::Key_End)},
          {"m_pLblAOutValue", "0", "0", nullptr},
          {"m_pChbRAccess", "off", "on", Click}}},
        {"Renum",
         3,
         {{AT(m_nRenumEnable), {1}, {0}},
          {AT(m_nPDDelay), {5}, {7}},
          {AT(m_nPDWidth), {4}, {10}},
          {RENUM(0, m_szENum), Text("12", 21), Text("12", 21)},
          {RENUM(0, m_szRNum), Text("603111222", 21), Text("603111222", 21)},
          {RENUM(0, m_nMode), {0}, {0}},
          {RENUM(1, m_szENum), Text("2", 21), Text("2", 21)},
          {RENUM(1, m_nMode), {1}, {1}},
          empty2,
          {RENUM(2, m_szRNum), Bytes(21, 0), Text("+420600", 21)},
          {RENUM(2, m_nMode), {255}, {1}},
          {RENUM(3, m_szENum), Text("9", 21), Text("98", 21)},
          {RENUM(3, m_nMode), {7}, {7}},
          {RENUM(4, m_szENum), Text("44", 21), Bytes(21, 0)},
          {RENUM(4, m_szRNum), Text("4400", 21), Bytes(21, 0)},
          {RENUM(4, m_nMode), {1}, {255}}},
         {{"iChbEnable", "on", "off", Click},
          {"iTxtPDDelay", "5", "7", Typed("7")},
          {"iTxtPDWidth", "4", "10", Typed("11")},
          {"iLsvRenum",
           "12|603111222|náhradní volba;2||dodatečná volba;||;9||7;44|4400|dodatečná volba;",
           "12|603111222|náhradní volba;2||dodatečná volba;33|+420600|dodatečná volba;98||7;||;",
           [](QWidget* w) {
               auto* lsv = static_cast<QTreeWidget*>(w);
               auto* frame = lsv->window();
               // "Přidat" fills the first empty row, whichever row is selected.
               auto* add = frame->findChild<QPushButton*>("iBtnAdd");
               lsv->setCurrentItem(lsv->topLevelItem(0));
               WithItemDialog([&] { add->click(); },
                              [](TFrmRenumItem* dlg) {
                                  EXPECT_EQ(dlg->Index(), 2);
                                  // An empty row offers empty edits and substitute dialling.
                                  EXPECT_EQ(Shown(dlg->findChild<QLineEdit*>("iTxtENum")), "");
                                  EXPECT_EQ(Shown(dlg->findChild<QWidget*>("iRdbInitDial")), "on");
                                  Type(dlg->findChild<QLineEdit*>("iTxtENum"), "33");
                                  Type(dlg->findChild<QLineEdit*>("iTxtRNum"), "+420600");
                                  Click(dlg->findChild<QWidget*>("iRdbPostDial"));
                                  dlg->findChild<QPushButton*>("iBtnOk")->click();
                              });
               EXPECT_EQ(lsv->currentItem(), lsv->topLevelItem(2));
               EXPECT_FALSE(add->isEnabled()); // no row is empty now
               // A mode no button stands for: neither checked, kept with Ok.
               WithItemDialog(
                   [&] {
                       const QPoint at = lsv->visualItemRect(lsv->topLevelItem(3)).center();
                       QTest::mouseClick(lsv->viewport(), Qt::LeftButton, {}, at);
                       QTest::mouseDClick(lsv->viewport(), Qt::LeftButton, {}, at);
                   },
                   [](TFrmRenumItem* dlg) {
                       EXPECT_EQ(dlg->Index(), 3);
                       EXPECT_EQ(Shown(dlg->findChild<QWidget*>("iRdbInitDial")), "off");
                       EXPECT_EQ(Shown(dlg->findChild<QWidget*>("iRdbPostDial")), "off");
                       Type(dlg->findChild<QLineEdit*>("iTxtENum"), "98");
                       dlg->findChild<QPushButton*>("iBtnOk")->click();
                   });
               lsv->setCurrentItem(lsv->topLevelItem(4));
               frame->findChild<QPushButton*>("iBtnDel")->click();
               EXPECT_TRUE(add->isEnabled());
           }}}},
    };
}

void Apply(CfgImage& image, const std::vector<Field>& fields, bool after) {
    auto* bytes = reinterpret_cast<uint8_t*>(&image);
    for (const Field& f : fields) {
        const Bytes& b = after ? f.after : f.before;
        std::memcpy(bytes + f.offset, b.data(), b.size());
    }
}

} // namespace

class GuiSettingsPanesTest : public GuiTest {
protected:
    // Shows the pane and checks what every control shows, then gives the input of each.
    void Visit(const PaneCase& pc, bool after, bool input) {
        SelectNode(TAB_CFG, pc.node);
        for (const Control& c : pc.controls) {
            QWidget* w = Find<QWidget>(c.name);
            ASSERT_NE(w, nullptr) << c.name;
            EXPECT_EQ(Shown(w), after ? c.shownAfter : c.shown) << pc.name << " " << c.name;
            if (input && c.input)
                c.input(w);
        }
    }
    void Activate() {
        Main().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    }
};

class GuiPaneRoundTrip : public GuiSettingsPanesTest,
                         public ::testing::WithParamInterface<PaneCase> {};

TEST_P(GuiPaneRoundTrip, ShowsTheImageTakesTheInputAndChangesExactlyItsFields) {
    const PaneCase& pc = GetParam();
    ASSERT_TRUE(StartApp());
    Activate();
    CfgImage& image = *Device().m_Cfg.GetImage();
    Apply(image, pc.fields, false);
    const CfgImage before = image;
    Panes().Invalidate(0, PANE_LAST_CFG);
    Visit(pc, false, true);
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    SelectNode(TAB_CFG, 8); // a category: the pane is left
    CfgImage expected = before;
    Apply(expected, pc.fields, true);
    const auto* got = reinterpret_cast<const uint8_t*>(&image);
    const auto* want = reinterpret_cast<const uint8_t*>(&expected);
    for (size_t i = 0; i < CFG_IMAGE_SIZE; ++i)
        EXPECT_EQ(got[i], want[i]) << pc.name << " byte 0x" << std::hex << i;
    // Shown again from the image, the pane shows what was entered.
    Panes().Invalidate(0, PANE_LAST_CFG);
    Visit(pc, true, false);
}

INSTANTIATE_TEST_SUITE_P(Panes, GuiPaneRoundTrip, ::testing::ValuesIn(Cases()),
                         [](const auto& param) { return std::string(param.param.name); });

TEST_F(GuiSettingsPanesTest, ANewConfigurationShowsItsDefaultsAndFillingMarksNothing) {
    ASSERT_TRUE(StartApp());
    const std::pair<int, std::vector<std::pair<const char*, std::string>>> panes[] = {
        {5, {{"m_pRdbMode1", "on"}, {"m_pTxtForwardNum", " (off)"}, {"m_pTxtResetTxt", ""}}},
        {6,
         {{"m_pTxtRRingLen", "8"},
          {"m_pTxtDDelay", "3"},
          {"m_pTxtDTimeout1", "60"},
          {"m_pTxtDTimeout2", "5"}}},
        {7,
         {{"m_pRdbSCode1", "on"},
          {"m_pRdbTariff1", "on"},
          {"m_pTxtTariff4", "1 (off)"},
          {"m_pTBrAIn", "36"},
          {"m_pTBrAOut", "36"},
          {"m_pChbRAccess", "off"}}},
        {3,
         {{"iChbEnable", "on"},
          {"iTxtPDDelay", "5"},
          {"iTxtPDWidth", "4"},
          {"iLsvRenum", "||;||;||;||;||;"},
          {"iBtnSet", "off (off)"}}},
    };
    for (const auto& [node, shown] : panes) {
        SelectNode(TAB_CFG, node);
        for (const auto& [name, text] : shown)
            EXPECT_EQ(Shown(Find<QWidget>(name)), text) << name;
    }
    EXPECT_FALSE(Device().m_Cfg.IsModified());
}

TEST_F(GuiSettingsPanesTest, ValuesWithoutAButtonAreKeptAndTheForwardNumberSurvivesDisabled) {
    ASSERT_TRUE(StartApp());
    CfgImage& image = *Device().m_Cfg.GetImage();
    for (uint8_t tariff : {62, 64, 255}) {
        image.m_nSMSMode = 3;
        image.m_nTariff = tariff;
        Panes().Invalidate(0, PANE_LAST_CFG);
        SelectNode(TAB_CFG, 5);
        for (const char* rdb : {"m_pRdbMode1", "m_pRdbMode2", "m_pRdbMode3"})
            EXPECT_EQ(Shown(Find<QWidget>(rdb)), "off");
        SelectNode(TAB_CFG, 7);
        for (const char* rdb : {"m_pRdbTariff1", "m_pRdbTariff2", "m_pRdbTariff3", "m_pRdbTariff4"})
            EXPECT_EQ(Shown(Find<QWidget>(rdb)), "off");
        EXPECT_EQ(Shown(Find<QWidget>("m_pTxtTariff4")), "1 (off)");
        SelectNode(TAB_CFG, 4);
        EXPECT_EQ(image.m_nSMSMode, 3);
        EXPECT_EQ(image.m_nTariff, tariff);
    }
    EXPECT_FALSE(Device().m_Cfg.IsModified());

    SelectNode(TAB_CFG, 5);
    Click(Find<QWidget>("m_pRdbMode3"));
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    Type(Find<QWidget>("m_pTxtForwardNum"), "+420603");
    Click(Find<QWidget>("m_pRdbMode1"));
    EXPECT_EQ(Shown(Find<QWidget>("m_pTxtForwardNum")), "+420603 (off)");
    SelectNode(TAB_CFG, 4);
    EXPECT_EQ(image.m_nSMSMode, 0);
    EXPECT_STREQ(image.m_szForwardNum, "+420603");
}

// Text committed by an input method (compose keys, an emoji picker) passes no key press: the
// memos check it as it lands, refuse what their field cannot hold with a word, and keep the
// rest, which reaches the image when the pane is left.
// Every memo of the configuration keeps to its field alike: a paste that is too long is cut
// at the room, text from an input method is checked as it lands.
TEST_F(GuiSettingsPanesTest, MemosCutLongPastesCheckInputMethodTextAndKeepWhatTheyAccept) {
    ASSERT_TRUE(StartApp());
    struct Memo {
        int node;
        const char* name;
        size_t offset;
        size_t room;
    };
    for (const Memo& m :
         {Memo{5, "m_pTxtResetTxt", offsetof(CfgImage, m_szResetTxt), 64},
          Memo{5, "m_pTxtCreditTxt", offsetof(CfgImage, m_szCreditTxt), 64},
          Memo{9, "m_pTxtASMS", offsetof(CfgImage, m_aAlarm) + offsetof(CfgAlarm, m_szASMS), 65}}) {
        SCOPED_TRACE(m.name);
        SelectNode(TAB_CFG, m.node);
        auto* memo = Find<QPlainTextEdit>(m.name);
        ASSERT_NE(memo, nullptr);
        memo->setFocus();
        memo->selectAll();
        const QString pasted(static_cast<qsizetype>(m.room) + 5, 'y');
        QApplication::clipboard()->setText(pasted);
        Main().statusBar()->clearMessage();
        memo->paste();
        EXPECT_EQ(memo->toPlainText(), pasted.left(static_cast<qsizetype>(m.room)));
        EXPECT_FALSE(Main().statusBar()->currentMessage().isEmpty());
        memo->selectAll();
        auto commit = [memo](const QString& text) {
            QInputMethodEvent ev;
            ev.setCommitString(text);
            QApplication::sendEvent(memo, &ev);
        };
        Main().statusBar()->clearMessage();
        commit(U("Šárka\nř"));
        EXPECT_EQ(memo->toPlainText(), U("Šárka\nř"));
        EXPECT_TRUE(Main().statusBar()->currentMessage().isEmpty());
        for (const QString& refused : {U("😀"), QString(static_cast<qsizetype>(m.room), 'x')}) {
            commit(refused);
            EXPECT_EQ(memo->toPlainText(), U("Šárka\nř"));
            EXPECT_FALSE(Main().statusBar()->currentMessage().isEmpty());
            Main().statusBar()->clearMessage();
        }
        SelectNode(TAB_CFG, 4);
        const char* field = reinterpret_cast<const char*>(Device().m_Cfg.GetImage()) + m.offset;
        EXPECT_STREQ(field, "\x8a\xe1rka\r\n\xf8");
    }
}

TEST_F(GuiSettingsPanesTest, UpDownsClampTypedValuesVisiblyAndStayInTheirRange) {
    ASSERT_TRUE(StartApp());
    Activate();
    SelectNode(TAB_CFG, 6);
    auto* ring = Find<QLineEdit>("m_pTxtRRingLen");
    Type(ring, "300");
    Find<QWidget>("m_pUDDDelay")->setFocus(); // the edit loses the focus
    ProcessEvents();
    EXPECT_EQ(Shown(ring), "255");
    SelectNode(TAB_CFG, 4);
    EXPECT_EQ(Device().m_Cfg.GetImage()->m_nRRingLen, 255);

    SelectNode(TAB_CFG, 7);
    Click(Find<QWidget>("m_pRdbTariff4"));
    auto* interval = Find<QSpinBox>("m_pUDTariff4");
    interval->setValue(59);
    QTest::keyClick(interval, Qt::Key_Up, {}, 0);
    QTest::keyClick(interval, Qt::Key_Up);
    EXPECT_EQ(interval->value(), 60);

    // A DTMF change marks the configuration modified; a length below 3 becomes 3.
    SelectNode(TAB_CFG, 3);
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_NO);
    Action("m_pActCfgNew")->trigger();
    EXPECT_FALSE(Device().m_Cfg.IsModified());
    Type(Find<QLineEdit>("iTxtPDDelay"), "9");
    EXPECT_TRUE(Device().m_Cfg.IsModified());
    EXPECT_NE(Main().windowTitle().indexOf('*'), -1);
    Type(Find<QLineEdit>("iTxtPDWidth"), "2");
    SelectNode(TAB_CFG, 4);
    EXPECT_EQ(Device().m_Cfg.GetImage()->m_nPDDelay, 9);
    EXPECT_EQ(Device().m_Cfg.GetImage()->m_nPDWidth, 3);
}

TEST_F(GuiSettingsPanesTest, CancellingTheItemDialogLeavesTheEntryAndTheFlag) {
    ASSERT_TRUE(StartApp());
    CfgRenumItem& item = Device().m_Cfg.GetImage()->m_aRenum[1];
    std::strcpy(item.m_szENum, "5");
    item.m_nMode = RENUM_ADDITIONAL;
    const CfgRenumItem before = item;
    Panes().Invalidate(0, PANE_LAST_CFG);
    SelectNode(TAB_CFG, 3);
    auto* lsv = Find<QTreeWidget>("iLsvRenum");
    lsv->setCurrentItem(lsv->topLevelItem(1));
    EXPECT_EQ(Shown(Find<QWidget>("iBtnDel")), "off");
    WithItemDialog([&] { Find<QPushButton>("iBtnSet")->click(); },
                   [](TFrmRenumItem* dlg) {
                       EXPECT_EQ(Shown(dlg->findChild<QWidget*>("iRdbPostDial")), "on");
                       Type(dlg->findChild<QLineEdit*>("iTxtENum"), "777");
                       dlg->findChild<QPushButton*>("iBtnCancel")->click();
                   });
    EXPECT_EQ(std::memcmp(&item, &before, sizeof item), 0);
    EXPECT_FALSE(Device().m_Cfg.IsModified());
}

TEST_F(GuiSettingsPanesTest, AConfigurationFromTheUnitEditedSavedOpenedAndWrittenArrivesAsShown) {
    // The unit holds the known values of every case; the panes edit them.
    CfgImage unit;
    SetDefaults(unit);
    CfgImage expected = unit;
    for (const PaneCase& pc : Cases()) {
        Apply(unit, pc.fields, false);
        Apply(expected, pc.fields, true);
    }
    std::vector<uint8_t> memory(CFG_DEVICE_SIZE);
    ImageToDevice(memory.data(), unit);
    ASSERT_TRUE(StartApp());
    Activate();
    ASSERT_TRUE(Unit().SetConfigMemory(memory));
    Action("m_pActCfgRead")->trigger();
    ASSERT_TRUE(WaitIdle());
    for (const PaneCase& pc : Cases())
        Visit(pc, false, true);
    // The other alarms are shown too; showing them changes no byte.
    for (int node : {10, 11, 12, 13})
        SelectNode(TAB_CFG, node);
    prompts.ExpectSaveFile(dir.File("edited.cfg"));
    Action("m_pActCfgSaveAs")->trigger();
    Action("m_pActCfgNew")->trigger();
    prompts.ExpectOpenFile(dir.File("edited.cfg"));
    Action("m_pActCfgOpen")->trigger();
    for (const PaneCase& pc : Cases())
        Visit(pc, true, false);
    prompts.ExpectWriteChanges("Zapsat do jednotky", PROMPT_YES);
    Action("m_pActCfgWrite")->trigger();
    ASSERT_TRUE(WaitIdle());
    std::vector<uint8_t> want(CFG_DEVICE_SIZE);
    ImageToDevice(want.data(), expected);
    const auto got = Unit().ConfigMemory();
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = CFG_DEVICE_OFFSET; i < want.size(); ++i)
        EXPECT_EQ(got[i], want[i]) << "device byte 0x" << std::hex << i;

    // Read back as an image, what the unit holds now differs from what it held exactly in
    // the bytes the panes' edits changed, in every pane.
    CfgImage held{}, now{};
    DeviceToImage(held, memory.data());
    DeviceToImage(now, got.data());
    const auto* pHeld = reinterpret_cast<const uint8_t*>(&held);
    const auto* pNow = reinterpret_cast<const uint8_t*>(&now);
    std::vector<bool> edited(CFG_IMAGE_SIZE);
    for (const PaneCase& pc : Cases()) {
        size_t changed = 0;
        for (const Field& f : pc.fields)
            for (size_t i = 0; i < std::min(f.before.size(), f.after.size()); ++i)
                if (f.before[i] != f.after[i]) {
                    edited[f.offset + i] = true;
                    changed += pNow[f.offset + i] == f.after[i];
                }
        EXPECT_GT(changed, 0U) << pc.name;
    }
    for (size_t i = 0; i < CFG_IMAGE_SIZE; ++i)
        EXPECT_EQ(pNow[i] != pHeld[i], edited[i]) << "image byte 0x" << std::hex << i;
    EXPECT_TRUE(prompts.Done());
}
