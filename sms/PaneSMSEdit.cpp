#include "sms/PaneSMSEdit.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneSMSEdit.h"

TFrmSMSEdit::TFrmSMSEdit(CPaneSMSEdit& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSMSEdit>()) {
    m_pForm->setupUi(this);
}

TFrmSMSEdit::~TFrmSMSEdit() = default;

CPaneSMSEdit::CPaneSMSEdit(CAppUI& ui) : CFramePane(ui, PANE_SMSEDIT, nullptr) {}

QWidget* CPaneSMSEdit::NewFrame(QWidget* parent) {
    return new TFrmSMSEdit(*this, parent);
}

void CPaneSMSEdit::Load(int param) {
    BeginLoad(param);
}
