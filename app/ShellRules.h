// The rules of the main window that need no widget: the title, the status bar's panel width,
// when the SMS actions are enabled, and the file dialogs' filters. The window applies them;
// the tests check them without a screen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// "TK530 Control Panel (name)" or "(name*)" when modified. The name is the part of the path
// after its last separator, cut to 127 characters; "bezejmenná" when the path is empty.
// UTF-8 in and out.
std::string ComposeTitle(std::string_view filePath, bool modified);

// Width of the status bar's first panel for a client width: the rest of the width after the
// second panel's 100, never below zero.
int StatusPanelWidth(int clientWidth);

// What the SMS actions' enabling depends on.
struct SmsActionInputs {
    bool online = false;          // the link engine holds a session
    int32_t sessionConnType = -1; // how that session was opened (1 = local port)
    int32_t profileConnType = 1;  // the profile's access mode, for the next session
    int curPane = -1;             // the pane shown
    int curParam = 0;             // its parameter (the list, for the SMS list pane)
    int listCount = 0;            // messages in that list
    int selCount = 0;             // rows selected in the list pane
    int toSendCount = 0;          // messages in the to-send list
};

struct SmsActionStates {
    bool open = false;    // m_pActSMSOpen (rule S)
    bool read = false;    // m_pActSMSRead (rule L)
    bool sendAll = false; // m_pActSMSSendAll (L and something to send)
    bool sendSel = false; // m_pActSMSSendSel (L, the to-send list shown, a selection)
    bool saveAll = false; // m_pActSMSSaveAll (rule A)
    bool saveSel = false; // m_pActSMSSaveSel (rule S)
    bool delAll = false;  // m_pActSMSDelAll (rule A)
    bool delSel = false;  // m_pActSMSDelSel (rule S)
    bool operator==(const SmsActionStates&) const = default;
};

// Rule L: SMS travel only over a direct line — the open session's, or while offline the one
// the profile will open.
bool LinkAllowsSms(bool online, int32_t sessionConnType, int32_t profileConnType);
SmsActionStates SmsActionRules(const SmsActionInputs& in);

// A filter of the numbered texts ("Soubory konfigurace (*.cfg)|*.cfg|Všechny soubory|*.*")
// as a file dialog takes it ("Soubory konfigurace (*.cfg);;Všechny soubory (*)").
std::string DialogFilter(std::string_view filter);
