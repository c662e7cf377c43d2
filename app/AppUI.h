// The user-interface object: owns the main window, the dialogs it keeps and the pane manager,
// composes the title, and is where the link worker's events arrive (through CComBridge, on
// the user-interface thread), the configuration's questions and dialogs go (ICfgHost) and what
// panes and dialogs ask of the application is answered (IPaneHost). MakePane is the one place
// that knows every pane.
#pragma once

#include "app/PaneHost.h"
#include "app/PaneMng.h"
#include "config/CfgRecent.h"
#include "config/TK630Cfg.h"
#include "link/ComNotify.h"
#include "sms/SMSMng.h"
#include "status/DevStatus.h"
#include "status/StatusText.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <string>

class CApp;
class CComBridge;
class CProfile;
class CTK630;
class IPrompts;
class CSMS;
class TFrmCfgBackups;
class TFrmCfgCompare;
class TFrmCom;
class TFrmConnectItem;
class TFrmMain;
struct CConnectDsc;
struct CfgImage;

class QTimer;

class CAppUI : public IPaneHost,
               public IComProgress,
               public IComEvents,
               public ICfgHost,
               public ISMSStoreListener {
public:
    CAppUI(CApp& app, CTK630& device, CProfile& profile);
    ~CAppUI() override;
    CAppUI(const CAppUI&) = delete;
    CAppUI& operator=(const CAppUI&) = delete;

    // Connects the engine's channels, the configuration and the SMS store to this object;
    // before the engine starts.
    void Attach();
    // Nothing of the engine reaches the windows any more (before the engine stops).
    void Detach();

    // Creates the windows: 1, or 32 (main window), 33 (progress dialog), a pane's code.
    int Init();
    void UpdateTitle();
    // The dialogs: their modal result (1 OK, 2 cancelled or not created).
    int ShowConnectItemDlg(CConnectDsc* dsc, bool lockNumber) override;

    // An event of the link worker, on the user-interface thread. The status events bring
    // the records with them; the SMS events (which need an answer) come through SendEvent.
    void OnNotify(const CComEvent& ev);
    void OnNotify(int code) { OnNotify(CComEvent{code, 0, Status(), nullptr, nullptr}); }

    // A message in the first status panel for about ten seconds: how an operation ended, a
    // message that arrived. Any part of the window may say so here.
    void StatusMessage(const QString& text) override;
    // False while the unit of an open session does not answer.
    bool UnitAnswering() const { return !m_bSilent; }

    // The unit's status as the last status event brought it: what the status panes show.
    // The engine's own records are its worker's and are never read here.
    const CDevStatus& Status() const override { return m_status; }
    const CSignalHistory& SignalHistory() const override { return m_signal; }

    CApp& App() const { return m_app; }
    CTK630& Device() const override { return m_device; }
    CProfile& Profile() const override { return m_profile; }
    IPrompts& Prompts() const override;
    CPaneMng& PaneMng() override { return m_PaneMng; }
    QWidget* PaneArea() const override;
    QWidget* DialogParent() const override;
    void ShowPane(int id, int param) override;
    TFrmMain* MainWindow() const { return m_pFrmMain.get(); }
    TFrmCom* ComDialog() const { return m_pFrmCom; }
    TFrmConnectItem* ConnectItemDialog() const { return m_pFrmConnectItem; }
    CComBridge* Bridge() const { return m_pBridge.get(); }

    void SetSmsCommands(ISmsCommands* commands) override { m_pSmsCommands = commands; }
    ISmsCommands* SmsCommands() const override { return m_pSmsCommands; }
    // The communication settings and the remote access dialog: made for one use, shown
    // modally, destroyed; their modal result (2 when not created).
    int ShowComSetDlg();
    int ShowRemConDlg();
    // "Online": with remote access the remote access dialog comes first, and only "Spojit"
    // posts the connect.
    void GoOnline();

    // Opens a file (recent, dropped, a backup) after the save question; with `keepName`
    // false it stays untitled. 1 when it was opened.
    int OpenCfgFile(const std::string& path, bool keepName = true);
    // The open configuration compared with a file the user picks, with the unit (one read
    // into a separate buffer: the open configuration and its flag stay as they are), or
    // with a saved file; the compare dialog shows the differences.
    void CompareWithFile();
    void CompareWithUnit();
    void CompareWithSaved(const std::string& path, const QString& caption);
    // The backups dialog; with `compare` Enter on a backup compares it instead of opening.
    void ShowBackups(bool compare = false);
    // The configuration files opened or saved lately, newest first.
    const CCfgRecent& Recent() const { return m_recent; }
    TFrmCfgCompare* CompareDialog() const { return m_pFrmCompare; }
    TFrmCfgBackups* BackupsDialog() const { return m_pFrmBackups; }

    // Makes the pane object of an id (the panes of every subsystem).
    std::unique_ptr<CPane> MakePane(int id);

    // IComProgress, on the user-interface thread: to the progress dialog.
    void PostProgress(CComNotifyMsg* msg) override;
    void SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) override;
    // IComEvents, on the user-interface thread (the bridge hands them over).
    void PostEvent(const CComEvent& ev) override;
    void SendEvent(const CComEvent& ev, const ComReplyPtr& reply) override;
    void AskRepeat(const ComReplyPtr& reply) override;
    void PostCloseMainWindow() override;

    // ICfgHost
    int AskSave() override;
    bool AskOpenFileName(std::string& name, const std::string& filter) override;
    bool AskSaveFileName(std::string& name, const std::string& filter,
                         const char* defaultExt) override;
    void ShowError(uint32_t textId) override;
    void TitleChanged() override;
    void ConfigReplaced() override;
    void LeaveCurrentPane() override;
    uint32_t PostReadConfig(CTK630Cfg& cfg) override;
    uint32_t PostWriteConfig(CTK630Cfg& cfg) override;

    // ISMSStoreListener: the tree's node captions and the store's troubles (the list pane
    // listens to the rows itself).
    void OnSmsListCountChanged(int list, int count) override;
    void OnSmsSaveFailed(int error) override;
    void OnSmsStoreDamaged(const std::string& copy) override;

private:
    CApp& m_app;
    CTK630& m_device;
    CProfile& m_profile;
    std::unique_ptr<TFrmMain> m_pFrmMain;
    TFrmCom* m_pFrmCom = nullptr;                 // child of the main window
    TFrmConnectItem* m_pFrmConnectItem = nullptr; // child of the main window, made at first use
    CPaneMng m_PaneMng;
    std::unique_ptr<CComBridge> m_pBridge;
    ISmsCommands* m_pSmsCommands = nullptr;
    CDevStatus m_status;
    CSignalHistory m_signal;
    QTimer* m_pFollowPoll = nullptr; // children of the main window
    QTimer* m_pFollowSoon = nullptr;

    void CompareWith(const CfgImage& other, const QString& caption);
    // The window follows the files tk530ctl shares with it: SMS.dat, Profile.dat, the
    // connection and modem lists are read again when they changed on disk.
    void StartFollowing();
    void FollowSharedFiles();
    // Around the settings dialogs: they start from the files as they are, and a change of the
    // connection list is saved when they close.
    void SyncBeforeSettings();
    void SaveAfterSettings();
    // The question before a write, with what the unit holds (CE_CFG_WRITE_QUERY): 1 to write.
    int AskWrite(const CComEvent& ev);
    // The progress dialog closed: a comparison read that finished is shown, and the message
    // of an operation that succeeded.
    void SequenceEnded();
    // The unit stopped answering (with its last answer, seconds since the epoch) or answers
    // again: the status bar (the status panes follow the same events themselves).
    void ShowSilence(bool silent, int64_t since = 0);
    // A message stored on the PC: counted when a read brought it, else announced.
    void NoteSmsStored(const CSMS& sms);
    // The file of the open configuration goes first in the recent list.
    void NoteRecentFile();

    CCfgRecent m_recent;
    TFrmCfgCompare* m_pFrmCompare = nullptr; // children of the main window, made at first use
    TFrmCfgBackups* m_pFrmBackups = nullptr;
    // The unit's configuration for a comparison; the link worker fills it. Kept until the
    // program ends, so a worker still in its sequence never writes into freed memory.
    std::unique_ptr<CTK630Cfg> m_pUnitCfg;
    bool m_bUnitCompare = false;     // a comparison read is queued or running
    bool m_bUnitCompareRead = false; // ... and its configuration has arrived

    bool m_bSequence = false; // between CE_BEGIN and the end of the progress dialog
    int m_nSeqSmsRead = 0;    // messages the sequence read and stored
    int m_nSeqSmsSent = 0;    // messages it sent
    std::string m_strDone;    // what the first panel says when the sequence has ended
    bool m_bSilent = false;
    QString m_strSilence; // the first panel's message while silent
};
