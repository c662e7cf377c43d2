#include "config/PaneBasic.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneBasic.h"

TFrmBasic1::TFrmBasic1(CPaneBasic1& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmBasic1>()) {
    m_pForm->setupUi(this);
}

TFrmBasic1::~TFrmBasic1() = default;

CPaneBasic1::CPaneBasic1(CAppUI& ui) : CFramePane(ui, PANE_BASIC1, &ui.Device().m_Cfg) {}

QWidget* CPaneBasic1::NewFrame(QWidget* parent) {
    return new TFrmBasic1(*this, parent);
}

void CPaneBasic1::Load(int param) {
    BeginLoad(param);
}
