#include "link/DlgModem.h"

#include "app/AppUIStableLayout.h"
#include "app/AppUITextLimit.h"
#include "app/Prompts.h"
#include "base/DataLock.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <cstring>

#include "ui_DlgModem.h"

namespace {

QString Q(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

// A path as the system takes it (its own encoding of file names).
std::string PathOf(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

} // namespace

// --- port box -------------------------------------------------------------------------------

CPortBox::CPortBox(QComboBox* box)
    : QObject(box), m_pBox(box), m_scan([] { return ListSerialPorts(); }) {
    // A device path may be long (/dev/serial/by-id/...); the profile keeps it whole.
    m_pBox->lineEdit()->setMaxLength(255);
    m_pBox->setInsertPolicy(QComboBox::NoInsert);
    m_pBox->setCompleter(nullptr); // a device name is never guessed from its first letters
    // A chosen device shows the path that will be stored, not its description.
    connect(m_pBox, qOverload<int>(&QComboBox::activated), this, [this](int index) {
        if (index >= 0 && static_cast<size_t>(index) < m_choices.size())
            m_pBox->setEditText(Q(m_choices[static_cast<size_t>(index)].m_strPath));
    });
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CPortBox::Refresh);
    Rebuild(PortChoices({}));
    Refresh();
    m_timer.start();
}

void CPortBox::SetScan(Scan scan) {
    m_scan = std::move(scan);
    Refresh();
}

void CPortBox::Refresh() {
    // Rebuilding under an open list would close it under the user's mouse: next time.
    if (m_pBox->view() && m_pBox->view()->isVisible())
        return;
    const std::vector<PortChoice> choices =
        PortChoices(m_scan ? m_scan() : std::vector<SerialPortInfo>{});
    const bool same =
        choices.size() == m_choices.size() &&
        std::equal(choices.begin(), choices.end(), m_choices.begin(),
                   [](const PortChoice& a, const PortChoice& b) {
                       return a.m_strText == b.m_strText && a.m_strPath == b.m_strPath;
                   });
    if (!same)
        Rebuild(choices);
}

void CPortBox::Rebuild(const std::vector<PortChoice>& choices) {
    const QString text = m_pBox->currentText();
    const QSignalBlocker block(m_pBox);
    m_pBox->clear();
    for (const PortChoice& choice : choices)
        m_pBox->addItem(Q(choice.m_strText), Q(choice.m_strPath));
    m_choices = choices;
    m_pBox->setCurrentIndex(-1);
    m_pBox->setEditText(text);
}

std::string CPortBox::Port() const {
    return PortFromBoxText(PathOf(m_pBox->currentText()), m_choices);
}

void CPortBox::SetPort(const std::string& port) {
    const QSignalBlocker block(m_pBox);
    m_pBox->setCurrentIndex(-1);
    m_pBox->setEditText(QFile::decodeName(QByteArray::fromStdString(port)));
}

// --- modem list -----------------------------------------------------------------------------

void FillModemList(QListWidget* list, const CModemMng& modems) {
    const QSignalBlocker block(list);
    list->clear();
    for (size_t i = 0; i < modems.Count(); ++i) {
        const CModemInf& modem = *modems.Get(i);
        const QString name = tk::FromCp1250(modem.m_szName, sizeof modem.m_szName);
        const std::string problem = ModemDeviceProblem(modem);
        auto* item = new QListWidgetItem(list);
        if (problem.empty()) {
            item->setText(name);
            item->setToolTip(QFile::decodeName(modem.m_szDevice));
        } else {
            item->setText(name + " (" + Q(problem) + ")");
            item->setToolTip(QFile::decodeName(modem.m_szDevice) + QStringLiteral(": ") +
                             Q(problem));
            item->setForeground(list->palette().brush(QPalette::Disabled, QPalette::Text));
        }
    }
}

int EditModem(IPrompts& prompts, CModemMng& modems, int index, QWidget* owner) {
    CModemInf modem = MakeModemInf("", "");
    if (index >= 0) {
        const CModemInf* stored = modems.Get(static_cast<size_t>(index));
        if (!stored)
            return -1;
        modem = *stored;
    }
    const CModemInf original = modem;
    TFrmModem dlg(prompts, owner);
    dlg.Bind(&modem);
    {
        if (dlg.exec() != QDialog::Accepted)
            return -1;
        // Into the list as the file holds it now (tk530ctl may have changed it meanwhile),
        // under the Data lock, which is released before any message.
        tk::CDataLock lock;
        if (!lock.Acquire(tk::kDataLockWaitMs)) {
            prompts.Error(tk::kDataBusyText);
            return -1;
        }
        // After a reload the position may hold another modem: the edited one is found again
        // by its entry, and added anew should tk530ctl have removed it.
        if (modems.SyncWithFile() == 1 && index >= 0) {
            index = -1;
            for (size_t k = 0; k < modems.Count() && index < 0; ++k) {
                if (std::strcmp(modems.Get(k)->m_szName, original.m_szName) == 0 &&
                    std::strcmp(modems.Get(k)->m_szDevice, original.m_szDevice) == 0)
                    index = static_cast<int>(k);
            }
        }
        const int stored =
            index >= 0 ? modems.Set(static_cast<size_t>(index), modem) : modems.Add(modem);
        const bool saved = stored >= 0 && modems.Save();
        lock.Release();
        if (stored == ML_FULL) {
            prompts.Error("Seznam modemů je plný (nejvýše " +
                          std::to_string(CModemMng::MAX_MODEMS) + " modemů).");
            return -1;
        }
        if (stored < 0) {
            prompts.Error("Nastavení modemu nelze uložit.");
            return -1;
        }
        if (!saved)
            prompts.Error("Seznam modemů se nepodařilo uložit; změna platí jen do ukončení "
                          "programu.");
        return stored;
    }
}

// --- modem settings dialog ------------------------------------------------------------------

TFrmModem::TFrmModem(IPrompts& prompts, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      m_prompts(prompts), m_pForm(std::make_unique<Ui::TFrmModem>()) {
    m_pForm->setupUi(this);
    tk::ReserveCaptions(m_pForm->m_pBtnProbe,
                        {QStringLiteral("Vyzkoušet"), QStringLiteral("Přerušit")});
    tk::ReserveLines(m_pForm->m_pLblProbe, 2);
    m_pPortBox = std::make_unique<CPortBox>(m_pForm->m_pCmbDevice);
    tk::LimitCp1250(m_pForm->m_pTxtName, static_cast<int>(sizeof(CModemInf::m_szName) - 1));
    m_pForm->m_pTxtInit->setMaxLength(static_cast<int>(sizeof(CModemInf::m_szInit) - 1));
    connect(m_pForm->m_pBtnProbe, &QPushButton::clicked, this, [this] { m_pBtnProbeClick(); });
    connect(m_pForm->m_pBtnOk, &QPushButton::clicked, this, [this] { m_pBtnOkClick(); });
}

TFrmModem::~TFrmModem() = default;

void TFrmModem::Bind(CModemInf* modem) {
    m_pModem = modem;
    m_pForm->m_pTxtName->setText(modem ? tk::FromCp1250(modem->m_szName, sizeof modem->m_szName)
                                       : QString());
    m_pPortBox->SetPort(modem ? std::string(modem->m_szDevice) : std::string());
    m_pForm->m_pTxtInit->setText(modem ? QString::fromLatin1(modem->m_szInit) : QString());
    m_pForm->m_pChbGsm->setChecked(modem && modem->m_bGsm);
    m_pForm->m_pLblProbe->clear();
}

void TFrmModem::done(int result) {
    m_probe.Cancel(); // a probe still running gives up; its answer goes nowhere
    QDialog::done(result);
}

void TFrmModem::m_pBtnProbeClick() {
    if (m_probe.Running()) {
        m_probe.Cancel();
        return;
    }
    const std::string device = m_pPortBox->Port();
    if (device.empty()) {
        m_pForm->m_pLblProbe->setText("Zadejte zařízení modemu.");
        return;
    }
    m_pForm->m_pLblProbe->setText("Zkouším modem na " + QFile::decodeName(device.c_str()) +
                                  "\u2026");
    m_pForm->m_pBtnProbe->setText("Přerušit");
    const HayesTimeouts timeouts = m_probeTimeouts;
    m_probe.Start<ProbeOutcome>(
        [device, timeouts](const CancelCheck& cancel) {
            ProbeOutcome out;
            out.result = ProbeModem(device, &out.probe, &out.reason, timeouts, cancel);
            return out;
        },
        [this](ProbeOutcome out) { OnProbeDone(out); });
}

void TFrmModem::OnProbeDone(const ProbeOutcome& outcome) {
    m_pForm->m_pBtnProbe->setText("Vyzkoušet");
    m_pForm->m_pLblProbe->setText(
        Q(ProbeResultText(outcome.result, outcome.probe, outcome.reason)));
    if (outcome.result == 0) {
        // What the modem says about itself is a better start than nothing.
        if (m_pForm->m_pTxtName->text().trimmed().isEmpty())
            m_pForm->m_pTxtName->setText(
                Q(outcome.probe.m_strName).left(static_cast<int>(sizeof(CModemInf::m_szName) - 1)));
        if (outcome.probe.m_bGsm)
            m_pForm->m_pChbGsm->setChecked(true);
    }
    emit probeFinished();
}

void TFrmModem::m_pBtnOkClick() {
    std::string name;
    QString bad;
    if (!tk::ToCp1250(m_pForm->m_pTxtName->text(), name, &bad)) {
        m_prompts.Error(tk::RefusedCharHint(bad).toStdString());
        return;
    }
    CModemInf edited = m_pModem ? *m_pModem : MakeModemInf("", "");
    CopyField(edited.m_szName, name);
    CopyField(edited.m_szDevice, m_pPortBox->Port());
    CopyField(edited.m_szInit, m_pForm->m_pTxtInit->text().toStdString());
    edited.m_bGsm = m_pForm->m_pChbGsm->isChecked();
    switch (ValidateModem(edited)) {
    case 0:
        break;
    case ML_BAD_NAME:
        m_prompts.Error("Zadejte název modemu.");
        return;
    case ML_BAD_DEVICE:
        m_prompts.Error("Zadejte cestu k sériovému zařízení modemu, například /dev/ttyUSB0.");
        return;
    case ML_BAD_INIT:
        m_prompts.Error("Inicializační řetězec smí obsahovat jen tisknutelné znaky ASCII.");
        return;
    default:
        m_prompts.Error("Nastavení modemu nelze uložit.");
        return;
    }
    if (m_pModem)
        *m_pModem = edited;
    accept();
}
