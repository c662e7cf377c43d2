// The status panes against the virtual unit: what the fields show for the records the events
// bring, the output buttons' command on the line, a hidden pane's staleness, the signal's
// history with a gap for a poll the unit did not answer, and the clock's drift.
#include "tests/gui/GuiFixture.h"

#include "app/PaneFrame.h"
#include "app/ShellRules.h"
#include "link/ComNotify.h"
#include "link/Commands.h"
#include "status/PaneGSM.h"
#include "status/PaneStale.h"
#include "status/PaneTime.h"
#include "status/StatusText.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDateEdit>
#include <QDateTime>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

class GuiStatusTest : public GuiTest {
protected:
    void GoOnline() {
        Action("m_pActOnline")->trigger();
        ASSERT_TRUE(WaitIdle());
        ASSERT_TRUE(Device().m_Com.IsOnline());
    }
    std::string Text(const char* edit) { return Find<QLineEdit>(edit)->text().toStdString(); }
    void Deliver(int code, const CDevStatus& s) {
        UI().OnNotify(CComEvent{code, 0, s, nullptr, nullptr});
    }
    QTreeWidget* List() { return Find<QTreeWidget>("m_pLsvIO"); }
    std::string Column(int column) {
        std::string out;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            out += List()->topLevelItem(i)->text(column).toStdString();
        return out;
    }
    const CSignalHistory& History() {
        return static_cast<CPaneGSM*>(Panes().GetPane(PANE_GSM))->History();
    }
};

TEST_F(GuiStatusTest, FieldsShowTheRecordsInTheirFormats) {
    ASSERT_TRUE(StartApp());
    struct Row {
        uint8_t fwMajor, fwMinor;
        uint32_t hwMajor;
        uint8_t hwMinor;
        uint32_t serial;
        uint32_t gsm, sim, net, signal;
        float credit;
        uint32_t bts;
        const char *fw, *hw, *ser, *gsmText, *simText, *netText, *creditText, *btsText;
        int bar;
        const char* dbm;
    };
    const Row rows[] = {
        // At start: zeros.
        {0,
         0,
         0,
         0,
         0,
         0,
         0,
         0,
         0,
         0.0f,
         0,
         "0.00",
         "0.00",
         "00000000",
         "neaktivní",
         "nespecifikovaný stav",
         "vyhledávání",
         "0,00",
         "0000",
         0,
         "-113 dBm"},
        {2,
         3,
         2,
         10,
         7,
         4,
         6,
         4,
         17,
         12.5f,
         255,
         "2.03",
         "2.10",
         "00000007",
         "spojený hovor",
         "chybný PIN",
         "roaming",
         "12,50",
         "00FF",
         17,
         "-79 dBm"},
        // A serial of seven digits, states without a name, no credit, a figure beyond the bar.
        {1,      5,       12,         0,  1234567, 7,  9,  5,      40, std::nanf(""), 0xABCD,
         "1.05", "12.00", "01234567", "", "",      "", "", "ABCD", 32, "neznámý"},
        {10,       99,      0,       1,          99999999,
         1,        2,       1,       99,         -3.456f,
         0x1A2B,   "10.99", "0.01",  "99999999", "klidový stav",
         "OK",     "OK",    "-3,46", "1A2B",     32,
         "neznámý"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.ser);
        CDevStatus s;
        s.m_DevId.m_nFWMajor = r.fwMajor;
        s.m_DevId.m_nFWMinor = r.fwMinor;
        s.m_DevId.m_nHWMajor = r.hwMajor;
        s.m_DevId.m_nHWMinor = r.hwMinor;
        s.m_DevId.m_nSerNum = r.serial;
        std::strcpy(s.m_DevId.m_szName, "Vr\xE1tnice"); // CP1250 "á"
        std::strcpy(s.m_DevId.m_szIMEI, "356000012345678");
        s.m_GSM.m_nGSMState = r.gsm;
        s.m_GSM.m_nSIMState = r.sim;
        s.m_GSM.m_nNetState = r.net;
        s.m_GSM.m_nSignal = r.signal;
        s.m_GSM.m_fCredit1 = r.credit;
        s.m_GSM.m_nBTS = r.bts;
        s.m_GSM.m_nWAC = r.serial % 1000;
        std::strcpy(s.m_GSM.m_szOperator, "\x8A"
                                          "koda Net"); // CP1250 "Š"
        SelectNode(TAB_STATE, 0);
        Deliver(CE_DEVID, s);
        EXPECT_EQ(Text("m_pTxtFWVer"), r.fw);
        EXPECT_EQ(Text("m_pTxtHWVer"), r.hw);
        EXPECT_EQ(Text("m_pTxtSerNum"), r.ser);
        EXPECT_EQ(Text("m_pTxtName"), "Vrátnice");
        EXPECT_EQ(Text("m_pTxtIMEI"), "356000012345678");
        SelectNode(TAB_STATE, 1);
        Deliver(CE_GSM, s);
        EXPECT_EQ(Text("m_pTxtGSMME"), r.gsmText);
        EXPECT_EQ(Text("m_pTxtSIM"), r.simText);
        EXPECT_EQ(Text("m_pTxtNet"), r.netText);
        EXPECT_EQ(Text("m_pTxtCredit1"), r.creditText);
        EXPECT_EQ(Text("m_pTxtBTS"), r.btsText);
        EXPECT_EQ(Text("m_pTxtWAC"), std::to_string(r.serial % 1000));
        EXPECT_EQ(Text("m_pTxtOperator"), "Škoda Net");
        EXPECT_EQ(Find<QProgressBar>("m_pPrbSignal")->value(), r.bar);
        EXPECT_EQ(Find<QLabel>("m_pLblDbm")->text().toStdString(), r.dbm);
    }
}

TEST_F(GuiStatusTest, OutputButtonsSetTheSelectedChannelsOnTheUnit) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_STATE, 3);
    auto* set1 = Find<QPushButton>("m_pBtnSet1");
    auto* set0 = Find<QPushButton>("m_pBtnSet0");
    ASSERT_EQ(List()->topLevelItemCount(), 5);
    EXPECT_EQ(List()->topLevelItem(4)->text(0).toStdString(), "IO5");
    EXPECT_FALSE(set1->isEnabled());
    EXPECT_FALSE(set0->isEnabled());
    List()->topLevelItem(0)->setSelected(true);
    List()->topLevelItem(2)->setSelected(true);
    EXPECT_TRUE(set1->isEnabled());

    // Offline: the command connects, sets and disconnects.
    const size_t before = Unit().RequestCount();
    set1->click();
    ASSERT_TRUE(WaitIdle());
    std::vector<std::vector<uint8_t>> sets;
    const auto requests = Unit().Requests();
    for (size_t i = before; i < requests.size(); ++i)
        if (requests[i].payload.size() > 4 && requests[i].payload[1] == CMD_SET_OUTPUTS)
            sets.push_back(requests[i].payload);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0][4], 0x05); // channels 1 and 3, from outputs 0
    EXPECT_EQ(Unit().State().outputs, 0x05);
    EXPECT_EQ(Column(2), "10100");                          // read back through CE_IO
    EXPECT_EQ(List()->topLevelItem(0)->isSelected(), true); // the selection survives

    // Channel 3 alone to 0 keeps channel 1.
    List()->topLevelItem(0)->setSelected(false); // a deselection disables both
    EXPECT_FALSE(set0->isEnabled());
    List()->topLevelItem(2)->setSelected(false);
    List()->topLevelItem(2)->setSelected(true);
    ASSERT_TRUE(set0->isEnabled());
    set0->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(Unit().State().outputs, 0x01);
    EXPECT_EQ(Column(2), "10000");
}

// The background of a cell as drawn (its most frequent colour) and how far its text stands out
// from it (the contrast of the pixel that differs most).
struct CellLook {
    QRgb background = 0;
    double contrast = 1.0;
};
static CellLook LookOf(const QImage& image, const QRect& cell) {
    std::map<QRgb, int> count;
    for (int y = cell.top() + 2; y < cell.bottom() - 1; ++y)
        for (int x = cell.left() + 2; x < cell.right() - 1; ++x)
            ++count[image.pixel(x, y) & 0xFFFFFF];
    CellLook look;
    int most = 0;
    for (const auto& [rgb, n] : count)
        if (n > most) {
            most = n;
            look.background = rgb;
        }
    for (const auto& [rgb, n] : count)
        look.contrast = std::max(look.contrast, ContrastRatio(look.background, rgb));
    return look;
}

TEST_F(GuiStatusTest, SelectedIORowsStayReadableInLightAndDarkPalettes) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_STATE, 3);
    CDevStatus s = UI().Status();
    s.m_IO.m_nOutputs = 0x03;
    Deliver(CE_IO, s);
    s.m_IO.m_nInputs = 0x01; // channel 1's input flashes while its row is selected
    Deliver(CE_IO, s);
    List()->topLevelItem(0)->setSelected(true);
    List()->topLevelItem(1)->setSelected(true);
    Find<QPushButton>("m_pBtnSet1")->setFocus(); // the selection shows without the focus too

    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Base, QColor(0x2A, 0x2A, 0x2A));
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Midlight, QColor(0x50, 0x50, 0x50));
    dark.setColor(QPalette::Highlight, QColor(0x2A, 0x82, 0xDA));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    const std::pair<const char*, QPalette> palettes[] = {
        {"light", QApplication::style()->standardPalette()}, {"dark", dark}};
    for (const auto& [name, palette] : palettes) {
        List()->setPalette(palette);
        const QImage image = List()->viewport()->grab().toImage();
        for (int row : {0, 1, 3}) {
            for (int column = 0; column < 3; ++column) {
                const QRect cell = List()->visualItemRect(List()->topLevelItem(row)) &
                                   QRect(List()->header()->sectionViewportPosition(column), 0,
                                         List()->header()->sectionSize(column), image.height());
                const CellLook look = LookOf(image, cell);
                EXPECT_GE(look.contrast, 3.0)
                    << name << " row " << row << " column " << column << " on "
                    << QColor(look.background).name().toStdString();
            }
        }
        // The selection is seen: its rows are not drawn as the others are.
        const QRect plain = List()->visualItemRect(List()->topLevelItem(3));
        const QRect selected = List()->visualItemRect(List()->topLevelItem(1));
        EXPECT_NE(LookOf(image, selected).background, LookOf(image, plain).background) << name;
    }
}

TEST_F(GuiStatusTest, OfflineValuesAreGreyedWithTheirTimeAndFieldsLookReadOnly) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_STATE, 0);
    auto title = [this](int id) {
        auto* pane = static_cast<CFramePane*>(Panes().GetPane(id));
        return pane->Frame()->findChild<QGroupBox*>("m_pGrbMain")->title().toStdString();
    };
    auto stale = [this](int id) {
        return IsStale(static_cast<CFramePane*>(Panes().GetPane(id))->Frame());
    };
    auto* name = Find<QLineEdit>("m_pTxtName");
    for (int id = PANE_DEVID; id <= PANE_TIME; ++id) {
        EXPECT_TRUE(stale(id)) << id;
        EXPECT_TRUE(title(id).ends_with(" — dosud nenačteno")) << title(id);
    }
    EXPECT_TRUE(name->isReadOnly());
    EXPECT_EQ(name->palette().color(QPalette::Active, QPalette::Base),
              name->palette().color(QPalette::Active, QPalette::Window));
    EXPECT_EQ(name->palette().color(QPalette::Active, QPalette::Text),
              name->palette().color(QPalette::Disabled, QPalette::Text));

    // A connect the unit never answers has read nothing: the port opened, yet no time of a
    // read may appear.
    Unit().SetMuted(true);
    Device().m_Com.SetTimeoutScale(10);
    prompts.ExpectError("Vypršel komunikační timeout.")
        .ExpectAsk("Došlo ke komunikační chybě. Opakovat komunikaci?", PROMPT_NO);
    Action("m_pActOnline")->trigger();
    ASSERT_TRUE(WaitIdle(30000));
    EXPECT_TRUE(prompts.Done());
    EXPECT_FALSE(Device().m_Com.IsOnline());
    for (int id = PANE_DEVID; id <= PANE_TIME; ++id)
        EXPECT_TRUE(title(id).ends_with(" — dosud nenačteno")) << title(id);
    Unit().SetMuted(false);
    Device().m_Com.SetTimeoutScale(100);

    GoOnline();
    std::map<int, std::string> live;
    for (int id = PANE_DEVID; id <= PANE_TIME; ++id) {
        EXPECT_FALSE(stale(id)) << id;
        live[id] = title(id);
        EXPECT_EQ(live[id].find(" — "), std::string::npos) << live[id];
    }
    EXPECT_NE(name->palette().color(QPalette::Active, QPalette::Text),
              name->palette().color(QPalette::Disabled, QPalette::Text));
    EXPECT_EQ(name->palette().color(QPalette::Active, QPalette::Base),
              name->palette().color(QPalette::Active, QPalette::Window)); // still read-only

    // Offline: greyed again, with the time of the session's end.
    const int64_t before = QDateTime::currentSecsSinceEpoch();
    Action("m_pActOffline")->trigger();
    // The window knows it once the offline action is disabled again.
    ASSERT_TRUE(WaitFor(
        [this] { return !Device().m_Com.IsOnline() && !Action("m_pActOffline")->isEnabled(); }));
    const int64_t after = QDateTime::currentSecsSinceEpoch();
    for (int id = PANE_DEVID; id <= PANE_TIME; ++id) {
        EXPECT_TRUE(stale(id)) << id;
        bool atTheEnd = false;
        for (int64_t t = before; t <= after; ++t)
            atTheEnd = atTheEnd ||
                       title(id) == live[id] + " — " + LastSeenText(LocalTimeAt(t), GetLocalTime());
        EXPECT_TRUE(atTheEnd) << title(id);
    }
}

TEST_F(GuiStatusTest, AHiddenPaneStaysStaleUntilShown) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_STATE, 3);
    EXPECT_EQ(Column(1), "00000");
    SelectNode(TAB_STATE, 1);
    CDevStatus s = UI().Status();
    s.m_IO.m_nInputs = 0x16;
    s.m_IO.m_nOutputs = 0x01;
    Deliver(CE_IO, s);
    EXPECT_TRUE(Panes().GetPane(PANE_IO)->m_bStale);
    EXPECT_EQ(Column(1), "00000"); // not reloaded while hidden
    SelectNode(TAB_STATE, 3);
    EXPECT_FALSE(Panes().GetPane(PANE_IO)->m_bStale);
    EXPECT_EQ(Column(1), "01101");
    EXPECT_EQ(Column(2), "10000");
}

TEST_F(GuiStatusTest, SignalHistoryHoldsThePolledValuesWithAGapForAMissedPoll) {
    SimGsm gsm;
    gsm.signal = 11;
    Unit().SetGsm(gsm);
    ASSERT_TRUE(StartApp());
    Device().m_Com.SetTimeoutScale(10); // a missed poll costs a tenth of its time-out
    SelectNode(TAB_STATE, 0);           // recorded while another pane is shown
    GoOnline();
    auto values = [this] {
        std::vector<int> v;
        for (const SignalSample& s : History().Samples())
            v.push_back(s.value);
        return v;
    };
    auto has = [&](int value, size_t from) {
        const auto v = values();
        return std::find(v.begin() + static_cast<long>(std::min(from, v.size())), v.end(), value) !=
               v.end();
    };
    // Connect read and at least one keepalive poll of the same value.
    ASSERT_TRUE(WaitFor([&] { return values().size() >= 2; }));
    Unit().AddFault({CMD_GET_GSM, SimFaultKind::NoAnswer, 0, 1});
    ASSERT_TRUE(WaitFor([&] { return has(-1, 0); }));
    const size_t gap = values().size();
    gsm.signal = 23;
    Unit().SetGsm(gsm);
    ASSERT_TRUE(WaitFor([&] { return has(23, gap); }));
    const auto v = values();
    const auto gapAt = std::find(v.begin(), v.end(), -1);
    EXPECT_EQ(std::count(v.begin(), v.end(), -1), 1);
    EXPECT_TRUE(std::all_of(v.begin(), gapAt, [](int x) { return x == 11; }));
    EXPECT_TRUE(std::all_of(gapAt + 1, v.end(), [](int x) { return x == 11 || x == 23; }));
    EXPECT_EQ(v.back(), 23);

    // The chart draws the values as two lines in dBm, split at the gap, on an axis labelled
    // at round dBm values.
    SelectNode(TAB_STATE, 1);
    auto* view = Find<QChartView>("m_pChtSignal");
    auto* axis = view->chart()->findChild<QValueAxis*>("m_pAxSignal");
    ASSERT_NE(axis, nullptr);
    EXPECT_EQ(axis->min(), -113);
    EXPECT_EQ(axis->max(), -51);
    EXPECT_EQ(axis->tickAnchor(), -110);
    EXPECT_EQ(axis->tickInterval(), 10);
    EXPECT_EQ(axis->titleText().toStdString(), "dBm");
    ASSERT_NE(view, nullptr);
    std::vector<int> lines;
    for (QAbstractSeries* s : view->chart()->series())
        if (auto* line = qobject_cast<QLineSeries*>(s); line && line->count() > 0)
            lines.push_back(static_cast<int>(line->count()));
    ASSERT_EQ(lines.size(), 2u);
    for (QAbstractSeries* s : view->chart()->series()) {
        if (auto* line = qobject_cast<QLineSeries*>(s)) {
            for (const QPointF& p : line->points())
                EXPECT_TRUE(p.y() == -91 || p.y() == -67) << p.y(); // 11 and 23
        }
    }
    EXPECT_EQ(static_cast<size_t>(lines[0] + lines[1]), v.size() - 1);

    QAction* copy = view->findChild<QAction*>("m_pActCopyCsv");
    ASSERT_NE(copy, nullptr);
    copy->trigger();
    const std::string csv = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_EQ(csv, History().Csv());
    EXPECT_NE(csv.find(";23;-67\n"), std::string::npos);
}

TEST_F(GuiStatusTest, ClockPaneShowsTheUnitsClockAndItsDriftAgainstThePc) {
    ASSERT_TRUE(StartApp());
    SysTime ahead = GetLocalTime();
    ahead.wHour = static_cast<uint16_t>((ahead.wHour + 1) % 24); // an hour ahead (or a day off)
    const bool nextDay = ahead.wHour == 0;
    ASSERT_TRUE(Unit().SetClock(ahead));
    SelectNode(TAB_STATE, 2);
    EXPECT_EQ(Find<QLabel>("m_pLblDrift")->text().toStdString(), ""); // not read yet
    // The pickers write the Czech way, whatever the desktop's locale.
    CDevStatus shown = UI().Status();
    shown.m_Time = SysTime{2026, 12, 3, 9, 7, 36, 43, 0};
    Deliver(CE_TIME, shown);
    EXPECT_EQ(Find<QDateEdit>("m_pDtpDate")->text().toStdString(), "9. 12. 2026");
    EXPECT_EQ(Find<QTimeEdit>("m_pDtpTime")->text().toStdString(), "7:36:43");
    Action("m_pActReadStatus")->trigger();
    ASSERT_TRUE(WaitIdle());
    auto* pane = static_cast<CPaneTime*>(Panes().GetPane(PANE_TIME));
    ASSERT_TRUE(pane->Drift().has_value());
    const int64_t expected = nextDay ? -23 * 3600 : 3600;
    EXPECT_NEAR(static_cast<double>(*pane->Drift()), static_cast<double>(expected), 2.0);
    EXPECT_NE(Find<QLabel>("m_pLblDrift")->text().toStdString().find(" proti PC"),
              std::string::npos);

    // "Synchronizovat s PC" brings the unit to the PC's time.
    Find<QPushButton>("m_pBtnSync")->click();
    ASSERT_TRUE(WaitIdle());
    EXPECT_NEAR(static_cast<double>(*pane->Drift()), 0.0, 2.0);
}
