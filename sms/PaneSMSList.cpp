#include "sms/PaneSMSList.h"

#include "base/CzechFormat.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "app/Prompts.h"
#include "app/ShellRules.h"
#include "base/Cp1250.h"
#include "base/Texts.h"
#include "config/Profile.h"
#include "sms/DlgSMSEdit.h"
#include "sms/DlgSMSView.h"
#include "sms/PaneSMSEdit.h"
#include "sms/SMSExport.h"

#include "ui_PaneSMSList.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr char kUtf8TextFilter[] = "Textové dokumenty v kódování UTF-8 (*.txt)|*.txt";

constexpr int kColumns = 3;
constexpr int kDefaultWidth[kColumns] = {120, 300, 130};

QString Utf8(const std::string& s) {
    return QString::fromStdString(s);
}

SmsOpenUrl& OpenUrl() {
    static SmsOpenUrl open = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return open;
}

} // namespace

SmsOpenUrl ReplaceSmsOpenUrl(SmsOpenUrl open) {
    SmsOpenUrl old = OpenUrl();
    OpenUrl() =
        open ? std::move(open) : [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return old;
}

QString SmsTimeText(const CSMS& sms) {
    return QString::fromStdString(tk::CzechTime(sms.m_nHour, sms.m_nMinute, sms.m_nSecond) + "  " +
                                  tk::CzechDate(2000 + sms.m_nYear, sms.m_nMonth, sms.m_nDay));
}

QString SmsListText(const CSMS& sms) {
    const char* text = sms.GetText();
    if (!text)
        return {};
    const std::string_view bytes(text, std::min(sms.GetTextLength(), SMS_PART_LEN));
    return Utf8(tk::Cp1250ToUtf8(bytes));
}

// --- the model ---------------------------------------------------------------------------

CSMSListModel::CSMSListModel(const CSMSMng& store, int list, QObject* parent)
    : QAbstractTableModel(parent), m_store(store), m_nList(list), m_nRows(store.GetCount(list)) {}

int CSMSListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_nRows;
}

int CSMSListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

int CSMSListModel::IndexOfRow(int row) const {
    return row >= 0 && row < m_nRows ? m_nRows - 1 - row : -1;
}

int CSMSListModel::RowOfIndex(int index) const {
    return index >= 0 && index < m_nRows ? m_nRows - 1 - index : -1;
}

QVariant CSMSListModel::data(const QModelIndex& index, int role) const {
    const CSMS* sms = m_store.Get(IndexOfRow(index.row()), m_nList);
    if (!sms || !index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case 0:
            return sms->GetNumberCount() > 0 && sms->GetNumber(0)
                       ? Utf8(tk::Cp1250ToUtf8(sms->GetNumber(0)))
                       : QString();
        case 1:
            // One line in the list: the line breaks of a longer text would hide the next rows.
            return SmsListText(*sms).replace(QLatin1String("\r\n"), QLatin1String(" "));
        case 2:
            return SmsTimeText(*sms);
        default:
            return {};
        }
    case Qt::DecorationRole:
        if (index.column() == 0 && sms->IsUnread())
            return QIcon(QStringLiteral(":/icons/12.svg"));
        return {};
    case Qt::AccessibleDescriptionRole:
        return sms->IsUnread() ? QStringLiteral("nepřečtená") : QStringLiteral("přečtená");
    case Qt::ToolTipRole:
        if (index.column() == 1 && sms->GetText())
            return Utf8(tk::Cp1250ToUtf8(sms->GetText()));
        return {};
    default:
        return {};
    }
}

QVariant CSMSListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return m_nList == SMS_RECEIVED ? QStringLiteral("Od") : QStringLiteral("Komu");
    case 1:
        return QStringLiteral("Text");
    case 2:
        return QStringLiteral("Čas");
    default:
        return {};
    }
}

void CSMSListModel::Refresh() {
    beginResetModel();
    m_nRows = m_store.GetCount(m_nList);
    endResetModel();
}

// --- the frame ---------------------------------------------------------------------------

TFrmSMSList::TFrmSMSList(CPaneSMSList& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSMSList>()) {
    m_pForm->setupUi(this);
    m_apLsv = {m_pForm->m_pLsvSMS1, m_pForm->m_pLsvSMS2, m_pForm->m_pLsvSMS3};
    const CProfile& profile = pane.UI().Profile();
    for (int list = 0; list < SMS_LIST_COUNT; ++list) {
        QTreeView* view = m_apLsv[list];
        m_apModel[list] = new CSMSListModel(pane.UI().Device().m_SMS, list, this);
        view->setModel(m_apModel[list]);
        view->setAccessibleName(Utf8(std::string(GetText(TXT_SMS_LIST_BASE + list))));
        for (int col = 0; col < kColumns; ++col) {
            const int w = profile.m_anColWidth[list * kColumns + col];
            view->setColumnWidth(col, w > 0 ? w : kDefaultWidth[col]);
        }
        view->installEventFilter(this);
        connect(view, &QTreeView::doubleClicked, this, [this] {
            if (GetSelection(nullptr, 0) > 0)
                m_pane.OpenCmd();
        });
        // The context menu: what the keys do, and the archive of received messages.
        auto* open = new QAction(QStringLiteral("Otevřít"), view);
        open->setObjectName(QStringLiteral("m_pActLsvOpen%1").arg(list + 1));
        connect(open, &QAction::triggered, this, [this] { m_pane.OpenCmd(); });
        auto* del = new QAction(QStringLiteral("Odstranit"), view);
        del->setObjectName(QStringLiteral("m_pActLsvDelete%1").arg(list + 1));
        connect(del, &QAction::triggered, this, [this] {
            if (GetSelection(nullptr, 0) > 0)
                m_pane.DeleteCmd(2);
        });
        view->addAction(open);
        view->addAction(del);
        if (list == SMS_RECEIVED) {
            auto* archive = new QAction(QStringLiteral("Otevřít složku archivu"), view);
            archive->setObjectName(QStringLiteral("m_pActSMSArchiveFolder"));
            connect(archive, &QAction::triggered, this, [this] { m_pane.OpenArchiveFolder(); });
            view->addAction(archive);
        }
    }
}

TFrmSMSList::~TFrmSMSList() = default;

QTreeView* TFrmSMSList::View(int list) const {
    return list >= 0 && list < SMS_LIST_COUNT ? m_apLsv[list] : nullptr;
}

CSMSListModel* TFrmSMSList::Model(int list) const {
    return list >= 0 && list < SMS_LIST_COUNT ? m_apModel[list] : nullptr;
}

void TFrmSMSList::Fill() {
    for (CSMSListModel* model : m_apModel)
        model->Refresh();
}

void TFrmSMSList::ShowList(int list) {
    if (list == m_nShown || !View(list))
        return;
    m_apLsv[list]->show();
    if (m_nShown >= 0)
        m_apLsv[m_nShown]->hide();
    m_nShown = list;
}

int TFrmSMSList::GetSelection(int32_t* indices, int max) const {
    QTreeView* view = View(m_nShown);
    if (!view || !view->selectionModel())
        return 0;
    const QModelIndexList rows = view->selectionModel()->selectedRows();
    const int count = static_cast<int>(rows.size());
    if (!indices)
        return count;
    std::vector<int32_t> all;
    for (const QModelIndex& row : rows)
        all.push_back(m_apModel[m_nShown]->IndexOfRow(row.row()));
    std::sort(all.begin(), all.end());
    // With more rows selected than room, the newest ones are kept (as the selection query
    // always did); the common case writes every index ascending from position 0.
    const int n = std::min(count, max);
    std::copy(all.end() - n, all.end(), indices);
    return count;
}

void TFrmSMSList::SaveColumnWidths() {
    CProfile& profile = m_pane.UI().Profile();
    for (int list = 0; list < SMS_LIST_COUNT; ++list)
        for (int col = 0; col < kColumns; ++col)
            profile.m_anColWidth[list * kColumns + col] = m_apLsv[list]->columnWidth(col);
}

bool TFrmSMSList::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == View(m_nShown)) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier || key->modifiers() == Qt::KeypadModifier) {
            if (key->key() == Qt::Key_Delete) {
                if (GetSelection(nullptr, 0) > 0)
                    m_pane.DeleteCmd(2);
                return true;
            }
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                if (GetSelection(nullptr, 0) > 0)
                    m_pane.OpenCmd();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

// --- the pane ----------------------------------------------------------------------------

CPaneSMSList::CPaneSMSList(IPaneHost& ui) : CFramePane(ui, PANE_SMSLIST, nullptr) {}

CPaneSMSList::~CPaneSMSList() {
    if (m_ui.SmsCommands() == this)
        m_ui.SetSmsCommands(nullptr);
    m_ui.Device().m_SMS.RemoveListener(this);
}

QWidget* CPaneSMSList::NewFrame(QWidget* parent) {
    auto* frame = new TFrmSMSList(*this, parent);
    m_ui.Device().m_SMS.AddListener(this);
    m_ui.SetSmsCommands(this);
    return frame;
}

TFrmSMSList* CPaneSMSList::Frm() const {
    return static_cast<TFrmSMSList*>(m_pFrm);
}

void CPaneSMSList::Load(int param) {
    TFrmSMSList* form = Frm();
    if (m_bStale && form)
        form->Fill();
    BeginLoad(param);
    if (form)
        form->ShowList(m_nParam);
}

void CPaneSMSList::SaveLayout() {
    if (TFrmSMSList* form = Frm())
        form->SaveColumnWidths();
}

int CPaneSMSList::GetSelection(int32_t* indices, int max) const {
    return Frm() ? Frm()->GetSelection(indices, max) : 0;
}

int CPaneSMSList::SelectedCount() const {
    return IsCurrent() ? GetSelection(nullptr, 0) : 0;
}

bool CPaneSMSList::IsCurrent() const {
    return m_ui.PaneMng().GetCur() == PANE_SMSLIST && Frm();
}

void CPaneSMSList::Refresh(int list) {
    if (TFrmSMSList* form = Frm())
        if (CSMSListModel* model = form->Model(list))
            model->Refresh();
}

void CPaneSMSList::OnSmsRowAdded(int list, int /*index*/) {
    Refresh(list);
}

void CPaneSMSList::OnSmsRowsRemoved(int list, const int32_t* /*indices*/, int /*n*/) {
    Refresh(list);
}

void CPaneSMSList::OnSmsRowUpdated(int list, int index) {
    TFrmSMSList* form = Frm();
    CSMSListModel* model = form ? form->Model(list) : nullptr;
    const int row = model ? model->RowOfIndex(index) : -1;
    if (row >= 0)
        emit model->dataChanged(model->index(row, 0), model->index(row, kColumns - 1));
}

void CPaneSMSList::OnSmsListCountChanged(int list, int /*count*/) {
    Refresh(list);
}

int CPaneSMSList::ShowSMSEditDlg(CSMS* sms, int index) {
    if (!m_pDlg) {
        QWidget* main = m_ui.DialogParent();
        if (!main)
            return 2;
        m_pDlg = new TFrmSMSEditDlg(m_ui, main);
    }
    m_pDlg->Frame()->Bind(sms, index, true);
    return m_pDlg->exec() == QDialog::Accepted ? 1 : 2;
}

void CPaneSMSList::OpenArchiveFolder() {
    const QString folder = QFileInfo(Utf8(CSMSMng::ArchivePath())).absolutePath();
    OpenUrl()(QUrl::fromLocalFile(folder));
}

int CPaneSMSList::ShowSMSViewDlg(const CSMS& sms, int list) {
    if (!m_pViewDlg) {
        QWidget* main = m_ui.DialogParent();
        if (!main)
            return 0;
        m_pViewDlg = new TFrmSMSViewDlg(main);
    }
    m_pViewDlg->Show(sms, list);
    const int result = m_pViewDlg->exec();
    return result == SMS_VIEW_REPLY || result == SMS_VIEW_FORWARD ? result : 0;
}

void CPaneSMSList::ComposeFrom(const CSMS& sms, bool reply) {
    auto* pane = static_cast<CPaneSMSEdit*>(m_ui.PaneMng().GetPane(PANE_SMSEDIT));
    TFrmSMSEdit* editor = pane ? pane->Frm() : nullptr;
    if (!editor || !m_ui.DialogParent())
        return;
    if (editor->HasDraft() &&
        m_ui.Prompts().AskText("V editoru SMS je rozepsaná zpráva. Chcete ji nahradit?",
                               PromptButtons::YesNo, PromptDefault::No) != PROMPT_YES)
        return;
    QString recipients;
    QString text;
    if (reply) {
        // A received message is answered to its sender, a sent one to its recipients.
        QStringList numbers;
        for (int i = 0; i < sms.GetNumberCount(); ++i)
            numbers.push_back(Utf8(tk::Cp1250ToUtf8(sms.GetNumber(i))));
        recipients = numbers.join(QStringLiteral(", "));
    } else if (sms.GetText()) {
        text = Utf8(tk::Cp1250ToUtf8(sms.GetText()));
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    }
    m_ui.ShowPane(PANE_SMSEDIT, 0);
    editor->Compose(recipients, text);
}

void CPaneSMSList::OpenCmd() {
    if (!IsCurrent())
        return;
    int32_t index = -1;
    if (GetSelection(&index, 1) == 0 || index < 0)
        return;
    const int list = GetShownList();
    CSMSMng& store = m_ui.Device().m_SMS;
    CSMS* sms = store.Get(index, list);
    if (!sms)
        return;
    if (list != SMS_TOSEND) {
        // Received and sent messages are records: shown, never edited. Only the read mark
        // changes.
        const CSMS shown(*sms);
        const std::vector<uint8_t> key = store.MessageKey(list, index);
        const int choice = ShowSMSViewDlg(shown, list);
        // Messages fetched in the background while the dialog was open may have moved the
        // message down its list or pushed it out (into the archive): find it again by what
        // it holds, never by a pointer that may have been freed.
        const int now = store.FindMessage(list, key);
        if (CSMS* found = store.Get(now, list); found && found->IsUnread()) {
            found->SetUnread(false);
            store.UpdateAndShow(now, list);
        }
        if (choice != 0)
            ComposeFrom(shown, choice == SMS_VIEW_REPLY);
        return;
    }
    const int result = ShowSMSEditDlg(sms, index);
    // The dialog may have changed the lists (a copy into the to-send list can evict one, and
    // only from that list): look the message up again rather than trust the pointer.
    sms = store.Get(index, list);
    if (sms && (sms->IsUnread() || (list == SMS_TOSEND && result == 1))) {
        sms->SetUnread(false);
        store.UpdateAndShow(index, list);
    }
}

void CPaneSMSList::ReadCmd() {
    m_ui.Device().ReadSms();
}

int SmsSend(IPaneHost& ui, const std::vector<int32_t>& indices) {
    for (const int32_t index : indices)
        if (index < 0 || index >= ui.Device().m_SMS.GetCount(SMS_TOSEND))
            return -1;
    const uint32_t r = ui.Device().SendSms(indices);
    if (r == 0) {
        ui.Prompts().Warning(TXT_NO_SMS_TO_SEND);
        return 1;
    }
    return static_cast<int>(r);
}

void CPaneSMSList::SendCmd(int kind) {
    std::vector<int32_t> indices;
    if (kind == 2) {
        // Only the to-send list can be sent from (the action is offered only while it is shown).
        if (!IsCurrent() || GetShownList() != SMS_TOSEND)
            return;
        int32_t sel[SMS_LIST_MAX];
        const int n = std::min(GetSelection(sel, SMS_LIST_MAX), SMS_LIST_MAX);
        indices.assign(sel, sel + n);
    } else {
        for (int i = 0; i < m_ui.Device().m_SMS.GetCount(SMS_TOSEND); ++i)
            indices.push_back(i);
    }
    SmsSend(m_ui, indices);
}

int CPaneSMSList::ChooseRows(int kind, int list, int32_t* sel) const {
    if (kind == 2)
        return std::min(GetSelection(sel, SMS_LIST_MAX), SMS_LIST_MAX);
    const int n = m_ui.Device().m_SMS.GetCount(list);
    for (int i = 0; i < n; ++i)
        sel[i] = i;
    return n;
}

void CPaneSMSList::ExportCmd(int kind) {
    if (!IsCurrent())
        return;
    const int list = GetShownList();
    CSMSMng& store = m_ui.Device().m_SMS;
    int32_t* sel = store.m_anSel.data();
    const int n = ChooseRows(kind, list, sel);
    if (n <= 0)
        return;
    IPrompts& prompts = m_ui.Prompts();
    std::string path;
    // The second filter is the encoding tk530ctl offers as --encoding utf8; the others give
    // CP1250 as the unit's texts are.
    const std::string filter = std::string(GetText(TXT_FILTER_TXT)) + "|" + kUtf8TextFilter + "|" +
                               std::string(GetText(TXT_FILTER_ALL));
    SaveDialogOptions options;
    options.defaultExt = "txt";
    options.folder = m_ui.Profile().LastFolder(FolderKind::Export);
    options.confirmOverwrite = false; // the question below offers appending as well
    if (!prompts.SaveFileName(path, filter, options) || path.empty())
        return;
    m_ui.Profile().NoteFolder(FolderKind::Export, path);
    int mode = SMS_EXPORT_OVERWRITE;
    if (SmsExportFileExists(path)) {
        const int answer = prompts.Ask(TXT_FILE_EXISTS_QUERY, PromptButtons::YesNoCancel);
        if (answer == PROMPT_CANCEL)
            return;
        mode = answer == PROMPT_YES ? SMS_EXPORT_OVERWRITE : SMS_EXPORT_APPEND;
    }
    const SmsExportEncoding encoding =
        options.filterIndex == 1 ? SmsExportEncoding::Utf8 : SmsExportEncoding::Cp1250;
    const int result = ExportSms(store, list, sel, n, path, mode, encoding);
    const std::string_view error = ExportErrorText(result);
    if (!error.empty())
        prompts.Error(std::string(error));
    else
        m_ui.StatusMessage(QString::fromStdString(ExportDoneText(n, path)));
}

void CPaneSMSList::DeleteCmd(int kind) {
    if (!IsCurrent())
        return;
    IPrompts& prompts = m_ui.Prompts();
    // Deleted messages are gone for good: Enter must not delete them.
    if (prompts.Ask(kind == 1 ? TXT_SMS_DELETE_ALL_QUERY : TXT_SMS_DELETE_SEL_QUERY,
                    PromptButtons::YesNo, PromptDefault::No) != PROMPT_YES)
        return;
    const int list = GetShownList();
    CSMSMng& store = m_ui.Device().m_SMS;
    int32_t* sel = store.m_anSel.data();
    const int n = ChooseRows(kind, list, sel);
    if (kind == 2 && n == 0)
        return;
    store.DeleteAndShow(list, n);
}
