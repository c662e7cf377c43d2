#include "status/PaneDevId.h"

#include "app/AppUITextLimit.h"
#include "app/Device.h"
#include "app/PaneHost.h"

#include "ui_PaneDevId.h"

TFrmDevId::TFrmDevId(CPaneDevId& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmDevId>()) {
    m_pForm->setupUi(this);
}

TFrmDevId::~TFrmDevId() = default;

void TFrmDevId::Fill(const CDevIdent& id) {
    const Ui::TFrmDevId& f = *m_pForm;
    f.m_pTxtName->setText(tk::FromCp1250(id.m_szName, sizeof id.m_szName));
    f.m_pTxtFWVer->setText(QString::fromStdString(FormatVersion(id.m_nFWMajor, id.m_nFWMinor)));
    f.m_pTxtHWVer->setText(QString::fromStdString(FormatVersion(id.m_nHWMajor, id.m_nHWMinor)));
    f.m_pTxtSerNum->setText(QString::fromStdString(FormatSerial(id.m_nSerNum)));
    f.m_pTxtIMEI->setText(tk::FromCp1250(id.m_szIMEI, sizeof id.m_szIMEI));
}

CPaneDevId::CPaneDevId(IPaneHost& ui) : CStatusPane(ui, PANE_DEVID) {}

QWidget* CPaneDevId::NewFrame(QWidget* parent) {
    return new TFrmDevId(*this, parent);
}

void CPaneDevId::Load(int param) {
    BeginLoad(param);
    if (TFrmDevId* frame = Frm())
        frame->Fill(UI().Status().m_DevId);
}
