// The user-interface object: owns the main window, the dialogs it keeps and the pane manager,
// composes the title, and is where the link worker's events arrive (through CComBridge, on
// the user-interface thread) and the configuration's questions and dialogs go (ICfgHost).
#pragma once

#include "app/PaneMng.h"
#include "config/TK630Cfg.h"
#include "link/ComNotify.h"
#include "sms/SMSMng.h"
#include "status/DevStatus.h"

#include <cstdint>
#include <memory>

class CApp;
class CComBridge;
class CProfile;
class CTK630;
class IPrompts;
class TFrmCom;
class TFrmConnectItem;
class TFrmMain;
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

class CAppUI : public IComProgress, public IComEvents, public ICfgHost, public ISMSStoreListener {
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
    int ShowConnectItemDlg(CConnectDsc* dsc, bool lockNumber);

    // An event of the link worker, on the user-interface thread. The status events bring
    // the records with them; the SMS events (which need an answer) come through SendEvent.
    void OnNotify(const CComEvent& ev);
    void OnNotify(int code) { OnNotify(CComEvent{code, 0, Status(), nullptr}); }

    // The unit's status as the last status event brought it: what the status panes show.
    // The engine's own records are its worker's and are never read here.
    const CDevStatus& Status() const { return m_status; }

    CApp& App() const { return m_app; }
    CTK630& Device() const { return m_device; }
    CProfile& Profile() const { return m_profile; }
    IPrompts& Prompts() const;
    CPaneMng& PaneMng() { return m_PaneMng; }
    TFrmMain* MainWindow() const { return m_pFrmMain.get(); }
    TFrmCom* ComDialog() const { return m_pFrmCom; }
    TFrmConnectItem* ConnectItemDialog() const { return m_pFrmConnectItem; }
    CComBridge* Bridge() const { return m_pBridge.get(); }

    // The SMS list pane registers here for the store's row changes (the tree's node captions
    // are kept by this object).
    void SetSmsView(ISMSStoreListener* view) { m_pSmsView = view; }
    void SetSmsCommands(ISmsCommands* commands) { m_pSmsCommands = commands; }
    ISmsCommands* SmsCommands() const { return m_pSmsCommands; }
    // The communication settings and the remote access dialog: made for one use, shown
    // modally, destroyed; their modal result (2 when not created).
    int ShowComSetDlg();
    int ShowRemConDlg();
    // "Online": with remote access the remote access dialog comes first, and only "Spojit"
    // posts the connect.
    void GoOnline();

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

    // ISMSStoreListener
    void OnSmsRowAdded(int list, int index) override;
    void OnSmsRowsRemoved(int list, const int32_t* indices, int n) override;
    void OnSmsRowUpdated(int list, int index) override;
    void OnSmsListCountChanged(int list, int count) override;
    void OnSmsSaveFailed(int error) override;

private:
    CApp& m_app;
    CTK630& m_device;
    CProfile& m_profile;
    std::unique_ptr<TFrmMain> m_pFrmMain;
    TFrmCom* m_pFrmCom = nullptr;                 // child of the main window
    TFrmConnectItem* m_pFrmConnectItem = nullptr; // child of the main window, made at first use
    CPaneMng m_PaneMng;
    std::unique_ptr<CComBridge> m_pBridge;
    ISMSStoreListener* m_pSmsView = nullptr;
    ISmsCommands* m_pSmsCommands = nullptr;
    CDevStatus m_status;
};
