// The rules of the main window that need no widget: the title, the status bar's panel width,
// when the SMS actions are enabled, and the file dialogs' filters. The window applies them;
// the tests check them without a screen.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct SysTime;

// "TK530 Control Panel (name)" or "(name*)" when modified. The name is the part of the path
// after its last separator, cut to 127 characters; "bezejmenná" when the path is empty.
// UTF-8 in and out.
std::string ComposeTitle(std::string_view filePath, bool modified);

// Width of the status bar's first panel for a client width: the rest of the width after the
// second panel's 100, never below zero.
int StatusPanelWidth(int clientWidth);

// A rectangle on the desktop, in the coordinates of the whole virtual desktop (a second
// monitor's area starts at its own offset).
struct WndRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WndRect&) const = default;
};
// The space a window manager adds around the window's client area (title bar, borders).
struct WndFrame {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// Where the main window's client area goes so that the whole window, frame included, lies in
// `area` (the available part of one screen): a saved size larger than the area is reduced to
// it, and a position that would put any part outside is moved in (left and top win when the
// window is as large as the area). `wanted` is the client area asked for. An empty area
// changes nothing.
WndRect FitWindow(const WndRect& wanted, const WndFrame& frame, const WndRect& area);
// The client area of `width` x `height` centred in `area`, then fitted.
WndRect CentreWindow(int width, int height, const WndFrame& frame, const WndRect& area);

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

// How long a message of the first status panel stays (an operation's end, a fetched message).
inline constexpr int STATUS_MESSAGE_MS = 10000;

// The first panel while the unit does not answer, `since` being its last answer: "Jednotka
// neodpovídá od 14:05:09 — zkontrolujte kabel a napájení. Offline (F3) spojení ukončí."
std::string SilenceText(const SysTime& since);
// What a status pane adds to its values while they are not live: "naposledy 14:05:09", with
// the date when they are from another day than `now` ("naposledy 8. 12. 2026 14:05:09").
std::string LastSeenText(const SysTime& since, const SysTime& now);
// ... and before anything was read from a unit.
inline constexpr const char* kNeverReadText = "dosud nenačteno";

// What the window counted of one sequence, for the message at its end.
struct DoneFacts {
    std::string unitName; // UTF-8
    uint32_t serial = 0;
    int smsRead = 0; // messages read from the unit and stored
    int smsSent = 0; // messages the unit sent
};
// The message after an operation succeeded (its command, CM_READ_CFG ...); empty for one
// that says so itself.
std::string DoneText(uint32_t command, const DoneFacts& facts);
// After an export: "Do souboru zpravy.txt uloženo zpráv: 3." (the file's name without its
// folder).
std::string ExportDoneText(int count, std::string_view path);
// A message the keepalive fetched: "Přijata nová SMS od +420777123456."
std::string FetchedSmsText(std::string_view number);
