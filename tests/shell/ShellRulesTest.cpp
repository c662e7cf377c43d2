// The main window's rules that need no screen: title, status panel, SMS action enabling and
// the file dialogs' filters.
#include "app/ShellRules.h"
#include "app/PaneMng.h"
#include "link/ComMsg.h"

#include <gtest/gtest.h>

TEST(ShellRules, TitleNamesTheFileAndMarksChanges) {
    EXPECT_EQ(ComposeTitle("", false), "TK530 Control Panel (bezejmenná)");
    EXPECT_EQ(ComposeTitle("", true), "TK530 Control Panel (bezejmenná*)");
    EXPECT_EQ(ComposeTitle("/home/u/site.cfg", true), "TK530 Control Panel (site.cfg*)");
    EXPECT_EQ(ComposeTitle("plain.cfg", false), "TK530 Control Panel (plain.cfg)");
    // Cut to 127 characters, never inside a character.
    const std::string longName = "/x/" + std::string(126, 'a') + "čč.cfg";
    EXPECT_EQ(ComposeTitle(longName, false),
              "TK530 Control Panel (" + std::string(126, 'a') + "č)");
}

TEST(ShellRules, StatusPanelTakesTheWidthBesideTheStatePanel) {
    EXPECT_EQ(StatusPanelWidth(400), 300);
    EXPECT_EQ(StatusPanelWidth(100), 0);
    EXPECT_EQ(StatusPanelWidth(40), 0);
}

TEST(ShellRules, WindowIsReducedAndMovedOntoTheAvailableScreen) {
    const WndFrame none;
    const WndFrame titled{2, 30, 2, 2};
    const WndRect small{0, 0, 1024, 600};
    const WndRect second{1920, 0, 1280, 1024}; // right of a 1920 px monitor
    const WndRect above{0, -1080, 1920, 1080}; // above the primary one
    const struct {
        const char* what;
        WndRect wanted;
        WndFrame frame;
        WndRect area;
        WndRect fitted;
    } rows[] = {
        {"fits already", {240, 140, 800, 520}, none, {0, 0, 1280, 800}, {240, 140, 800, 520}},
        {"scale 2 profile", {0, 0, 2048, 1150}, none, small, {0, 0, 1024, 600}},
        {"title bar counted", {0, 0, 2048, 1150}, titled, small, {2, 30, 1020, 568}},
        {"past the bottom right",
         {3000, 2000, 800, 500},
         none,
         {0, 0, 1920, 1080},
         {1120, 580, 800, 500}},
        {"past the top left", {-500, -300, 800, 500}, titled, small, {2, 30, 800, 500}},
        {"second monitor, too big", {1920, 0, 2048, 1150}, none, second, {1920, 0, 1280, 1024}},
        {"second monitor, left of it", {100, 100, 800, 600}, none, second, {1920, 100, 800, 600}},
        {"monitor above", {100, 100, 800, 600}, none, above, {100, -600, 800, 600}},
        {"no screen known", {5000, 5000, 3000, 2000}, none, {}, {5000, 5000, 3000, 2000}},
    };
    for (const auto& r : rows) {
        const WndRect got = FitWindow(r.wanted, r.frame, r.area);
        EXPECT_EQ(got, r.fitted) << r.what << ": " << got.x << "," << got.y << " " << got.width
                                 << "x" << got.height;
    }
    // Centred on the screen it is shown on, monitor offset included.
    EXPECT_EQ(CentreWindow(800, 600, none, second), (WndRect{2160, 212, 800, 600}));
    EXPECT_EQ(CentreWindow(2048, 1150, titled, small), (WndRect{2, 30, 1020, 568}));
}

TEST(ShellRules, SmsActionsFollowTheLinkTheListAndTheSelection) {
    // Rule L: a direct line now, or while offline the one the profile will open.
    EXPECT_TRUE(LinkAllowsSms(false, -1, 1));
    EXPECT_FALSE(LinkAllowsSms(false, 1, 2)); // offline, the profile dials a modem
    EXPECT_TRUE(LinkAllowsSms(true, 1, 2));   // a direct session, whatever the profile says
    EXPECT_FALSE(LinkAllowsSms(true, 2, 1));

    SmsActionInputs modem;
    modem.profileConnType = 2;
    modem.toSendCount = 3;
    modem.curPane = PANE_SMSLIST;
    modem.curParam = 2;
    modem.listCount = 3;
    modem.selCount = 1;
    SmsActionStates s = SmsActionRules(modem);
    EXPECT_FALSE(s.read || s.sendAll || s.sendSel);
    EXPECT_TRUE(s.open && s.saveSel && s.delSel && s.saveAll && s.delAll);

    SmsActionInputs received; // the received list shown and empty
    received.curPane = PANE_SMSLIST;
    SmsActionStates r = SmsActionRules(received);
    EXPECT_TRUE(r.read);
    EXPECT_FALSE(r.saveAll || r.delAll || r.open || r.sendAll);
    received.listCount = 1;
    received.selCount = 1;
    r = SmsActionRules(received);
    EXPECT_TRUE(r.saveAll && r.delAll && r.open && r.saveSel && r.delSel);
    EXPECT_FALSE(r.sendSel); // only from the to-send list

    SmsActionInputs other = received; // another pane shown: nothing of the list
    other.curPane = PANE_SMSEDIT;
    EXPECT_EQ(SmsActionRules(other),
              (SmsActionStates{false, true, false, false, false, false, false, false}));
}

TEST(ShellRules, FiltersOfTheTextsBecomeDialogFilters) {
    EXPECT_EQ(DialogFilter("Soubory konfigurace (*.cfg)|*.cfg|Všechny soubory|*.*"),
              "Soubory konfigurace (*.cfg);;Všechny soubory (*)");
    EXPECT_EQ(DialogFilter("Textové dokumenty (*.txt)|*.txt"), "Textové dokumenty (*.txt)");
    EXPECT_EQ(DialogFilter(""), "");
}

// The words of the first status panel that the window's tests do not reach: the counts of
// sent messages, and an announcement without a number.
TEST(ShellRules, MessagesCountWhatWasDone) {
    DoneFacts facts;
    facts.smsSent = 1;
    EXPECT_EQ(DoneText(CM_SEND_SMS, facts), "SMS odeslána.");
    facts.smsSent = 4;
    EXPECT_EQ(DoneText(CM_SEND_SMS, facts), "Odesláno SMS: 4.");
    EXPECT_EQ(DoneText(CM_SET_OUTPUTS, facts), "Výstupy nastaveny.");
    EXPECT_EQ(DoneText(CM_WRITE_CFG, facts), ""); // the write says its changes itself
    EXPECT_EQ(FetchedSmsText(""), "Přijata nová SMS.");
}
