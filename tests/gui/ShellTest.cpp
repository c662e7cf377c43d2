// The main window without a session: title and configuration files, the trees and the panes
// they select, the status bar, the SMS actions' enabling, the about box, a failed start, and
// the configuration menu's comparison, backups, recent files and dropped files.
#include "tests/gui/GuiFixture.h"

#include "app/DlgAbout.h"
#include "app/PaneFrame.h"
#include "config/CfgBackup.h"
#include "config/DlgCfgBackups.h"
#include "config/DlgCfgCompare.h"
#include "config/Profile.h"
#include "config/TK630Cfg.h"
#include "sms/SMS.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDropEvent>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/stat.h>

namespace {

std::string Title(TFrmMain& main) {
    return main.windowTitle().toStdString();
}

const QWidget* Frame(CPaneMng& panes, int id) {
    auto* pane = static_cast<CFramePane*>(panes.GetPane(id));
    return pane ? pane->Frame() : nullptr;
}

int VisibleFrames(CPaneMng& panes) {
    int visible = 0;
    for (int id = 0; id < PANE_COUNT; ++id)
        visible += Frame(panes, id)->isVisible() ? 1 : 0;
    return visible;
}

// Every row of a dialog's list, its columns joined by " | ".
std::vector<std::string> Rows(QTreeWidget* tree) {
    std::vector<std::string> rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QStringList columns;
        for (int c = 0; c < tree->columnCount(); ++c)
            columns << tree->topLevelItem(i)->text(c);
        rows.push_back(columns.join(QStringLiteral(" | ")).toStdString());
    }
    return rows;
}

void DoubleClick(QTreeWidget* tree, int row) {
    const QRect rect = tree->visualItemRect(tree->topLevelItem(row));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, rect.center());
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
        p.m_nWidth = 760;
        p.m_nHeight = 520;
        p.m_nPgCtlWidth = 260;
    });
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(Main().size(), QSize(760, 520));
    EXPECT_EQ(Find<QSplitter>("m_pSpltMain")->sizes().value(0), 260);
    Main().resize(400, 300);
    EXPECT_TRUE(WaitFor([this] { return Main().width() == 400; }, 5000));
    EXPECT_EQ(Main().StatusPanel(0)->width(), 300);
    EXPECT_EQ(Main().StatusPanel(1)->width(), 50);
}

// The navigator's selected node is drawn in the selection colour while its tree has the
// keyboard focus, and still seen, in grey, while a pane has it.
TEST_F(GuiTest, TheTreeShowsWhetherItHasTheKeyboardFocus) {
    ASSERT_TRUE(StartApp());
    SelectNode(TAB_CFG, 1); // "SIM karta"
    QTreeWidget* tree = Main().Tree(TAB_CFG);
    Main().activateWindow();
    QApplication::setActiveWindow(&Main());
    auto backgroundOfNode = [tree] {
        ProcessEvents();
        const QImage image = tree->viewport()->grab().toImage();
        const QRect node = tree->visualItemRect(tree->currentItem()).adjusted(2, 2, -2, -2);
        std::map<QRgb, int> count;
        for (int y = node.top(); y <= node.bottom(); ++y)
            for (int x = node.left(); x <= node.right(); ++x)
                ++count[image.pixel(x, y)];
        return std::max_element(count.begin(), count.end(),
                                [](auto& a, auto& b) { return a.second < b.second; })
            ->first;
    };
    tree->setFocus(Qt::TabFocusReason);
    const QRgb focused = backgroundOfNode();
    Find<QLineEdit>("m_pTxtPIN")->setFocus(Qt::TabFocusReason);
    const QRgb elsewhere = backgroundOfNode();
    // The style may shade the selection a little; the colour is the highlight's all the same.
    const QColor highlight = tree->palette().color(QPalette::Active, QPalette::Highlight);
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 6 && std::abs(a.green() - b.green()) <= 6 &&
               std::abs(a.blue() - b.blue()) <= 6;
    };
    EXPECT_TRUE(near(QColor(focused), highlight))
        << QColor(focused).name().toStdString() << " vs " << highlight.name().toStdString();
    EXPECT_FALSE(near(QColor(elsewhere), highlight));
    EXPECT_NE(focused, elsewhere);
    EXPECT_NE(QColor(elsewhere), tree->palette().color(QPalette::Active, QPalette::Base));
}

// Run once on the test's own screen and once more, in a child, on a 1024x600 screen at scale 2
// (a logical 512x300).
TEST_F(GuiTest, ASavedSizeBeyondTheScreenIsReducedAndEveryPaneFitsOrScrolls) {
    WriteProfile([](CProfile& p) {
        p.m_nWidth = 2048;
        p.m_nHeight = 1150;
    });
    ASSERT_TRUE(StartApp());
    ProcessEvents();
    const QRect screen = Main().screen()->availableGeometry();
    SCOPED_TRACE("screen " + std::to_string(screen.width()) + "x" +
                 std::to_string(screen.height()));
    auto onScreen = [&] {
        const QRect outer = Main().frameGeometry();
        EXPECT_TRUE(screen.contains(outer))
            << outer.x() << "," << outer.y() << " " << outer.width() << "x" << outer.height();
        const QWidget* bar = Main().statusBar();
        EXPECT_TRUE(bar->isVisible());
        EXPECT_LE(bar->geometry().bottom(), Main().height() - 1);
    };
    onScreen();
    for (int id = 0; id < PANE_COUNT; ++id) {
        SCOPED_TRACE("pane " + std::to_string(id));
        Main().ShowPane(id, id == PANE_SMSLIST ? 1 : 0);
        ProcessEvents();
        auto* pane = static_cast<CFramePane*>(Panes().GetPane(id));
        ASSERT_NE(pane, nullptr);
        QWidget* frame = pane->Frame();
        ASSERT_TRUE(frame->isVisible());
        auto* scroll = qobject_cast<QScrollArea*>(frame->parentWidget()->parentWidget());
        ASSERT_NE(scroll, nullptr);
        // The pane lies in the window; nothing of it is squeezed below its least size, what
        // does not fit is reached by scrolling.
        const QRect area(scroll->mapTo(&Main(), QPoint(0, 0)), scroll->size());
        EXPECT_TRUE(Main().rect().contains(area));
        EXPECT_GE(frame->height(), frame->minimumSizeHint().height());
        EXPECT_GE(frame->width(), frame->minimumSizeHint().width());
        if (frame->height() > scroll->viewport()->height()) {
            EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
        }
        if (frame->width() > scroll->viewport()->width()) {
            EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
        }
        onScreen();
    }
    if (std::getenv("TK_TEST_QPA")) { // the child: the parent checks that its screen was small
        std::printf("screen %dx%d\n", screen.width(), screen.height());
        return;
    }

    const std::string config = dir.File("screen.json");
    std::FILE* f = std::fopen(config.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": 1024, )"
               R"("height": 600, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})",
               f);
    std::fclose(f);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TK_TEST_QPA"),
               QStringLiteral("offscreen:configfile=") + QString::fromStdString(config));
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QString::fromLatin1(test->test_suite_name()),
                          QString::fromLatin1(test->name()))});
    ASSERT_TRUE(child.waitForFinished(90000));
    const std::string out = child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << out;
    EXPECT_NE(out.find("screen 512x300"), std::string::npos) << out;
}

// The controls of a pane that Tab reaches, in the order it reaches them (the parts that
// spin boxes and combo boxes are made of count as their owner).
static std::vector<QWidget*> TabStops(QWidget* frame) {
    std::vector<QWidget*> stops;
    QWidget* w = frame;
    do {
        w = w->nextInFocusChain();
        auto* view = qobject_cast<QAbstractScrollArea*>(w->parentWidget());
        const bool part = qobject_cast<QAbstractSpinBox*>(w->parentWidget()) ||
                          qobject_cast<QComboBox*>(w->parentWidget()) ||
                          (view && view->viewport() == w);
        if (frame->isAncestorOf(w) && w->isVisible() && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus) && !part)
            stops.push_back(w);
    } while (w != frame);
    return stops;
}

// Tab goes through every pane as it is read: top to bottom, left to right within a row, and
// down a column before the one to its right.
TEST_F(GuiTest, TabFollowsTheLayoutOfEveryPane) {
    ASSERT_TRUE(StartApp());
    for (int id = 0; id < PANE_COUNT; ++id) {
        Main().ShowPane(id, id == PANE_SMSLIST ? 1 : 0);
        ProcessEvents();
        QWidget* frame = static_cast<CFramePane*>(Panes().GetPane(id))->Frame();
        const std::vector<QWidget*> chain = TabStops(frame);
        ASSERT_FALSE(chain.empty()) << id;
        // Walked with the key itself: a control that keeps Tab for its own parts (the
        // sections of a date) would hold the user there.
        Main().activateWindow();
        QApplication::setActiveWindow(&Main());
        chain.front()->setFocus(Qt::TabFocusReason);
        std::vector<QWidget*> stops{chain.front()};
        for (size_t n = 0; n < chain.size() * 3; ++n) {
            QWidget* from = QApplication::focusWidget();
            ASSERT_NE(from, nullptr);
            QTest::keyClick(from, Qt::Key_Tab);
            QWidget* to = QApplication::focusWidget();
            while (to && to->parentWidget() &&
                   (qobject_cast<QAbstractSpinBox*>(to->parentWidget()) ||
                    qobject_cast<QComboBox*>(to->parentWidget())))
                to = to->parentWidget();
            if (!to || !frame->isAncestorOf(to))
                break;
            stops.push_back(to);
        }
        // Each press left the control, and every control but the radio buttons of a group
        // (one of them takes Tab, the arrows the others) was reached.
        for (size_t i = 1; i < stops.size(); ++i)
            EXPECT_NE(stops[i], stops[i - 1])
                << "pane " << id << ": Tab stays in " << stops[i]->objectName().toStdString();
        for (QWidget* w : chain) {
            if (!qobject_cast<QRadioButton*>(w)) {
                EXPECT_NE(std::find(stops.begin(), stops.end(), w), stops.end())
                    << "pane " << id << ": Tab never reaches " << w->objectName().toStdString();
            }
        }
        for (size_t i = 1; i < stops.size(); ++i) {
            const QRect a(stops[i - 1]->mapTo(frame, QPoint(0, 0)), stops[i - 1]->size());
            const QRect b(stops[i]->mapTo(frame, QPoint(0, 0)), stops[i]->size());
            const bool sameRow = std::abs(a.center().y() - b.center().y()) <
                                 std::min(a.height(), b.height()) / 2 + 1;
            const bool backInRow = sameRow && b.right() < a.left();
            const bool backUp = !sameRow && b.bottom() < a.top() && b.left() < a.right();
            EXPECT_FALSE(backInRow || backUp)
                << "pane " << id << ": " << stops[i - 1]->objectName().toStdString() << " then "
                << stops[i]->objectName().toStdString();
        }
    }
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

class GuiCfgMenuTest : public GuiTest {
protected:
    CfgImage& Img() { return *Device().m_Cfg.GetImage(); }
    // The open configuration saved as `name` (the file dialog answered).
    void SaveAs(const std::string& name) {
        prompts.ExpectSaveFile(dir.File(name));
        Action("m_pActCfgSaveAs")->trigger();
        ASSERT_EQ(Device().m_Cfg.GetFileName(), dir.File(name));
    }
    // Types into a line edit of the shown pane as the user does.
    void TypeInPane(const char* name, const char* text) {
        auto* pane = static_cast<CFramePane*>(Panes().GetPane(Panes().GetCur()));
        ASSERT_NE(pane, nullptr);
        auto* edit = pane->Frame()->findChild<QLineEdit*>(QString::fromLatin1(name));
        ASSERT_NE(edit, nullptr) << name;
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    TFrmCfgCompare* Compare() { return UI().CompareDialog(); }
    QTreeWidget* DiffList() { return Compare()->findChild<QTreeWidget*>("m_pTrvDiff"); }
    std::string Result() {
        return Compare()->findChild<QLabel*>("m_pLblResult")->text().toStdString();
    }
    TFrmCfgBackups* Backups() { return UI().BackupsDialog(); }
    QPushButton* BackupButton(const char* name) { return Backups()->findChild<QPushButton*>(name); }
    // Sends a drop of these local files to the main window; whether the drag was accepted.
    bool Drop(const std::vector<std::string>& files, QWidget* on = nullptr) {
        QList<QUrl> urls;
        for (const std::string& f : files)
            urls << QUrl::fromLocalFile(QString::fromStdString(f));
        QMimeData data;
        data.setUrls(urls);
        QWidget* target = on ? on : &Main();
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        ProcessEvents(); // the file opens once the drop has ended
        return drop.isAccepted();
    }
};

TEST_F(GuiCfgMenuTest, ComparingWithAFileListsTheEditedFieldsAndShowsTheirPane) {
    ASSERT_TRUE(StartApp());
    const char* kLong = "konfigurace-brana-sever-druhe-patro.cfg";
    SaveAs(kLong);           // a header wider than the dialog at its size in the form
    SelectNode(TAB_CFG, 11); // "Alarm3"
    TypeInPane("m_pTxtACall", "602111222");
    SelectNode(TAB_CFG, 4);          // SIM karta
    TypeInPane("m_pTxtPIN", "4321"); // still in the pane: the comparison stores it first
    SelectNode(TAB_STATE, 0);

    prompts.ExpectOpenFile(dir.File(kLong));
    Action("m_pActCfgCompare")->trigger();
    ASSERT_NE(Compare(), nullptr);
    EXPECT_TRUE(Compare()->isVisible());
    EXPECT_EQ(prompts.Shown().back().text, dir.File(kLong)); // proposes the open file
    const std::vector<std::string> rows = Rows(DiffList());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "SIM karta | PIN | 4321 | 7093");
    EXPECT_NE(rows[1].find("Alarm 3 | alarm volání | 602111222 | "), std::string::npos) << rows[1];
    EXPECT_EQ(DiffList()->headerItem()->text(3).toStdString(), std::string("Soubor ") + kLong);
    EXPECT_EQ(Result(), "Rozdílů: 2");
    EXPECT_TRUE(Device().m_Cfg.IsModified()); // comparing changes nothing
    // It opens with every column whole: no header cut, none beyond the right edge.
    QApplication::processEvents();
    int columns = 0;
    for (int c = 0; c < DiffList()->columnCount(); ++c) {
        EXPECT_GE(DiffList()->columnWidth(c), DiffList()->header()->sectionSizeHint(c)) << c;
        columns += DiffList()->columnWidth(c);
    }
    EXPECT_LE(columns, DiffList()->viewport()->width());

    // A double click on a row closes the list and shows that field's pane and record.
    DoubleClick(DiffList(), 1);
    EXPECT_FALSE(Compare()->isVisible());
    EXPECT_EQ(Find<QTabWidget>("m_pPgCtlP1")->currentIndex(), TAB_CFG);
    EXPECT_EQ(Panes().GetCur(), PANE_ALARM);
    EXPECT_EQ(Panes().GetPane(PANE_ALARM)->m_nParam, 2);

    // Saved: the same as the file; a file that is no configuration is refused.
    SaveAs("b.cfg");
    prompts.ExpectOpenFile(dir.File("b.cfg"));
    Action("m_pActCfgCompare")->trigger();
    EXPECT_TRUE(Rows(DiffList()).empty());
    EXPECT_EQ(Result(), "Žádné rozdíly");
    EXPECT_FALSE(Compare()->findChild<QPushButton*>("m_pBtnShow")->isEnabled());
    Compare()->reject();
    WriteFileBytes(dir.File("bad.cfg"), {1, 0, 0});
    prompts.ExpectOpenFile(dir.File("bad.cfg"))
        .ExpectError("Došlo k chybě při načítání konfigurace ze souboru.");
    Action("m_pActCfgCompare")->trigger();
    EXPECT_FALSE(Compare()->isVisible());
    EXPECT_TRUE(prompts.Done());
}

TEST_F(GuiCfgMenuTest, ABackupOpensUntitledThroughTheSavePromptOrIsCompared) {
    ASSERT_TRUE(StartApp());
    Action("m_pActCfgBackups")->trigger();
    ASSERT_NE(Backups(), nullptr);
    QTreeWidget* list = Backups()->findChild<QTreeWidget*>("m_pTrvBackups");
    EXPECT_EQ(Rows(list), std::vector<std::string>{"Žádné zálohy |  | "});
    EXPECT_FALSE(BackupButton("m_pBtnOpen")->isEnabled());
    EXPECT_FALSE(BackupButton("m_pBtnCompare")->isEnabled());
    Backups()->reject();

    CfgImage old = Img();
    std::strcpy(old.m_szPIN, "1111");
    ASSERT_TRUE(SaveConfigBackup(old, 12345, SysTime{2026, 12, 0, 7, 9, 30, 0, 0}));
    CfgImage last = Img();
    std::strcpy(last.m_szPIN, "2222");
    ASSERT_TRUE(SaveConfigBackup(last, 12345, SysTime{2026, 12, 0, 8, 14, 5, 9, 0}));
    ASSERT_TRUE(SaveConfigBackup(last, 777, SysTime{2026, 12, 0, 8, 10, 0, 0, 0}));
    SaveAs("mine.cfg");
    Panes().GetPane(PANE_SIM)->OnDataChange(); // unsaved edits
    const CfgImage mine = Img();

    Action("m_pActCfgBackups")->trigger();
    // One unit's backups together, the unit read last first, each newest first.
    EXPECT_EQ(Rows(list), (std::vector<std::string>{"00012345 | 8. 12. 2026 14:05:09 | 1667 B",
                                                    "00012345 | 7. 12. 2026 9:30:00 | 1667 B",
                                                    "00000777 | 8. 12. 2026 10:00:00 | 1667 B"}));
    list->setCurrentItem(list->topLevelItem(1));
    prompts.ExpectAsk("Konfigurace byla změněna, chcete změny uložit?", PROMPT_CANCEL);
    QTest::mouseClick(BackupButton("m_pBtnOpen"), Qt::LeftButton);
    EXPECT_EQ(std::memcmp(&Img(), &mine, sizeof mine), 0); // Storno: nothing changed
    EXPECT_EQ(Device().m_Cfg.GetFileName(), dir.File("mine.cfg"));
    EXPECT_TRUE(Device().m_Cfg.IsModified());

    Action("m_pActCfgBackups")->trigger();
    list->setCurrentItem(list->topLevelItem(1));
    QTest::mouseClick(BackupButton("m_pBtnCompare"), Qt::LeftButton);
    EXPECT_FALSE(Backups()->isVisible());
    ASSERT_NE(Compare(), nullptr);
    EXPECT_EQ(Rows(DiffList()), std::vector<std::string>{"SIM karta | PIN | 7093 | 1111"});
    EXPECT_EQ(DiffList()->headerItem()->text(3).toStdString(),
              "Záloha 00012345 7. 12. 2026 9:30:00");
    Compare()->reject();

    Action("m_pActCfgBackups")->trigger();
    list->setCurrentItem(list->topLevelItem(1));
    prompts.ExpectAsk("Konfigurace byla změněna, chcete změny uložit?", PROMPT_NO);
    QTest::keyClick(list, Qt::Key_Return); // Enter opens, as the button does
    EXPECT_FALSE(Backups()->isVisible());
    EXPECT_STREQ(Img().m_szPIN, "1111");
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (bezejmenná)");
    EXPECT_FALSE(Device().m_Cfg.IsModified());
    // Asked for to compare, Enter on a backup compares it.
    Action("m_pActCfgCompareBackup")->trigger();
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(Rows(DiffList()), std::vector<std::string>{"SIM karta | PIN | 1111 | 2222"});
    Compare()->reject();

    // Untitled: saving asks where, so the backup itself is never written over.
    prompts.ExpectSaveFile(dir.File("restored.cfg"));
    Action("m_pActCfgSave")->trigger();
    EXPECT_EQ(Title(Main()), "TK530 Control Panel (restored.cfg)");
    EXPECT_TRUE(prompts.Done());
}

TEST_F(GuiCfgMenuTest, RecentFilesNewestFirstOpenThroughTheSavePromptAndOutliveARun) {
    ASSERT_TRUE(StartApp());
    EXPECT_FALSE(Action("m_pActCfgRecent1")->isVisible());
    for (const char* name : {"a.cfg", "b.cfg", "c.cfg", "a.cfg"})
        SaveAs(name);
    auto shown = [this] {
        std::vector<std::string> texts;
        for (const char* name :
             {"m_pActCfgRecent1", "m_pActCfgRecent2", "m_pActCfgRecent3", "m_pActCfgRecent4"}) {
            if (Action(name)->isVisible())
                texts.push_back(Action(name)->text().toStdString() +
                                (Action(name)->isEnabled() ? "" : " (off)"));
        }
        return texts;
    };
    EXPECT_EQ(shown(), (std::vector<std::string>{"&1 a.cfg", "&2 c.cfg", "&3 b.cfg"}));
    EXPECT_EQ(ReadFileText(dir.File("Data/RecentFiles.txt")),
              dir.File("a.cfg") + "\n" + dir.File("c.cfg") + "\n" + dir.File("b.cfg") + "\n");

    Panes().GetPane(PANE_SIM)->OnDataChange();
    prompts.ExpectAsk("Konfigurace byla změněna, chcete změny uložit?", PROMPT_CANCEL);
    Action("m_pActCfgRecent3")->trigger();
    EXPECT_EQ(Device().m_Cfg.GetFileName(), dir.File("a.cfg"));
    prompts.ExpectAsk("Konfigurace byla změněna, chcete změny uložit?", PROMPT_NO);
    Action("m_pActCfgRecent3")->trigger();
    EXPECT_EQ(Device().m_Cfg.GetFileName(), dir.File("b.cfg"));
    EXPECT_EQ(shown(), (std::vector<std::string>{"&1 b.cfg", "&2 a.cfg", "&3 c.cfg"}));
    EXPECT_TRUE(prompts.Done());

    // The next run lists them again; a file deleted meanwhile cannot be chosen.
    ASSERT_EQ(::mkdir(dir.File("sub").c_str(), 0755), 0);
    SaveAs("sub/d.cfg");
    Main().close(); // the program's end writes the profile with the folders
    StopApp();
    std::remove(dir.File("c.cfg").c_str());
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(shown(),
              (std::vector<std::string>{"&1 d.cfg", "&2 b.cfg", "&3 a.cfg", "&4 c.cfg (off)"}));

    // The configuration dialogs open where a configuration was last chosen, in this run too;
    // the export's folder is its own. A folder removed since is not offered.
    auto openFolder = [this] {
        prompts.ClearShown();
        prompts.ExpectOpenFile("");
        Action("m_pActCfgCompare")->trigger();
        EXPECT_TRUE(prompts.Done());
        return prompts.Shown().empty() ? std::string("?") : prompts.Shown().front().folder;
    };
    EXPECT_EQ(openFolder(), dir.File("sub"));
    EXPECT_EQ(UI().Profile().LastFolder(FolderKind::Export), "");
    std::remove(dir.File("sub/d.cfg").c_str());
    ASSERT_EQ(::rmdir(dir.File("sub").c_str()), 0);
    EXPECT_EQ(openFolder(), "");
}

TEST_F(GuiCfgMenuTest, ADroppedCfgFileOpensThroughTheSavePromptOthersAreRefused) {
    ASSERT_TRUE(StartApp());
    SaveAs("first.cfg");
    SaveAs("second.cfg");
    WriteFileBytes(dir.File("notes.txt"), {'x'});
    EXPECT_FALSE(Drop({dir.File("notes.txt")}));
    EXPECT_FALSE(Drop({dir.File("notes.txt"), dir.File("first.cfg")})); // only the first counts

    Panes().GetPane(PANE_SIM)->OnDataChange();
    prompts.ExpectAsk("Konfigurace byla změněna, chcete změny uložit?", PROMPT_NO);
    EXPECT_TRUE(Drop({dir.File("first.cfg"), dir.File("second.cfg")}));
    EXPECT_EQ(Device().m_Cfg.GetFileName(), dir.File("first.cfg"));
    EXPECT_FALSE(Device().m_Cfg.IsModified());

    // Dropped on a text field of a pane, the file opens and is not typed into the field.
    SelectNode(TAB_CFG, 4);
    auto* pane = static_cast<CFramePane*>(Panes().GetPane(PANE_SIM));
    auto* pin = pane->Frame()->findChild<QLineEdit*>("m_pTxtPIN");
    const QString before = pin->text();
    EXPECT_TRUE(Drop({dir.File("second.cfg")}, pin));
    EXPECT_EQ(Device().m_Cfg.GetFileName(), dir.File("second.cfg"));
    EXPECT_EQ(pin->text(), before);
    EXPECT_TRUE(prompts.Done());
}
