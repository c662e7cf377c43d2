#include "sms/DlgSMSView.h"

#include "base/Cp1250.h"
#include "sms/PaneSMSList.h"
#include "sms/SMS.h"

#include "ui_DlgSMSView.h"

#include <QPushButton>
#include <QStringList>

TFrmSMSViewDlg::TFrmSMSViewDlg(QWidget* parent)
    : QDialog(parent), m_pForm(std::make_unique<Ui::TFrmSMSViewDlg>()) {
    m_pForm->setupUi(this);
    connect(m_pForm->m_pBtnReply, &QPushButton::clicked, this, [this] { done(SMS_VIEW_REPLY); });
    connect(m_pForm->m_pBtnForward, &QPushButton::clicked, this,
            [this] { done(SMS_VIEW_FORWARD); });
    connect(m_pForm->m_pBtnClose, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmSMSViewDlg::~TFrmSMSViewDlg() = default;

void TFrmSMSViewDlg::Show(const CSMS& sms, int list) {
    const bool received = list == SMS_RECEIVED;
    setWindowTitle(received ? QStringLiteral("Přijatá SMS") : QStringLiteral("Odeslaná SMS"));
    m_pForm->m_pLblWho->setText(received ? QStringLiteral("Od:") : QStringLiteral("Komu:"));
    QStringList numbers;
    for (int i = 0; i < sms.GetNumberCount(); ++i)
        numbers.push_back(QString::fromStdString(tk::Cp1250ToUtf8(sms.GetNumber(i))));
    m_pForm->m_pTxtWho->setText(numbers.join(QStringLiteral(", ")));
    m_pForm->m_pTxtTime->setText(SmsTimeText(sms));
    QString text =
        sms.GetText() ? QString::fromStdString(tk::Cp1250ToUtf8(sms.GetText())) : QString();
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    m_pForm->m_pTxtText->setPlainText(text);
    m_pForm->m_pBtnReply->setEnabled(!numbers.join(QString()).isEmpty());
    m_pForm->m_pBtnClose->setDefault(true);
    m_pForm->m_pBtnClose->setFocus();
}
