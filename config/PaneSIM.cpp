#include "config/PaneSIM.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneSIM.h"

TFrmSIM::TFrmSIM(CPaneSIM& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSIM>()) {
    m_pForm->setupUi(this);
}

TFrmSIM::~TFrmSIM() = default;

CPaneSIM::CPaneSIM(CAppUI& ui) : CFramePane(ui, PANE_SIM, &ui.Device().m_Cfg) {}

QWidget* CPaneSIM::NewFrame(QWidget* parent) {
    return new TFrmSIM(*this, parent);
}

void CPaneSIM::Load(int param) {
    BeginLoad(param);
}
