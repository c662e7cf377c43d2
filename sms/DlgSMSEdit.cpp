#include "sms/DlgSMSEdit.h"

#include "sms/PaneSMSEdit.h"

#include "ui_DlgSMSEdit.h"

#include <QVBoxLayout>

TFrmSMSEditDlg::TFrmSMSEditDlg(IPaneHost& ui, QWidget* parent)
    : QDialog(parent), m_pForm(std::make_unique<Ui::TFrmSMSEditDlg>()) {
    m_pForm->setupUi(this);
    m_pFrmSMSEdit = new TFrmSMSEdit(ui, this);
    m_pFrmSMSEdit->setObjectName(QStringLiteral("m_pFrmSMSEdit"));
    m_pForm->m_pLayDlg->addWidget(m_pFrmSMSEdit);
    // Send and save close the dialog with OK whatever their handler did.
    connect(m_pFrmSMSEdit, &TFrmSMSEdit::finished, this, &QDialog::accept);
}

TFrmSMSEditDlg::~TFrmSMSEditDlg() = default;
