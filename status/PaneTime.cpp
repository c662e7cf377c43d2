#include "status/PaneTime.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneTime.h"

TFrmTime::TFrmTime(CPaneTime& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmTime>()) {
    m_pForm->setupUi(this);
}

TFrmTime::~TFrmTime() = default;

CPaneTime::CPaneTime(CAppUI& ui) : CFramePane(ui, PANE_TIME, nullptr) {}

QWidget* CPaneTime::NewFrame(QWidget* parent) {
    return new TFrmTime(*this, parent);
}

void CPaneTime::Load(int param) {
    BeginLoad(param);
}
