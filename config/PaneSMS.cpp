#include "config/PaneSMS.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneSMS.h"

TFrmSMS::TFrmSMS(CPaneSMS& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSMS>()) {
    m_pForm->setupUi(this);
}

TFrmSMS::~TFrmSMS() = default;

CPaneSMS::CPaneSMS(CAppUI& ui) : CFramePane(ui, PANE_SMS, &ui.Device().m_Cfg) {}

QWidget* CPaneSMS::NewFrame(QWidget* parent) {
    return new TFrmSMS(*this, parent);
}

void CPaneSMS::Load(int param) {
    BeginLoad(param);
}
