#include "sms/PaneSMSList.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneSMSList.h"

TFrmSMSList::TFrmSMSList(CPaneSMSList& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSMSList>()) {
    m_pForm->setupUi(this);
}

TFrmSMSList::~TFrmSMSList() = default;

CPaneSMSList::CPaneSMSList(CAppUI& ui) : CFramePane(ui, PANE_SMSLIST, nullptr) {}

QWidget* CPaneSMSList::NewFrame(QWidget* parent) {
    return new TFrmSMSList(*this, parent);
}

void CPaneSMSList::Load(int param) {
    BeginLoad(param);
}
