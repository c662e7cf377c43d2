#include "config/PaneCallPars.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneCallPars.h"

TFrmCallPars::TFrmCallPars(CPaneCallPars& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmCallPars>()) {
    m_pForm->setupUi(this);
}

TFrmCallPars::~TFrmCallPars() = default;

CPaneCallPars::CPaneCallPars(CAppUI& ui) : CFramePane(ui, PANE_CALLPARS, &ui.Device().m_Cfg) {}

QWidget* CPaneCallPars::NewFrame(QWidget* parent) {
    return new TFrmCallPars(*this, parent);
}

void CPaneCallPars::Load(int param) {
    BeginLoad(param);
}
