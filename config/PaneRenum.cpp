#include "config/PaneRenum.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneRenum.h"

TFrmRenum::TFrmRenum(CPaneRenum& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmRenum>()) {
    m_pForm->setupUi(this);
}

TFrmRenum::~TFrmRenum() = default;

CPaneRenum::CPaneRenum(CAppUI& ui) : CFramePane(ui, PANE_RENUM, &ui.Device().m_Cfg) {}

QWidget* CPaneRenum::NewFrame(QWidget* parent) {
    return new TFrmRenum(*this, parent);
}

void CPaneRenum::Load(int param) {
    BeginLoad(param);
}
