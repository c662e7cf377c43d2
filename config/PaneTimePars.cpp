#include "config/PaneTimePars.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneTimePars.h"

TFrmTimePars::TFrmTimePars(CPaneTimePars& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmTimePars>()) {
    m_pForm->setupUi(this);
}

TFrmTimePars::~TFrmTimePars() = default;

CPaneTimePars::CPaneTimePars(CAppUI& ui) : CFramePane(ui, PANE_TIMEPARS, &ui.Device().m_Cfg) {}

QWidget* CPaneTimePars::NewFrame(QWidget* parent) {
    return new TFrmTimePars(*this, parent);
}

void CPaneTimePars::Load(int param) {
    BeginLoad(param);
}
