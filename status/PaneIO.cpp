#include "status/PaneIO.h"

#include "app/AppUI.h"
#include "app/Device.h"

#include "ui_PaneIO.h"

TFrmIO::TFrmIO(CPaneIO& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmIO>()) {
    m_pForm->setupUi(this);
}

TFrmIO::~TFrmIO() = default;

CPaneIO::CPaneIO(CAppUI& ui) : CFramePane(ui, PANE_IO, nullptr) {}

QWidget* CPaneIO::NewFrame(QWidget* parent) {
    return new TFrmIO(*this, parent);
}

void CPaneIO::Load(int param) {
    BeginLoad(param);
}
