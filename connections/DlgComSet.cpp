#include "connections/DlgComSet.h"

#include "app/AppUIStableLayout.h"
#include "app/AppUITextLimit.h"
#include "app/Device.h"
#include "app/PaneHost.h"
#include "app/Prompts.h"
#include "base/DataLock.h"
#include "config/Profile.h"
#include "connections/ComSetRules.h"
#include "connections/ConnectDsc.h"
#include "connections/DlgFindUnit.h"
#include "link/FindUnit.h"
#include "link/LineCheck.h"
#include "link/NetPort.h"

#include <cstring>

#include <QFile>
#include <QListWidget>

#include "ui_DlgComSet.h"

namespace {

QString NumberText(const CConnectDsc& dsc) {
    return tk::FromCp1250(dsc.m_szNum, sizeof dsc.m_szNum);
}

int SelectedRow(const QListWidget* list) {
    const QListWidgetItem* item = list->currentItem();
    return item && item->isSelected() ? list->row(item) : -1;
}

void SelectRow(QListWidget* list, int row) {
    if (row >= 0 && row < list->count())
        list->setCurrentRow(row);
    else
        list->setCurrentRow(-1);
}

} // namespace

TFrmComSet::TFrmComSet(IPaneHost& ui, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      m_ui(ui), m_modems(ui.Device().m_Com.GetModems().Modems()),
      m_connections(ui.Device().m_Com.GetConnections()),
      m_pForm(std::make_unique<Ui::TFrmComSet>()) {
    m_pForm->setupUi(this);
    tk::ReserveCaptions(m_pForm->m_pBtnTestLine,
                        {QStringLiteral("Vyzkoušet spojení"), QStringLiteral("Přerušit zkoušku")});
    tk::ReserveLines(m_pForm->m_pLblTestResult, 2);
    m_pPortBox = std::make_unique<CPortBox>(m_pForm->m_pCmbPort);
    Ui::TFrmComSet& f = *m_pForm;
    f.m_pPgCtlCom->setCurrentWidget(f.m_pTShtMode);
    connect(f.m_pLsbModem, &QListWidget::itemSelectionChanged, this,
            [this] { UpdateModemButtons(); });
    connect(f.m_pLsbModem, &QListWidget::itemDoubleClicked, this,
            [this] { m_pBtnModemSetClick(); });
    connect(f.m_pBtnModemSet, &QPushButton::clicked, this, [this] { m_pBtnModemSetClick(); });
    connect(f.m_pBtnModemAdd, &QPushButton::clicked, this, [this] { m_pBtnModemAddClick(); });
    connect(f.m_pBtnModemDel, &QPushButton::clicked, this, [this] { m_pBtnModemDelClick(); });
    connect(f.m_pLsbConnect, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
    connect(f.m_pLsbConnect, &QListWidget::itemDoubleClicked, this, [this] {
        if (SelectedConnection() >= 0)
            m_pBtnSetClick();
    });
    connect(f.m_pBtnAdd, &QPushButton::clicked, this, [this] { m_pBtnAddClick(); });
    connect(f.m_pBtnDel, &QPushButton::clicked, this, [this] { m_pBtnDelClick(); });
    connect(f.m_pBtnSet, &QPushButton::clicked, this, [this] { m_pBtnSetClick(); });
    connect(f.m_pBtnOk, &QPushButton::clicked, this, [this] { m_pBtnOkClick(); });
    connect(f.m_pBtnTestLine, &QPushButton::clicked, this, [this] { m_pBtnTestLineClick(); });
    connect(f.m_pBtnFindUnit, &QPushButton::clicked, this, [this] { m_pBtnFindUnitClick(); });
}

TFrmComSet::~TFrmComSet() = default;

void TFrmComSet::done(int result) {
    m_lineCheck.Cancel(); // a check still running gives up; its verdict goes nowhere
    QDialog::done(result);
}

void TFrmComSet::Init() {
    const CProfile& profile = m_ui.Profile();
    Ui::TFrmComSet& f = *m_pForm;
    f.m_pRdbLocal->setChecked(profile.m_nConnType == CONN_LOCAL);
    f.m_pRdbRemote->setChecked(profile.m_nConnType == CONN_REMOTE);
    m_pPortBox->SetPort(profile.PortPath());
    f.m_pChbLog->setChecked(profile.m_bLog != 0);
    f.m_pChbReadBeforeWrite->setChecked(profile.m_bReadBeforeWrite);
    f.m_pLblTestResult->clear();

    FillModemList(f.m_pLsbModem, m_modems);
    SelectRow(f.m_pLsbModem, profile.m_nModem);
    UpdateModemButtons();

    {
        const QSignalBlocker block(f.m_pLsbConnect);
        f.m_pLsbConnect->clear();
        for (int i = 0; i < m_connections.GetCount(); ++i)
            f.m_pLsbConnect->addItem(NumberText(*m_connections.Get(i)));
        SelectRow(f.m_pLsbConnect, m_connections.GetSel());
    }
    UpdateButtons();
}

int TFrmComSet::SelectedModem() const {
    return SelectedRow(m_pForm->m_pLsbModem);
}

int TFrmComSet::SelectedConnection() const {
    return SelectedRow(m_pForm->m_pLsbConnect);
}

void TFrmComSet::UpdateButtons() {
    const ConnListButtons b =
        ConnListButtonsFor(m_pForm->m_pLsbConnect->count(), SelectedConnection());
    m_pForm->m_pBtnAdd->setEnabled(b.add);
    m_pForm->m_pBtnDel->setEnabled(b.del);
    m_pForm->m_pBtnSet->setEnabled(b.set);
}

void TFrmComSet::UpdateModemButtons() {
    const bool selected = SelectedModem() >= 0;
    m_pForm->m_pBtnModemSet->setEnabled(selected);
    m_pForm->m_pBtnModemDel->setEnabled(selected);
    m_pForm->m_pBtnModemAdd->setEnabled(m_modems.Count() < CModemMng::MAX_MODEMS);
}

void TFrmComSet::m_pBtnModemSetClick() {
    const int i = SelectedModem();
    if (i < 0)
        return;
    // tk530ctl may have moved the modem meanwhile: the row is where it is now.
    const int edited = EditModem(m_ui.Prompts(), m_modems, i, this);
    if (edited < 0)
        return;
    FillModemList(m_pForm->m_pLsbModem, m_modems);
    SelectRow(m_pForm->m_pLsbModem, edited);
    UpdateModemButtons();
}

void TFrmComSet::m_pBtnModemAddClick() {
    const int added = EditModem(m_ui.Prompts(), m_modems, -1, this);
    if (added < 0)
        return;
    FillModemList(m_pForm->m_pLsbModem, m_modems);
    SelectRow(m_pForm->m_pLsbModem, added);
    UpdateModemButtons();
}

void TFrmComSet::m_pBtnModemDelClick() {
    int i = SelectedModem();
    if (i < 0 || m_ui.Prompts().AskText("Opravdu chcete tento modem odstranit?",
                                        PromptButtons::YesNo, PromptDefault::No) != PROMPT_YES)
        return;
    const int before = static_cast<int>(m_modems.Count());
    // The modem the user chose, found again by its entry should tk530ctl have changed the
    // list meanwhile; changed under the Data lock, released before any message.
    const CModemInf chosen = *m_modems.Get(static_cast<size_t>(i));
    tk::CDataLock lock;
    if (!lock.Acquire(tk::kDataLockWaitMs)) {
        m_ui.Prompts().Error(tk::kDataBusyText);
        return;
    }
    if (m_modems.SyncWithFile() == 1) {
        i = -1;
        for (size_t k = 0; k < m_modems.Count() && i < 0; ++k)
            if (std::strcmp(m_modems.Get(k)->m_szName, chosen.m_szName) == 0 &&
                std::strcmp(m_modems.Get(k)->m_szDevice, chosen.m_szDevice) == 0)
                i = static_cast<int>(k);
    }
    if (i < 0 || m_modems.Remove(static_cast<size_t>(i)) < 0) {
        lock.Release();
        FillModemList(m_pForm->m_pLsbModem, m_modems);
        UpdateModemButtons();
        return;
    }
    const bool saved = m_modems.Save();
    lock.Release();
    if (!saved)
        m_ui.Prompts().Error("Seznam modemů se nepodařilo uložit; změna platí jen do ukončení "
                             "programu.");
    // The list has changed already; the profile keeps naming the modem it named.
    CProfile& profile = m_ui.Profile();
    profile.m_nModem = ModemIndexAfterDelete(profile.m_nModem, i);
    FillModemList(m_pForm->m_pLsbModem, m_modems);
    SelectRow(m_pForm->m_pLsbModem, SelectionAfterDelete(i, before));
    UpdateModemButtons();
}

void TFrmComSet::m_pBtnAddClick() {
    CConnectDsc dsc{};
    if (m_ui.ShowConnectItemDlg(&dsc, false) != DLG_OK)
        return;
    const int index = m_connections.Add(dsc);
    if (index < 0)
        return;
    m_pForm->m_pLsbConnect->addItem(NumberText(dsc));
    SelectRow(m_pForm->m_pLsbConnect, m_pForm->m_pLsbConnect->count() - 1);
    UpdateButtons();
}

void TFrmComSet::m_pBtnDelClick() {
    if (m_ui.Prompts().Ask(TXT_CONN_DELETE_QUERY, PromptButtons::YesNo, PromptDefault::No) !=
        PROMPT_YES)
        return;
    const int i = SelectedConnection();
    if (i < 0)
        return;
    const int before = m_pForm->m_pLsbConnect->count();
    m_connections.Delete(i);
    {
        const QSignalBlocker block(m_pForm->m_pLsbConnect);
        delete m_pForm->m_pLsbConnect->takeItem(i);
        SelectRow(m_pForm->m_pLsbConnect, SelectionAfterDelete(i, before));
    }
    UpdateButtons();
}

void TFrmComSet::m_pBtnSetClick() {
    const int i = SelectedConnection();
    CConnectDsc* dsc = m_connections.Get(i);
    if (!dsc || m_ui.ShowConnectItemDlg(dsc, false) != DLG_OK)
        return;
    m_pForm->m_pLsbConnect->item(i)->setText(NumberText(*dsc));
}

void TFrmComSet::m_pBtnOkClick() {
    CProfile& profile = m_ui.Profile();
    Ui::TFrmComSet& f = *m_pForm;
    // A network port is only checked for its form here: its name is resolved when it is
    // opened, by the worker, never on this thread.
    std::string netError;
    if (IsNetworkPort(m_pPortBox->Port()) &&
        !ParseNetPort(m_pPortBox->Port(), nullptr, &netError)) {
        m_ui.Prompts().Error(netError);
        return;
    }
    if (profile.SetPortPath(m_pPortBox->Port()) != PROFILE_OK) {
        m_ui.Prompts().Error("Cestu ke komunikačnímu portu se nepodařilo uložit.");
        return;
    }
    profile.m_nConnType = f.m_pRdbLocal->isChecked() ? CONN_LOCAL : CONN_REMOTE;
    profile.m_bLog = f.m_pChbLog->isChecked() ? 1 : 0;
    profile.m_bReadBeforeWrite = f.m_pChbReadBeforeWrite->isChecked();
    profile.m_nModem = SelectedModem();
    m_connections.SetSel(SelectedConnection());
    accept();
}

void TFrmComSet::m_pBtnTestLineClick() {
    Ui::TFrmComSet& f = *m_pForm;
    if (m_lineCheck.Running()) {
        m_lineCheck.Cancel();
        return;
    }
    const std::string port = m_pPortBox->Port();
    if (port.empty()) {
        f.m_pLblTestResult->setText("Zadejte komunikační port.");
        return;
    }
    f.m_pLblTestResult->setText("Zkouším spojení s jednotkou na " +
                                QFile::decodeName(port.c_str()) + "\u2026");
    f.m_pBtnTestLine->setText("Přerušit zkoušku");
    f.m_pBtnFindUnit->setEnabled(false); // the check holds a port the search would open
    m_lineCheck.Start<LineCheckResult>(
        [port](const CancelCheck& cancel) {
            LineCheckResult result;
            CheckLine(port, &result, cancel);
            return result;
        },
        [this](LineCheckResult result) {
            m_pForm->m_pBtnTestLine->setText("Vyzkoušet spojení");
            m_pForm->m_pBtnFindUnit->setEnabled(true);
            m_pForm->m_pLblTestResult->setText(QString::fromStdString(LineDiagnosisText(result)));
            emit lineTestFinished();
        });
}

void TFrmComSet::m_pBtnFindUnitClick() {
    Ui::TFrmComSet& f = *m_pForm;
    const std::vector<std::string> ports = FindCandidates(m_pPortBox->Devices(), m_modems);
    if (ports.empty()) {
        f.m_pLblTestResult->setText("Počítač nemá žádný sériový port (kromě modemů ze seznamu "
                                    "modemů). Zadejte port ručně.");
        return;
    }
    TFrmFindUnit find(this);
    find.Start(ports);
    if (find.exec() != QDialog::Accepted)
        return;
    m_pPortBox->SetPort(find.ChosenPort());
    f.m_pLblTestResult->setText(QString::fromStdString(LineDiagnosisText(find.ChosenResult())));
}
