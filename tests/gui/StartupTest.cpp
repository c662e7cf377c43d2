// The program starts against the virtual unit: window, title, offline state, all panes.
#include "tests/gui/GuiFixture.h"

#include "app/PaneFrame.h"
#include "base/Texts.h"

#include <QGroupBox>
#include <QLabel>

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
