// Finding one's way in the main window: the navigator's tabs at every width the splitter
// allows, the menus' mnemonics and shortcuts, the SMS menu's way to the SMS panes, Ctrl+Q
// through the close query, and the help window with its guide.
#include "tests/gui/GuiFixture.h"

#include "app/DlgHelp.h"
#include "sms/SMS.h"

#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>
#include <QTreeWidget>

#include <map>
#include <set>

namespace {

// The mnemonic letter of a caption ("Uložit j&ako..." -> 'a'), lower case; 0 for none.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i; // "&&" is a shown ampersand
    }
    return QChar();
}

// Every menu of the menu bar with its submenus, named by their path ("SMS › Odeslat").
void CollectMenus(QMenu* menu, const QString& path, std::vector<std::pair<QString, QMenu*>>& out) {
    out.emplace_back(path, menu);
    for (QAction* action : menu->actions()) {
        if (QMenu* sub = action->menu())
            CollectMenus(sub, path + QStringLiteral(" › ") + sub->title(), out);
    }
}

} // namespace

class GuiMenusTest : public GuiTest {
protected:
    QTabWidget* Tabs() { return Find<QTabWidget>("m_pPgCtlP1"); }
    QSplitter* Splitter() { return Find<QSplitter>("m_pSpltMain"); }
    // Each tab lies whole inside the strip, and the strip inside the navigator.
    void ExpectEveryTabInSight() {
        Main().show();
        ProcessEvents();
        QTabBar* bar = Tabs()->tabBar();
        ASSERT_EQ(bar->count(), TAB_COUNT);
        EXPECT_TRUE(Tabs()->rect().contains(bar->geometry()))
            << "strip " << bar->width() << " in " << Tabs()->width();
        for (int tab = 0; tab < bar->count(); ++tab) {
            SCOPED_TRACE(bar->tabText(tab).toStdString());
            EXPECT_TRUE(bar->rect().contains(bar->tabRect(tab)))
                << "tab ends at " << bar->tabRect(tab).right() << ", strip " << bar->width();
        }
    }
};

TEST_F(GuiMenusTest, EveryNavigatorTabIsInSightAtTheDefaultAndTheLeastWidth) {
    ASSERT_TRUE(StartApp()); // the profile's default width
    const int least = Tabs()->minimumWidth();
    {
        SCOPED_TRACE("default width");
        EXPECT_GT(Splitter()->sizes().value(0), least);
        ExpectEveryTabInSight();
        // Whole captions: no tab is narrower than it asks to be.
        QTabBar* bar = Tabs()->tabBar();
        int whole = 0;
        for (int tab = 0; tab < bar->count(); ++tab)
            whole += bar->tabRect(tab).width();
        EXPECT_EQ(whole, bar->sizeHint().width());
    }
    {
        SCOPED_TRACE("dragged as narrow as the splitter allows");
        Splitter()->setSizes({0, Main().width()});
        EXPECT_EQ(Splitter()->sizes().value(0), least);
        ExpectEveryTabInSight();
    }
    StopApp();

    // A panel saved narrower than the tabs need comes back at the least width.
    WriteProfile([](CProfile& p) { p.m_nPgCtlWidth = 60; });
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(Splitter()->sizes().value(0), least);
    ExpectEveryTabInSight();
}

TEST_F(GuiMenusTest, EveryMenuItemHasAMnemonicUniqueInItsMenu) {
    ASSERT_TRUE(StartApp());
    auto* bar = Find<QMenuBar>("m_pMnuMain");
    ASSERT_NE(bar, nullptr);
    // The top menus: Alt and the letter the user is told.
    const std::map<std::string, QChar> top = {{"Konfigurace", u'k'},
                                              {"Stav", u's'},
                                              {"SMS", u'm'},
                                              {"Nastavení", u'n'},
                                              {"Nápověda", u'v'}};
    std::vector<std::pair<QString, QMenu*>> menus;
    std::set<QChar> topLetters;
    for (QAction* action : bar->actions()) {
        ASSERT_NE(action->menu(), nullptr);
        const QString title = action->text();
        SCOPED_TRACE(title.toStdString());
        const QChar letter = Mnemonic(title);
        EXPECT_EQ(letter, top.at(QString(title).remove(QLatin1Char('&')).toStdString()));
        EXPECT_TRUE(topLetters.insert(letter).second) << "top menus share a letter";
        CollectMenus(action->menu(), title, menus);
    }
    EXPECT_EQ(topLetters.size(), top.size());

    Main().UpdateRecentMenu();
    for (const auto& [path, menu] : menus) {
        SCOPED_TRACE(path.toStdString());
        std::map<QChar, QString> seen;
        for (QAction* action : menu->actions()) {
            if (action->isSeparator() || !action->isVisible())
                continue;
            const QChar letter = Mnemonic(action->text());
            EXPECT_FALSE(letter.isNull()) << action->text().toStdString() << " has none";
            const auto [it, fresh] = seen.emplace(letter, action->text());
            EXPECT_TRUE(fresh) << action->text().toStdString() << " and "
                               << it->second.toStdString() << " share a letter";
        }
    }

    // No two commands of the window answer the same key.
    std::map<QKeySequence, QString> keys;
    for (QAction* action : Main().findChildren<QAction*>()) {
        if (action->shortcut().isEmpty())
            continue;
        const auto [it, fresh] = keys.emplace(action->shortcut(), action->objectName());
        EXPECT_TRUE(fresh) << action->objectName().toStdString() << " and "
                           << it->second.toStdString() << " share "
                           << action->shortcut().toString().toStdString();
    }
    EXPECT_EQ(keys.count(QKeySequence(Qt::CTRL | Qt::Key_Q)), 1u);
    EXPECT_EQ(keys.count(QKeySequence(Qt::Key_F1)), 1u);
}

TEST_F(GuiMenusTest, TheSmsMenuShowsThePanesAndTheListsCounts) {
    CSMS sms;
    sms.SetNumbers("+420600100200");
    sms.SetText("ahoj");
    ASSERT_TRUE(StartApp());
    EXPECT_EQ(Action("m_pActSMSListToSend")->text().toStdString(), "&K odeslání (0)");
    // Counts kept as the lists change.
    ASSERT_GE(Device().m_SMS.AddAndShow(sms, SMS_TOSEND), 0);
    ASSERT_GE(Device().m_SMS.AddAndShow(sms, SMS_TOSEND), 0);
    ASSERT_GE(Device().m_SMS.AddAndShow(sms, SMS_SENT), 0);
    EXPECT_EQ(Action("m_pActSMSListReceived")->text().toStdString(), "&Přijaté (0)");
    EXPECT_EQ(Action("m_pActSMSListSent")->text().toStdString(), "O&deslané (1)");
    EXPECT_EQ(Action("m_pActSMSListToSend")->text().toStdString(), "&K odeslání (2)");

    // Each item shows its pane as the tools tree's node does, from any tab.
    SelectNode(TAB_STATE, 0);
    const struct {
        const char* action;
        int pane, param, node;
    } items[] = {{"m_pActSMSNew", PANE_SMSEDIT, 0, 1},
                 {"m_pActSMSListReceived", PANE_SMSLIST, SMS_RECEIVED, 2},
                 {"m_pActSMSListSent", PANE_SMSLIST, SMS_SENT, 3},
                 {"m_pActSMSListToSend", PANE_SMSLIST, SMS_TOSEND, 4}};
    for (const auto& item : items) {
        SCOPED_TRACE(item.action);
        Action(item.action)->trigger();
        EXPECT_EQ(Panes().GetCur(), item.pane);
        EXPECT_EQ(Panes().GetPane(item.pane)->m_nParam, item.param);
        EXPECT_EQ(Tabs()->currentIndex(), TAB_TOOLS);
        EXPECT_EQ(
            TFrmMain::NodeIndex(Main().Tree(TAB_TOOLS), Main().Tree(TAB_TOOLS)->currentItem()),
            item.node);
    }
    EXPECT_EQ(Action("m_pActSMSNew")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    std::remove(CSMSMng::FilePath().c_str());
}

TEST_F(GuiMenusTest, CtrlQGoesThroughTheCloseQuery) {
    ASSERT_TRUE(StartApp());
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    Panes().GetPane(PANE_SIM)->OnDataChange();
    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_CANCEL);
    QTest::keyClick(&Main(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(prompts.Done());
    EXPECT_TRUE(Main().isVisible());

    prompts.ExpectAsk("Konfigurace byla změněna", PROMPT_NO);
    QTest::keyClick(&Main(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(prompts.Done());
    EXPECT_FALSE(Main().isVisible());
}

TEST_F(GuiMenusTest, F1OpensTheGuideWithItsSectionsAndPictures) {
    ASSERT_TRUE(StartApp());
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
    EXPECT_EQ(Main().HelpWindow(), nullptr);
    QTest::keyClick(&Main(), Qt::Key_F1);
    TFrmHelp* help = Main().HelpWindow();
    ASSERT_NE(help, nullptr);
    EXPECT_TRUE(help->isVisible());
    EXPECT_TRUE(help->windowTitle().contains(QString::fromUtf8("Nápověda")));
    const QString text = help->Browser()->toPlainText();
    for (const char* heading :
         {"První připojení", "Konfigurace", "Zálohy a porovnání", "Stav jednotky", "SMS",
          "Přístup přes modem", "Jednotka v síti", "Chybová hlášení"}) {
        EXPECT_TRUE(text.contains(QString::fromUtf8(heading))) << heading;
    }
    EXPECT_TRUE(text.contains(QString::fromUtf8("dialout")));
    // Every picture is there to be shown (a missing one would be an empty frame).
    const QStringList images = help->ImageNames();
    EXPECT_GE(images.size(), 6);
    for (const QString& name : images) {
        const QVariant data = help->Browser()->loadResource(QTextDocument::ImageResource, name);
        QImage image;
        if (data.canConvert<QByteArray>())
            image.loadFromData(data.toByteArray());
        EXPECT_FALSE(image.isNull()) << name.toStdString();
    }

    // The menu item brings the same window back.
    help->close();
    Action("m_pActHelp")->trigger();
    EXPECT_EQ(Main().HelpWindow(), help);
    EXPECT_TRUE(help->isVisible());
}
