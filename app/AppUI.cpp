#include "app/AppUI.h"

#include "app/AppUIApp.h"
#include "app/AppUIBridge.h"
#include "app/AppUITextLimit.h"
#include "app/MainWnd.h"
#include "app/PaneFrame.h"
#include "app/Prompts.h"
#include "app/ShellRules.h"
#include "config/CfgBackup.h"
#include "config/CfgCatalogue.h"
#include "config/CfgWriteTexts.h"
#include "config/DlgCfgBackups.h"
#include "config/DlgCfgCompare.h"
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
#include "link/LinkError.h"
#include "link/ModemList.h"
#include "link/NetPort.h"
#include "link/PortAccess.h"
#include "sms/PaneSMSEdit.h"
#include "sms/PaneSMSList.h"
#include "status/DevStatus.h"
#include "status/PaneDevId.h"
#include "status/PaneGSM.h"
#include "status/PaneIO.h"
#include "status/PaneTime.h"
#include "status/SysTime.h"

#include "base/ProgramFolder.h"
#include "base/SafeFile.h"

#include <QApplication>
#include <QDateTime>
#include <QDialog>
#include <QFileSystemWatcher>
#include <QString>
#include <QTimer>

#include <cerrno>
#include <cstring>

namespace {

// How soon the window follows a file another program changed: at once when the folder's
// watcher reports it (after a short pause that lets a burst of renames end), and at the
// latest at the next poll, which also covers folders the watcher cannot watch.
constexpr int kFollowSoonMs = 150;
constexpr int kFollowPollMs = 1000;

} // namespace

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
    m_device.m_SMS.AddListener(this);
}

void CAppUI::Detach() {
    if (m_pFollowPoll) {
        m_pFollowPoll->stop();
        m_pFollowSoon->stop();
    }
    m_device.m_Com.DetachSinks(); // questions waiting for the windows get their fallback
    m_pBridge->Detach();
    m_device.m_SMS.RemoveListener(this);
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
    m_recent.Load(CCfgRecent::DefaultFile()); // a list that cannot be read starts empty
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
    QObject::connect(m_pFrmCom, &QDialog::finished, m_pFrmMain.get(), [this] { SequenceEnded(); });
    m_pFrmMain->UpdateRecentMenu();
    UpdateTitle();
    OnNotify(CE_OFFLINE);
    StartFollowing();
    m_pFrmMain->show();
    return 1;
}

void CAppUI::StartFollowing() {
    QWidget* main = m_pFrmMain.get();
    m_pFollowPoll = new QTimer(main);
    m_pFollowPoll->setObjectName(QStringLiteral("m_pTmrFollow"));
    m_pFollowPoll->setInterval(kFollowPollMs);
    QObject::connect(m_pFollowPoll, &QTimer::timeout, main, [this] { FollowSharedFiles(); });
    m_pFollowSoon = new QTimer(main);
    m_pFollowSoon->setObjectName(QStringLiteral("m_pTmrFollowSoon"));
    m_pFollowSoon->setSingleShot(true);
    m_pFollowSoon->setInterval(kFollowSoonMs);
    QObject::connect(m_pFollowSoon, &QTimer::timeout, main, [this] { FollowSharedFiles(); });
    // Every save renames a new file into the folder: the folders are watched, not the files.
    auto* watcher = new QFileSystemWatcher(main);
    tk::EnsureFolder(tk::DataFolder()); // a missing Data folder cannot be watched
    for (const std::string& folder : {tk::ProgramFolder(), tk::DataFolder()})
        watcher->addPath(QString::fromStdString(folder));
    QObject::connect(watcher, &QFileSystemWatcher::directoryChanged, m_pFollowSoon,
                     qOverload<>(&QTimer::start));
    m_pFollowPoll->start();
}

void CAppUI::FollowSharedFiles() {
    // Not while a dialog is open (the SMS editor points at a stored message, the settings
    // dialog edits the lists) nor while a link sequence uses them: the next turn does it.
    if (QApplication::activeModalWidget() || m_device.m_Com.IsBusy())
        return;
    m_device.m_SMS.SyncWithFile(); // the list pane and the node counts follow (listener)
    if (m_device.m_Com.IsOnline())
        return; // the session uses the settings and lists it connected with
    m_profile.SyncWithFile();
    CConnectDscMng& connections = m_device.m_Com.GetConnections();
    if (connections.ChangedHere())
        connections.SaveChanges(0); // a PIN corrected after a refusal; never waits here
    else
        connections.SyncWithFile();
    m_device.m_Com.GetModems().Modems().SyncWithFile();
}

void CAppUI::SyncBeforeSettings() {
    m_profile.SyncWithFile();
    m_device.m_Com.GetConnections().SyncWithFile();
    m_device.m_Com.GetModems().Modems().SyncWithFile();
}

void CAppUI::SaveAfterSettings() {
    // Kept in memory when it cannot be saved now: the window tries again while it follows
    // the files, and at its end.
    if (!m_device.m_Com.GetConnections().SaveChanges())
        Prompts().Error("Seznam spojení (Connection.dat) nyní nelze uložit; program to zkusí "
                        "znovu později.");
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
    SyncBeforeSettings();
    TFrmComSet dlg(*this, m_pFrmMain.get());
    dlg.Init();
    const int result = dlg.exec() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
    SaveAfterSettings();
    return result;
}

int CAppUI::ShowRemConDlg() {
    if (!m_pFrmMain)
        return DLG_CANCEL;
    SyncBeforeSettings();
    TFrmRemCon dlg(Prompts(), m_profile, m_device.m_Com.GetModems().Modems(),
                   m_device.m_Com.GetConnections(), m_pFrmMain.get());
    dlg.Prepare();
    const int result = dlg.exec() == QDialog::Accepted ? DLG_OK : DLG_CANCEL;
    SaveAfterSettings();
    return result;
}

void CAppUI::GoOnline() {
    if (m_profile.m_nConnType == CONN_REMOTE && ShowRemConDlg() != DLG_OK)
        return;
    m_device.Online();
}

void CAppUI::OnNotify(const CComEvent& ev) {
    // What the application and the panes keep from every event (shown or not), before a
    // pane reloads.
    m_signal.Note(ev, QDateTime::currentMSecsSinceEpoch());
    m_PaneMng.Notify(ev);
    switch (ev.m_nCode) {
    case CE_ONLINE:
        m_status = ev.m_Status;
        if (m_pFrmMain)
            m_pFrmMain->SetOnline(true);
        break;
    case CE_OFFLINE: {
        if (m_bSilent)
            ShowSilence(false);
        if (m_pFrmMain) {
            m_pFrmMain->SetOnline(false);
            // A session that ended by itself says why; the one the user closed needs no word.
            if (ev.m_nArg == LE_NO_CONNECTION)
                StatusMessage(QStringLiteral("Spojení s jednotkou skončilo: hovor byl ukončen."));
            else if (ev.m_strDetail == kNetClosedText)
                StatusMessage(
                    QStringLiteral("Spojení s jednotkou skončilo: server ukončil spojení."));
            else if (ev.m_nArg != 0)
                StatusMessage(QStringLiteral(
                    "Spojení s jednotkou skončilo: port zmizel (odpojený kabel nebo adaptér?)."));
        }
        break;
    }
    case CE_NO_ANSWER:
        ShowSilence(true, static_cast<int64_t>(ev.m_nArg));
        break;
    case CE_ANSWERING:
        ShowSilence(false);
        StatusMessage(QStringLiteral("Jednotka opět odpovídá."));
        break;
    case CE_DONE: {
        // A read for a comparison is shown by the compare dialog.
        if (ev.m_nArg == CM_READ_CFG && m_bUnitCompare)
            break;
        DoneFacts facts;
        facts.unitName = tk::FromCp1250(m_status.m_DevId.m_szName, sizeof m_status.m_DevId.m_szName)
                             .toStdString();
        facts.serial = m_status.m_DevId.m_nSerNum;
        facts.smsRead = m_nSeqSmsRead;
        facts.smsSent = m_nSeqSmsSent;
        m_strDone = DoneText(static_cast<uint32_t>(ev.m_nArg), facts);
        break;
    }
    case CE_CFG_READ:
        // A read for a comparison filled its own buffer: the open configuration is as it was.
        if (m_bUnitCompare)
            m_bUnitCompareRead = true;
        else
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
        m_bSequence = true;
        m_nSeqSmsRead = 0;
        m_nSeqSmsSent = 0;
        m_strDone.clear();
        if (m_pFrmCom)
            m_pFrmCom->Begin();
        break;
    case CE_CFG_UNCHANGED:
        Prompts().InfoText(CfgUnchangedText(ev.m_Status.m_DevId));
        break;
    case CE_CFG_WRITTEN:
        StatusMessage(QString::fromStdString(CfgWrittenText(ev.m_Status.m_DevId, ev.m_nArg)));
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
    if (msg.m_nType == PM_ERROR && ShouldGivePortGroupHint(msg.m_nValue, msg.m_portFailure, hint))
        Prompts().InfoText(PortGroupHintText(hint));
}

void CAppUI::PostEvent(const CComEvent& ev) {
    OnNotify(ev);
}

void CAppUI::SendEvent(const CComEvent& ev, const ComReplyPtr& reply) {
    switch (ev.m_nCode) {
    case CE_SMS_RECEIVED: {
        // 1 only when the message is safely in "SMS.dat": only then may the unit delete it.
        const uint32_t stored = ev.m_pSms ? m_device.OnSmsReceived(*ev.m_pSms) : 0;
        reply->Answer(stored);
        if (stored)
            NoteSmsStored(*ev.m_pSms);
        break;
    }
    case CE_SMS_SENT: {
        const uint32_t moved = m_device.OnSmsSent(static_cast<int>(ev.m_nArg));
        reply->Answer(moved);
        ++m_nSeqSmsSent; // sent by the unit, moved or not
        break;
    }
    case CE_CFG_WRITE_QUERY:
        reply->Answer(static_cast<uint32_t>(AskWrite(ev)));
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

// Every dialog asks here for a configuration file: it opens where the user last chose one.
bool CAppUI::AskOpenFileName(std::string& name, const std::string& filter) {
    if (!Prompts().OpenFileName(name, filter, m_profile.LastFolder(FolderKind::Config)) ||
        name.empty())
        return false;
    m_profile.NoteFolder(FolderKind::Config, name);
    return true;
}

bool CAppUI::AskSaveFileName(std::string& name, const std::string& filter, const char* defaultExt) {
    SaveDialogOptions options;
    options.defaultExt = defaultExt ? defaultExt : "";
    options.folder = m_profile.LastFolder(FolderKind::Config);
    if (!Prompts().SaveFileName(name, filter, options) || name.empty())
        return false;
    m_profile.NoteFolder(FolderKind::Config, name);
    return true;
}

void CAppUI::ShowError(uint32_t textId) {
    Prompts().Error(textId);
}

void CAppUI::TitleChanged() {
    UpdateTitle();
    NoteRecentFile(); // a save names the file
}

void CAppUI::ConfigReplaced() {
    m_PaneMng.Invalidate(0, PANE_DEVID);
    UpdateTitle();
    NoteRecentFile();
}

void CAppUI::NoteRecentFile() {
    const std::string& name = m_device.m_Cfg.GetFileName();
    if (name.empty() || (!m_recent.Files().empty() && m_recent.Files().front() == name))
        return;
    if (!m_recent.Add(name))
        return;
    // The list is a convenience: a disk that refuses it must not stop the user's work.
    m_recent.Save(CCfgRecent::DefaultFile());
    if (m_pFrmMain)
        m_pFrmMain->UpdateRecentMenu();
}

int CAppUI::OpenCfgFile(const std::string& path, bool keepName) {
    return m_device.m_Cfg.OpenFile(path, keepName);
}

void CAppUI::CompareWith(const CfgImage& other, const QString& caption) {
    if (!m_pFrmMain)
        return;
    if (!m_pFrmCompare) {
        m_pFrmCompare = new TFrmCfgCompare(m_pFrmMain.get());
        m_pFrmCompare->m_onShowPane = [this](int pane, int param) {
            if (m_pFrmMain)
                m_pFrmMain->ShowPane(pane, param);
        };
    }
    m_PaneMng.LeaveCurrent(); // edits not yet stored count as the open configuration
    m_pFrmCompare->SetDiff(CfgDiff(*m_device.m_Cfg.GetImage(), other), caption);
    m_pFrmCompare->open();
}

void CAppUI::CompareWithSaved(const std::string& path, const QString& caption) {
    CTK630Cfg other; // without a host: its name and flag are nobody's
    if (other.LoadFile(path) != 1) {
        Prompts().Error(TXT_CFG_LOAD_ERROR);
        return;
    }
    CompareWith(*other.GetImage(), caption);
}

void CAppUI::CompareWithFile() {
    std::string name = m_device.m_Cfg.GetFileName();
    std::string filter(GetText(TXT_FILTER_CFG));
    filter += '|';
    filter += GetText(TXT_FILTER_ALL);
    if (!AskOpenFileName(name, filter))
        return;
    const size_t slash = name.find_last_of('/');
    CompareWithSaved(
        name, QStringLiteral("Soubor %1").arg(QString::fromStdString(name.substr(slash + 1))));
}

void CAppUI::CompareWithUnit() {
    if (m_bUnitCompare)
        return;
    if (!m_pUnitCfg)
        m_pUnitCfg = std::make_unique<CTK630Cfg>();
    m_bUnitCompare = true;
    m_bUnitCompareRead = false;
    if (m_device.m_Com.Post({CM_READ_CFG, reinterpret_cast<uintptr_t>(m_pUnitCfg.get()), 0}) != 1)
        m_bUnitCompare = false; // another sequence runs: nothing was queued
}

QWidget* CAppUI::PaneArea() const {
    return m_pFrmMain ? m_pFrmMain->PaneArea() : nullptr;
}

QWidget* CAppUI::DialogParent() const {
    return m_pFrmMain.get();
}

void CAppUI::ShowPane(int id, int param) {
    if (m_pFrmMain)
        m_pFrmMain->ShowPane(id, param);
}

void CAppUI::StatusMessage(const QString& text) {
    if (m_pFrmMain)
        m_pFrmMain->ShowMessage(text, STATUS_MESSAGE_MS);
}

void CAppUI::ShowSilence(bool silent, int64_t since) {
    m_bSilent = silent;
    if (!m_pFrmMain)
        return;
    m_pFrmMain->SetAnswering(!silent);
    if (silent) {
        // It stays while the unit is silent: no box to click away while polling goes on.
        m_strSilence = QString::fromStdString(SilenceText(LocalTimeAt(since)));
        m_pFrmMain->ShowMessage(m_strSilence, 0);
    } else {
        m_pFrmMain->ClearMessage(m_strSilence);
        m_strSilence.clear();
    }
}

void CAppUI::NoteSmsStored(const CSMS& sms) {
    if (m_bSequence) {
        ++m_nSeqSmsRead;
        return;
    }
    // Fetched by the keepalive: nobody asked for it, so it is announced and marked unseen
    // unless the received list is what the user is looking at.
    const char* number = sms.GetNumber(0);
    StatusMessage(QString::fromStdString(FetchedSmsText(
        number ? tk::FromCp1250(number, std::strlen(number) + 1).toStdString() : std::string())));
    const CPane* shown = m_PaneMng.GetPane(m_PaneMng.GetCur());
    const bool looking =
        m_PaneMng.GetCur() == PANE_SMSLIST && shown && shown->m_nParam == SMS_RECEIVED;
    if (m_pFrmMain && !looking)
        m_pFrmMain->SetReceivedUnseen(true);
}

void CAppUI::SequenceEnded() {
    m_bSequence = false;
    if (!m_strDone.empty()) {
        StatusMessage(QString::fromStdString(m_strDone));
        m_strDone.clear();
    }
    if (!m_bUnitCompare)
        return;
    m_bUnitCompare = false;
    // A read that failed or was cancelled has said so in the progress dialog already.
    if (m_bUnitCompareRead)
        CompareWith(*m_pUnitCfg->GetImage(), QStringLiteral("TK530"));
}

void CAppUI::ShowBackups(bool compare) {
    if (!m_pFrmMain)
        return;
    if (!m_pFrmBackups) {
        m_pFrmBackups = new TFrmCfgBackups(m_pFrmMain.get());
        m_pFrmBackups->m_onOpen = [this](const CfgBackupInfo& b) { OpenCfgFile(b.path, false); };
        m_pFrmBackups->m_onCompare = [this](const CfgBackupInfo& b) {
            const std::string serial = FormatSerial(b.serialNumber);
            CompareWithSaved(b.path, QStringLiteral("Záloha %1 %2")
                                         .arg(QString::fromStdString(serial),
                                              QString::fromStdString(BackupTimeText(b))));
        };
    }
    m_pFrmBackups->SetCompareOnEnter(compare);
    m_pFrmBackups->SetBackups(ListConfigBackups(), CfgBackupFolder());
    m_pFrmBackups->open();
}

void CAppUI::LeaveCurrentPane() {
    m_PaneMng.LeaveCurrent();
}

uint32_t CAppUI::PostReadConfig(CTK630Cfg& cfg) {
    return m_device.m_Com.Post({CM_READ_CFG, reinterpret_cast<uintptr_t>(&cfg), 0});
}

uint32_t CAppUI::PostWriteConfig(CTK630Cfg& cfg) {
    const auto param = reinterpret_cast<uintptr_t>(&cfg);
    if (m_profile.m_bReadBeforeWrite) // the worker asks once it knows what the unit holds
        return m_device.m_Com.Post({CM_WRITE_CFG, param, CFG_WRITE_BACKUP | CFG_WRITE_ASK});
    // Without the read (it costs call time over a modem) the unit is not known before the
    // write, but a write still never happens without a word.
    std::string text = kCfgPlainWriteQuestion;
    if (cfg.IsBlank())
        text = std::string(kCfgBlankWriteNote) + "\n\n" + text;
    if (Prompts().AskText(text, PromptButtons::YesNo, PromptDefault::No) != PROMPT_YES)
        return CFG_CANCEL;
    return m_device.m_Com.Post({CM_WRITE_CFG, param, 0});
}

int CAppUI::AskWrite(const CComEvent& ev) {
    if (!ev.m_pCfg)
        return 0;
    CTK630Cfg& cfg = m_device.m_Cfg;
    const std::string note = cfg.IsBlank() ? kCfgBlankWriteNote : "";
    const int answer = Prompts().AskWriteChanges(CfgWriteQuestion(ev.m_Status.m_DevId), note,
                                                 CfgDiff(*ev.m_pCfg, *cfg.GetImage()));
    return answer == PROMPT_YES ? 1 : 0;
}

void CAppUI::OnSmsListCountChanged(int list, int /*count*/) {
    if (m_pFrmMain)
        m_pFrmMain->UpdateListNode(list);
}

void CAppUI::OnSmsStoreDamaged(const std::string& copy) {
    // Once per damage: the store calls this only before its first save over the file. The
    // store is saving under the Data lock: the box waits until that is over, so neither
    // tk530ctl nor a message the unit delivers meanwhile waits for the user.
    const std::string path = CSMSMng::FilePath();
    const std::string text =
        "Soubor " + path + " byl poškozený. " +
        (copy.empty()
             ? std::string("Jeho kopii se nepodařilo uložit, proto nebude změněn.")
             : "Jeho obsah je uložen v souboru " + copy + "; zprávy se nyní ukládají znovu.");
    QTimer::singleShot(0, qApp, [this, text] { Prompts().InfoText(text); });
}

void CAppUI::OnSmsSaveFailed(int error) {
    if (error == EBUSY)
        Prompts().Error(tk::kDataBusyText);
    else if (error == EBADMSG)
        Prompts().Error("Soubor SMS.dat, který uložil jiný program, nelze přečíst celý; změna "
                        "nebyla provedena, aby se o jeho obsah nepřišlo.");
    else
        Prompts().Error(std::string(GetText(TXT_SMS_SAVE_ERROR)) + " (" + CSMSMng::FilePath() +
                        ": " + tk::FileErrorText(error) + ")");
}
