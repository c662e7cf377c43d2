// The program starts against the virtual unit: window, title, offline state, all panes.
#include "tests/gui/GuiFixture.h"

#include "app/PaneFrame.h"
#include "base/Texts.h"
#include "config/CfgImage.h"
#include "config/DlgSetEnDir.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTreeWidget>

namespace {

struct FrameCase {
    int pane;
    const char* frame;
    const char* group; // nullptr: the frame has no group box
    const char* caption;
};

} // namespace

TEST_F(GuiTest, StartsOfflineUntitledWithEveryPaneFrame) {
    ASSERT_TRUE(StartApp());
    EXPECT_TRUE(Main().isVisible());
    EXPECT_EQ(Main().windowTitle().toStdString(), "TK530 Control Panel (bezejmenná)");
    EXPECT_TRUE(Action("m_pActOnline")->isEnabled());
    EXPECT_FALSE(Action("m_pActOffline")->isEnabled());
    EXPECT_EQ(Main().StatusPanel(1)->text().toStdString(), "offline");
    // The first configuration node is a category: no pane is shown.
    EXPECT_EQ(Panes().GetCur(), PANE_NONE);

    const FrameCase cases[] = {
        {PANE_CALLPARS, "TFrmCallPars", "m_pGrbMain", "Ostatní směry"},
        {PANE_CALLENDIRS, "TFrmCallEnDirs", "m_pGrbMain", "Povolené směry"},
        {PANE_SIM, "TFrmSIM", "m_pGrbCredit", "Kredit"},
        {PANE_ALARM, "TFrmAlarm", "m_pGrbMain", nullptr},
        {PANE_SMS, "TFrmSMS", "m_pGrbSMSMode", "Příchozí SMS"},
        {PANE_TIMEPARS, "TFrmTimePars", "m_pGrbTimePars", "Časové parametry"},
        {PANE_BASIC1, "TFrmBasic1", "m_pGrmSCode", "Znak programování"},
        {PANE_RENUM, "TFrmRenum", "iGrbMain", "Virtuální příčková linka"},
        {PANE_DEVID, "TFrmDevId", "m_pGrbMain", "Výrobní štítek"},
        {PANE_GSM, "TFrmGSM", "m_pGrbMain", "Stav GSM"},
        {PANE_IO, "TFrmIO", "m_pGrbMain", "Binární vstupy/výstupy"},
        {PANE_TIME, "TFrmTime", "m_pGrbMain", "Čas"},
        {PANE_SMSEDIT, "TFrmSMSEdit", "m_pGrbMain", "Editace SMS"},
        {PANE_SMSLIST, "TFrmSMSList", nullptr, nullptr},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.frame);
        auto* pane = static_cast<CFramePane*>(Panes().GetPane(c.pane));
        ASSERT_NE(pane, nullptr);
        ASSERT_NE(pane->Frame(), nullptr);
        EXPECT_EQ(pane->Frame()->objectName().toStdString(), c.frame);
        EXPECT_TRUE(Main().PaneArea()->isAncestorOf(pane->Frame())); // in its scroll area
        EXPECT_FALSE(pane->Frame()->isVisible());
        if (c.group) {
            auto* group = pane->Frame()->findChild<QGroupBox*>(QString::fromLatin1(c.group));
            ASSERT_NE(group, nullptr);
            // Nothing read yet: the status panes say so after their caption.
            const bool status = c.pane >= PANE_DEVID && c.pane <= PANE_TIME;
            EXPECT_EQ(group->title().toStdString(), std::string(c.caption ? c.caption : "") +
                                                        (status ? " — dosud nenačteno" : ""));
        }
    }
}

// Every text the user reads names this unit, and the confirming button reads "OK": in the
// window with all its panes as they run, and in every form, also of the dialogs made later.
// The caption of a multi-line field stands at its first line.
TEST_F(GuiTest, NoTextNamesTheOtherUnitOrSaysOkAndMemoCaptionsSitOnTop) {
    ASSERT_TRUE(StartApp());
    QStringList texts;
    for (QWidget* w : Main().findChildren<QWidget*>()) {
        texts << w->toolTip() << w->statusTip() << w->whatsThis();
        if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            texts << b->text();
            EXPECT_NE(b->text().remove('&'), QStringLiteral("Ok")) << b->objectName().toStdString();
        }
        if (auto* l = qobject_cast<QLabel*>(w)) {
            texts << l->text();
            if (qobject_cast<QPlainTextEdit*>(l->buddy()) != nullptr) {
                EXPECT_TRUE(l->alignment().testFlag(Qt::AlignTop)) << l->objectName().toStdString();
            }
        }
    }
    for (const QAction* a : Main().findChildren<QAction*>())
        texts << a->text() << a->toolTip() << a->statusTip();
    for (int tab : {TAB_CFG, TAB_STATE, TAB_TOOLS})
        for (QTreeWidgetItemIterator it(Main().Tree(tab)); *it; ++it)
            texts << (*it)->text(0) << (*it)->toolTip(0);
    for (const QString& text : texts)
        EXPECT_FALSE(text.contains(QStringLiteral("TK630"))) << text.toStdString();
    // The tree's nodes and the pane's group read alike ("Alarm 1").
    int alarms = 0;
    for (QTreeWidgetItemIterator it(Main().Tree(TAB_CFG)); *it; ++it) {
        const QString text = (*it)->text(0);
        EXPECT_FALSE(text.contains(QRegularExpression(QStringLiteral("^Alarm\\d"))))
            << text.toStdString();
        alarms += text.startsWith(QStringLiteral("Alarm ")) ? 1 : 0;
    }
    EXPECT_EQ(alarms, 5);

    const QDir forms(QStringLiteral(TK_FORMS_DIR));
    const QStringList files = forms.entryList({QStringLiteral("*.ui")});
    EXPECT_GT(files.size(), 20);
    const QRegularExpression string(QStringLiteral("<string>([^<]*)</string>"));
    for (const QString& name : files) {
        QFile file(forms.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QString ui = QString::fromUtf8(file.readAll());
        for (const auto& m : string.globalMatch(ui)) {
            const QString text = m.captured(1);
            EXPECT_FALSE(text.contains(QStringLiteral("TK630"))) << name.toStdString();
            EXPECT_NE(text, QStringLiteral("Ok")) << name.toStdString();
            EXPECT_NE(text, QStringLiteral("&amp;Ok")) << name.toStdString();
        }
    }
}

TEST_F(GuiTest, TheDirectionDialogIsWideEnoughForItsTitle) {
    ASSERT_TRUE(StartApp());
    CfgImage image;
    SetDefaults(image);
    TFrmSetEnDir dialog(image, &Main());
    dialog.show();
    QApplication::processEvents();
    const QFontMetrics title(QApplication::font("QMdiSubWindowTitleBar"));
    // The title bar also holds the icon and the window buttons.
    EXPECT_GT(dialog.width(), title.horizontalAdvance(dialog.windowTitle()) + 120)
        << dialog.width();
    dialog.reject();
}
