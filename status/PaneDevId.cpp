#include "status/PaneDevId.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneDevId.h"

TFrmDevId::TFrmDevId(CPaneDevId& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmDevId>()) {
    m_pForm->setupUi(this);
}

TFrmDevId::~TFrmDevId() = default;

CPaneDevId::CPaneDevId(CAppUI& ui) : CFramePane(ui, PANE_DEVID, nullptr) {}

QWidget* CPaneDevId::NewFrame(QWidget* parent) {
    return new TFrmDevId(*this, parent);
}

void CPaneDevId::Load(int param) {
    BeginLoad(param);
}
