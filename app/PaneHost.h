// What a pane or a dialog of any subsystem may ask of the application: the device object, the
// prompts, the profile, the last status the unit sent, the shared dialogs, the pane manager and
// the main window's few services. Panes and dialogs hold an IPaneHost& and never see the
// user-interface object itself, so a change of a pane does not need reading CAppUI, and the
// user-interface object may know every pane (it makes them) without a knot of includes.
#pragma once

class CDevStatus;
class CSignalHistory;
class CPaneMng;
class CProfile;
class CTK630;
class IPrompts;
class QString;
class QWidget;
struct CConnectDsc;

// The SMS commands of the main window, offered by the SMS subsystem (its list pane knows the
// selection). Kinds: 1 all, 2 the selected messages.
class ISmsCommands {
public:
    virtual ~ISmsCommands() = default;
    virtual void OpenCmd() = 0;
    virtual void ReadCmd() = 0;
    virtual void SendCmd(int kind) = 0;
    virtual void ExportCmd(int kind) = 0;
    virtual void DeleteCmd(int kind) = 0;
    // Rows selected in the SMS list pane.
    virtual int SelectedCount() const = 0;
};

class IPaneHost {
public:
    virtual CTK630& Device() const = 0;
    virtual IPrompts& Prompts() const = 0;
    virtual CProfile& Profile() const = 0;
    // The unit's status as the last status event brought it: what the status panes show.
    virtual const CDevStatus& Status() const = 0;
    // The signal of every session since the start, recorded from the worker's events whatever
    // pane is shown.
    virtual const CSignalHistory& SignalHistory() const = 0;
    virtual CPaneMng& PaneMng() = 0;

    // The dialog that edits one connection (shared by the settings and the progress dialog):
    // its modal result (1 OK, 2 cancelled or not created).
    virtual int ShowConnectItemDlg(CConnectDsc* dsc, bool lockNumber) = 0;
    // Who answers the main window's SMS commands (the SMS list pane while it exists).
    virtual void SetSmsCommands(ISmsCommands* commands) = 0;
    virtual ISmsCommands* SmsCommands() const = 0;

    // The main window's pane area, where the frames live; null before the window is made.
    virtual QWidget* PaneArea() const = 0;
    // The parent of the dialogs a pane makes (the main window); null before it is made.
    virtual QWidget* DialogParent() const = 0;
    // Shows a pane as a click on its tree node does.
    virtual void ShowPane(int id, int param) = 0;
    // A message in the first status panel for about ten seconds.
    virtual void StatusMessage(const QString& text) = 0;

protected:
    ~IPaneHost() = default;
};
