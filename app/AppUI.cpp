#include "app/AppUI.h"

#include "app/AppUIApp.h"
#include "app/AppUIBridge.h"
#include "app/MainWnd.h"
#include "app/Prompts.h"
#include "app/ShellRules.h"
#include "config/PaneAlarm.h"
#include "config/PaneBasic.h"
#include "config/PaneCallEnDirs.h"
#include "config/PaneCallPars.h"
#include "config/PaneRenum.h"
#include "config/PaneSIM.h"
#include "config/PaneSMS.h"
#include "config/PaneTimePars.h"
#include "connections/DlgComSet.h"
#include "connections/DlgConnectItem.h"
#include "link/ComMsg.h"
#include "link/DlgCom.h"
#include "link/DlgRemCon.h"
#include "link/ModemList.h"
#include "link/PortAccess.h"
#include "sms/PaneSMSEdit.h"
#include "sms/PaneSMSList.h"
#include "status/PaneDevId.h"
#include "status/PaneGSM.h"
#include "status/PaneIO.h"
#include "status/PaneTime.h"
#include "status/StatusEvents.h"

CAppUI::CAppUI(CApp& app, CTK630& device, CProfile& profile)
    : m_app(app), m_device(device), m_profile(profile),
      m_pBridge(std::make_unique<CComBridge>(*this, *this)) {}

CAppUI::~CAppUI() {
    Detach();
    m_PaneMng.Destroy(); // the panes go before the frames their window owns
    m_pFrmMain.reset();
}

IPrompts& CAppUI::Prompts() const {
    return m_app.Prompts();
}

void CAppUI::Attach() {
    m_device.m_Com.SetProgressSink(m_pBridge.get());
    m_device.m_Com.SetEventSink(m_pBridge.get());
    m_device.m_Cfg.SetHost(this);
    m_device.m_SMS.SetListener(this);
}

void CAppUI::Detach() {
    m_device.m_Com.DetachSinks(); // questions waiting for the windows get their fallback
    m_pBridge->Detach();
    m_device.m_SMS.SetListener(nullptr);
}

std::unique_ptr<CPane> CAppUI::MakePane(int id) {
    switch (id) {
    case PANE_CALLPARS:
        return std::make_unique<CPaneCallPars>(*this);
    case PANE_CALLENDIRS:
        return std::make_unique<CPaneCallEnDirs>(*this);
    case PANE_SIM:
        return std::make_unique<CPaneSIM>(*this);
    case PANE_ALARM:
        return std::make_unique<CPaneAlarm>(*this);
    case PANE_SMS:
        return std::make_unique<CPaneSMS>(*this);
    case PANE_TIMEPARS:
        return std::make_unique<CPaneTimePars>(*this);
    case PANE_BASIC1:
        return std::make_unique<CPaneBasic1>(*this);
    case PANE_RENUM:
        return std::make_unique<CPaneRenum>(*this);
    case PANE_DEVID:
        return std::make_unique<CPaneDevId>(*this);
    case PANE_GSM:
        return std::make_unique<CPaneGSM>(*this);
    case PANE_IO:
        return std::make_unique<CPaneIO>(*this);
    case PANE_TIME:
        return std::make_unique<CPaneTime>(*this);
    case PANE_SMSEDIT:
        return std::make_unique<CPaneSMSEdit>(*this);
    case PANE_SMSLIST:
        return std::make_unique<CPaneSMSList>(*this);
    default:
        return nullptr;
    }
}

int CAppUI::Init() {
    m_status = m_device.m_Com.StatusSnapshot();
    m_pFrmMain = std::make_unique<TFrmMain>(*this);
    if (!m_pFrmMain)
        return 32;
    const int panes = m_PaneMng.Create([this](int id) { return MakePane(id); });
    if (panes != 1)
        return panes;
    m_pFrmMain->SelectFirstNodes();
    m_pFrmCom = new TFrmCom(*this, m_pFrmMain.get());
    if (!m_pFrmCom)
        return 33;
    UpdateTitle();
    OnNotify(CE_OFFLINE);
    m_pFrmMain->show();
    return 1;
}

void CAppUI::UpdateTitle() {
    if (m_pFrmMain) {
        const CTK630Cfg& cfg = m_device.m_Cfg;
        m_pFrmMain->setWindowTitle(
            QString::fromStdString(ComposeTitle(cfg.GetFileName(), cfg.IsModified())));
    }
}

int CAppUI::ShowConnectItemDlg(CConnectDsc* dsc, bool lockNumber) {
    if (!m_pFrmMain)
        return DLG_CANCEL;
    if (!m_pFrmConnectItem)
        m_pFrmConnectItem = new TFrmConnectItem(Prompts(), m_pFrmMain.get());
    m_pFrmConnectItem->Bind(dsc);
    m_pFrmConnectItem->LockNumber(lockNumber);
    return m_pFrmConnectItem->exec() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

int CAppUI::ShowComSetDlg() {
    if (!m_pFrmMain)
        return DLG_CANCEL;
    TFrmComSet dlg(*this, m_pFrmMain.get());
    dlg.Init();
    return dlg.exec() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

int CAppUI::ShowRemConDlg() {
    if (!m_pFrmMain)
        return DLG_CANCEL;
    TFrmRemCon dlg(Prompts(), m_profile, m_device.m_Com.GetModems().Modems(),
                   m_device.m_Com.GetConnections(), m_pFrmMain.get());
    dlg.Prepare();
    return dlg.exec() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
}

void CAppUI::GoOnline() {
    if (m_profile.m_nConnType == CONN_REMOTE && ShowRemConDlg() != DLG_OK)
        return;
    m_device.Online();
}

void CAppUI::OnNotify(const CComEvent& ev) {
    // What the status panes keep from every event (shown or not), before a pane reloads.
    NoteStatusEvent(m_PaneMng, ev);
    switch (ev.m_nCode) {
    case CE_ONLINE:
        m_status = ev.m_Status;
        if (m_pFrmMain)
            m_pFrmMain->SetOnline(true);
        break;
    case CE_OFFLINE:
        if (m_pFrmMain)
            m_pFrmMain->SetOnline(false);
        break;
    case CE_CFG_READ:
        ConfigReplaced();
        break;
    case CE_DEVID:
    case CE_GSM:
    case CE_IO:
    case CE_TIME: {
        m_status = ev.m_Status;
        const int pane = PANE_DEVID + (ev.m_nCode - CE_DEVID);
        m_PaneMng.Invalidate(pane, pane);
        break;
    }
    case CE_SMS_RECEIVED:
        // Stored and saved before the worker lets the unit delete its copy.
        if (ev.m_pSms)
            m_device.OnSmsReceived(*ev.m_pSms);
        break;
    case CE_SMS_SENT:
        m_device.OnSmsSent(static_cast<int>(ev.m_nArg));
        break;
    case CE_BEGIN:
        if (m_pFrmCom)
            m_pFrmCom->Begin();
        break;
    default:
        break;
    }
}

void CAppUI::PostProgress(CComNotifyMsg* msg) {
    if (m_pFrmCom)
        m_pFrmCom->PostProgress(msg);
    else
        msg->m_bDone = true;
}

void CAppUI::SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) {
    if (m_pFrmCom)
        m_pFrmCom->SendProgress(msg, reply);
    else
        reply->Answer(msg.m_nType == PM_BAD_PIN ? DLG_CANCEL : 0);
    // A port refused for lack of permission: after the error box, once per user, how to join
    // the group that may open it.
    PortGroupHint hint;
    if (msg.m_nType == PM_ERROR &&
        ShouldGivePortGroupHint(msg.m_nValue,
                                LinkDevice(m_profile, m_device.m_Com.GetModems().Modems()), hint))
        Prompts().InfoText(PortGroupHintText(hint));
}

void CAppUI::PostEvent(const CComEvent& ev) {
    OnNotify(ev);
}

void CAppUI::SendEvent(const CComEvent& ev, const ComReplyPtr& reply) {
    switch (ev.m_nCode) {
    case CE_SMS_RECEIVED:
        // 1 only when the message is safely in "SMS.dat": only then may the unit delete it.
        reply->Answer(ev.m_pSms ? m_device.OnSmsReceived(*ev.m_pSms) : 0);
        break;
    case CE_SMS_SENT:
        reply->Answer(m_device.OnSmsSent(static_cast<int>(ev.m_nArg)));
        break;
    default:
        OnNotify(ev);
        reply->Answer(1);
        break;
    }
}

void CAppUI::AskRepeat(const ComReplyPtr& reply) {
    reply->Answer(Prompts().Ask(TXT_REPEAT_QUERY, PromptButtons::YesNo) == PROMPT_YES ? 1 : 0);
}

void CAppUI::PostCloseMainWindow() {
    if (m_pFrmMain)
        m_pFrmMain->close();
}

int CAppUI::AskSave() {
    const int answer = Prompts().Ask(TXT_CFG_SAVE_QUERY, PromptButtons::YesNoCancel);
    return answer == PROMPT_YES ? CFG_YES : answer == PROMPT_NO ? CFG_NO : CFG_CANCEL;
}

bool CAppUI::AskOpenFileName(std::string& name, const std::string& filter) {
    return Prompts().OpenFileName(name, filter) && !name.empty();
}

bool CAppUI::AskSaveFileName(std::string& name, const std::string& filter, const char* defaultExt) {
    return Prompts().SaveFileName(name, filter, defaultExt ? defaultExt : "") && !name.empty();
}

void CAppUI::ShowError(uint32_t textId) {
    Prompts().Error(textId);
}

void CAppUI::TitleChanged() {
    UpdateTitle();
}

void CAppUI::ConfigReplaced() {
    m_PaneMng.Invalidate(0, PANE_DEVID);
    UpdateTitle();
}

void CAppUI::LeaveCurrentPane() {
    m_PaneMng.LeaveCurrent();
}

uint32_t CAppUI::PostReadConfig(CTK630Cfg& cfg) {
    return m_device.m_Com.Post({CM_READ_CFG, reinterpret_cast<uintptr_t>(&cfg), 0});
}

uint32_t CAppUI::PostWriteConfig(CTK630Cfg& cfg) {
    return m_device.m_Com.Post({CM_WRITE_CFG, reinterpret_cast<uintptr_t>(&cfg), 0});
}

void CAppUI::OnSmsRowAdded(int list, int index) {
    if (m_pSmsView)
        m_pSmsView->OnSmsRowAdded(list, index);
}

void CAppUI::OnSmsRowsRemoved(int list, const int32_t* indices, int n) {
    if (m_pSmsView)
        m_pSmsView->OnSmsRowsRemoved(list, indices, n);
}

void CAppUI::OnSmsRowUpdated(int list, int index) {
    if (m_pSmsView)
        m_pSmsView->OnSmsRowUpdated(list, index);
}

void CAppUI::OnSmsListCountChanged(int list, int count) {
    if (m_pFrmMain)
        m_pFrmMain->UpdateListNode(list);
    if (m_pSmsView)
        m_pSmsView->OnSmsListCountChanged(list, count);
}

void CAppUI::OnSmsSaveFailed(int error) {
    if (m_pSmsView)
        m_pSmsView->OnSmsSaveFailed(error);
}
