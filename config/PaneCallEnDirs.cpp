#include "config/PaneCallEnDirs.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneCallEnDirs.h"

TFrmCallEnDirs::TFrmCallEnDirs(CPaneCallEnDirs& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmCallEnDirs>()) {
    m_pForm->setupUi(this);
}

TFrmCallEnDirs::~TFrmCallEnDirs() = default;

CPaneCallEnDirs::CPaneCallEnDirs(CAppUI& ui)
    : CFramePane(ui, PANE_CALLENDIRS, &ui.Device().m_Cfg) {}

QWidget* CPaneCallEnDirs::NewFrame(QWidget* parent) {
    return new TFrmCallEnDirs(*this, parent);
}

void CPaneCallEnDirs::Load(int param) {
    BeginLoad(param);
}
