#include "link/DlgRemCon.h"

#include "app/AppUITextLimit.h"
#include "app/Prompts.h"
#include "config/Profile.h"
#include "connections/ComSetRules.h"
#include "connections/ConnectDsc.h"
#include "link/DlgModem.h"

#include <QLineEdit>
#include <QListWidget>

#include "ui_DlgRemCon.h"

namespace {

// The number entry the box last handled, for the program's whole run: choosing the entry
// that is already shown again keeps a PIN the user has edited.
int s_nLastNumber = -1;

} // namespace

TFrmRemCon::TFrmRemCon(IPrompts& prompts, CProfile& profile, CModemMng& modems,
                       CConnectDscMng& connections, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      m_prompts(prompts), m_profile(profile), m_modems(modems), m_connections(connections),
      m_pForm(std::make_unique<Ui::TFrmRemCon>()) {
    m_pForm->setupUi(this);
    Ui::TFrmRemCon& f = *m_pForm;
    // What the descriptor's fields hold (15 and 8 characters).
    tk::LimitCp1250(f.m_pCmbNumber->lineEdit(), static_cast<int>(sizeof(CConnectDsc::m_szNum) - 1));
    tk::LimitCp1250(f.m_pTxtPIN, static_cast<int>(sizeof(CConnectDsc::m_szPIN) - 1));
    f.m_pCmbNumber->setInsertPolicy(QComboBox::NoInsert);
    // A number being typed must not turn into a longer one of the list as it is typed.
    f.m_pCmbNumber->setCompleter(nullptr);
    connect(f.m_pLsbModem, &QListWidget::itemSelectionChanged, this,
            [this] { m_pLsbModemClick(); });
    connect(f.m_pLsbModem, &QListWidget::itemDoubleClicked, this,
            [this] { m_pBtnModemSetClick(); });
    connect(f.m_pBtnModemSet, &QPushButton::clicked, this, [this] { m_pBtnModemSetClick(); });
    connect(f.m_pCmbNumber, &QComboBox::currentIndexChanged, this,
            [this] { m_pCmbNumberChange(); });
    connect(f.m_pCmbNumber, &QComboBox::editTextChanged, this, [this] {
        m_pCmbNumberChange();
        UpdateConnect(); // an emptied number cannot be dialled
    });
    connect(f.m_pTxtPIN, &QLineEdit::textChanged, this, [this] { UpdateConnect(); });
    connect(f.m_pBtnConnect, &QPushButton::clicked, this, [this] { m_pBtnConnectClick(); });
}

TFrmRemCon::~TFrmRemCon() = default;

void TFrmRemCon::Prepare() {
    Ui::TFrmRemCon& f = *m_pForm;
    FillModemList(f.m_pLsbModem, m_modems);
    {
        const QSignalBlocker block(f.m_pLsbModem);
        if (m_profile.m_nModem >= 0 && m_profile.m_nModem < f.m_pLsbModem->count())
            f.m_pLsbModem->setCurrentRow(m_profile.m_nModem);
        else
            f.m_pLsbModem->setCurrentRow(-1);
    }
    f.m_pBtnModemSet->setEnabled(SelectedModem() >= 0);

    {
        const QSignalBlocker block(f.m_pCmbNumber);
        f.m_pCmbNumber->clear();
        for (int i = 0; i < m_connections.GetCount(); ++i) {
            const CConnectDsc& dsc = *m_connections.Get(i);
            f.m_pCmbNumber->addItem(tk::FromCp1250(dsc.m_szNum, sizeof dsc.m_szNum));
        }
        const int sel = m_connections.GetSel();
        const CConnectDsc* chosen = m_connections.Get(sel);
        f.m_pCmbNumber->setCurrentIndex(chosen ? sel : -1);
        if (!chosen)
            f.m_pCmbNumber->setEditText(QString());
        // The box shows this entry now: choosing it again must keep an edited PIN, and
        // choosing another one (even the one handled at an earlier opening) brings its PIN.
        s_nLastNumber = chosen ? sel : -1;
        const QSignalBlocker blockPin(f.m_pTxtPIN);
        f.m_pTxtPIN->setText(chosen ? tk::FromCp1250(chosen->m_szPIN, sizeof chosen->m_szPIN)
                                    : QString());
    }
    UpdateConnect();
}

int TFrmRemCon::SelectedModem() const {
    const QListWidgetItem* item = m_pForm->m_pLsbModem->currentItem();
    return item && item->isSelected() ? m_pForm->m_pLsbModem->row(item) : -1;
}

int TFrmRemCon::SelectedNumber() const {
    const QComboBox* box = m_pForm->m_pCmbNumber;
    const int current = box->currentIndex();
    if (current >= 0 && box->itemText(current) == box->currentText())
        return current;
    // A number typed that is already in the list is that entry, not a second copy of it.
    return box->findText(box->currentText(), Qt::MatchExactly);
}

void TFrmRemCon::UpdateConnect() {
    m_pForm->m_pBtnConnect->setEnabled(
        CanConnectRemote(SelectedModem() >= 0, m_pForm->m_pCmbNumber->currentText().isEmpty(),
                         static_cast<size_t>(m_pForm->m_pTxtPIN->text().size())));
}

void TFrmRemCon::m_pLsbModemClick() {
    m_pForm->m_pBtnModemSet->setEnabled(SelectedModem() >= 0);
    UpdateConnect();
}

void TFrmRemCon::m_pBtnModemSetClick() {
    const int i = SelectedModem();
    if (i < 0 || EditModem(m_prompts, m_modems, i, this) < 0)
        return;
    FillModemList(m_pForm->m_pLsbModem, m_modems);
    m_pForm->m_pLsbModem->setCurrentRow(i);
}

void TFrmRemCon::m_pCmbNumberChange() {
    const int index = SelectedNumber();
    if (index == s_nLastNumber)
        return;
    s_nLastNumber = index;
    if (const CConnectDsc* dsc = m_connections.Get(index))
        m_pForm->m_pTxtPIN->setText(tk::FromCp1250(dsc->m_szPIN, sizeof dsc->m_szPIN));
}

void TFrmRemCon::m_pBtnConnectClick() {
    std::string number, pin;
    QString bad;
    if (!tk::ToCp1250(m_pForm->m_pCmbNumber->currentText(), number, &bad) ||
        !tk::ToCp1250(m_pForm->m_pTxtPIN->text(), pin, &bad)) {
        m_prompts.Error(tk::RefusedCharHint(bad).toStdString());
        return;
    }
    int sel = SelectedNumber();
    if (sel < 0) {
        CConnectDsc dsc{};
        dsc.SetNum(number.c_str());
        sel = m_connections.Add(dsc);
        if (sel < 0) {
            m_prompts.Error("Seznam připojení je plný (nejvýše " + std::to_string(CONNECT_MAX) +
                            " připojení). Odstraňte nepotřebné připojení v nastavení "
                            "komunikace nebo vyberte číslo ze seznamu.");
            return;
        }
        const QSignalBlocker block(m_pForm->m_pCmbNumber);
        m_pForm->m_pCmbNumber->addItem(m_pForm->m_pCmbNumber->currentText());
        m_pForm->m_pCmbNumber->setCurrentIndex(sel);
        s_nLastNumber = sel;
    }
    m_connections.SetSel(sel);
    m_connections.Get(sel)->SetPIN(pin.c_str());
    m_profile.m_nModem = SelectedModem();
    accept();
}
