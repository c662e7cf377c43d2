#include "status/PaneGSM.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneGSM.h"

TFrmGSM::TFrmGSM(CPaneGSM& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmGSM>()) {
    m_pForm->setupUi(this);
}

TFrmGSM::~TFrmGSM() = default;

CPaneGSM::CPaneGSM(CAppUI& ui) : CFramePane(ui, PANE_GSM, nullptr) {}

QWidget* CPaneGSM::NewFrame(QWidget* parent) {
    return new TFrmGSM(*this, parent);
}

void CPaneGSM::Load(int param) {
    BeginLoad(param);
}
