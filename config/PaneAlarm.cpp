#include "config/PaneAlarm.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneAlarm.h"

TFrmAlarm::TFrmAlarm(CPaneAlarm& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmAlarm>()) {
    m_pForm->setupUi(this);
}

TFrmAlarm::~TFrmAlarm() = default;

CPaneAlarm::CPaneAlarm(CAppUI& ui) : CFramePane(ui, PANE_ALARM, &ui.Device().m_Cfg) {}

QWidget* CPaneAlarm::NewFrame(QWidget* parent) {
    return new TFrmAlarm(*this, parent);
}

void CPaneAlarm::Load(int param) {
    BeginLoad(param);
}
