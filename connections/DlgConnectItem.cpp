#include "connections/DlgConnectItem.h"

#include "app/Prompts.h"
#include "base/Cp1250.h"
#include "connections/ComSetRules.h"
#include "connections/ConnectDsc.h"

#include "ui_DlgConnectItem.h"

namespace {

// A field's CP1250 text as the edit shows it.
QString FromField(const char* field) {
    return QString::fromStdString(tk::Cp1250ToUtf8(field));
}

} // namespace

TFrmConnectItem::TFrmConnectItem(IPrompts& prompts, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowCloseButtonHint),
      m_prompts(prompts), m_pForm(std::make_unique<Ui::TFrmConnectItem>()) {
    m_pForm->setupUi(this);
    // The edits hold what the descriptor's fields hold (15 and 8 characters).
    m_pForm->m_pTxtNum->setMaxLength(static_cast<int>(sizeof(CConnectDsc::m_szNum) - 1));
    m_pForm->m_pTxtPIN->setMaxLength(static_cast<int>(sizeof(CConnectDsc::m_szPIN) - 1));
    connect(m_pForm->m_pTxtNum, &QLineEdit::textChanged, this, [this] { OnDataChange(); });
    connect(m_pForm->m_pTxtPIN, &QLineEdit::textChanged, this, [this] { OnDataChange(); });
    connect(m_pForm->m_pBtnOk, &QPushButton::clicked, this, [this] { m_pBtnOkClick(); });
}

TFrmConnectItem::~TFrmConnectItem() = default;

void TFrmConnectItem::Bind(CConnectDsc* dsc) {
    m_pDsc = dsc;
    m_pForm->m_pTxtNum->setText(dsc ? FromField(dsc->m_szNum) : QString());
    m_pForm->m_pTxtPIN->setText(dsc ? FromField(dsc->m_szPIN) : QString());
    OnDataChange();
}

void TFrmConnectItem::LockNumber(bool lock) {
    m_pForm->m_pTxtNum->setEnabled(!lock);
    (lock ? m_pForm->m_pTxtPIN : m_pForm->m_pTxtNum)->setFocus();
}

void TFrmConnectItem::OnDataChange() {
    m_pForm->m_pBtnOk->setEnabled(!m_pForm->m_pTxtNum->text().isEmpty() &&
                                  static_cast<size_t>(m_pForm->m_pTxtPIN->text().size()) >=
                                      PIN_MIN_LENGTH);
}

void TFrmConnectItem::m_pBtnOkClick() {
    std::string num, pin, bad;
    if (!tk::Utf8ToCp1250(m_pForm->m_pTxtNum->text().toStdString(), num, &bad) ||
        !tk::Utf8ToCp1250(m_pForm->m_pTxtPIN->text().toStdString(), pin, &bad)) {
        // The file and the line hold CP1250 only; a character it cannot hold is refused.
        m_prompts.Error("Znak \"" + bad + "\" nelze uložit.");
        return;
    }
    if (m_pDsc) {
        m_pDsc->SetNum(num.c_str());
        m_pDsc->SetPIN(pin.c_str());
    }
    accept();
}
