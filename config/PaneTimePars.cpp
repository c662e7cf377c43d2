#include "config/PaneTimePars.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "config/PaneCtl.h"

#include "ui_PaneTimePars.h"

TFrmTimePars::TFrmTimePars(CPaneTimePars& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmTimePars>()) {
    m_pForm->setupUi(this);
    m_pForm->m_pUDRRingLen->SetupField("time.ring_after_init", QStringLiteral("m_pTxtRRingLen"));
    m_pForm->m_pUDDDelay->SetupField("time.dial_delay", QStringLiteral("m_pTxtDDelay"));
    m_pForm->m_pUDDTimeout1->SetupField("time.dial_wait", QStringLiteral("m_pTxtDTimeout1"));
    m_pForm->m_pUDDTimeout2->SetupField("time.number_supervision",
                                        QStringLiteral("m_pTxtDTimeout2"));
    for (CUpDown* ud : {m_pForm->m_pUDRRingLen, m_pForm->m_pUDDDelay, m_pForm->m_pUDDTimeout1,
                        m_pForm->m_pUDDTimeout2})
        connect(ud, &QSpinBox::textChanged, this, [this] { m_pane.OnDataChange(); });
}

TFrmTimePars::~TFrmTimePars() = default;

void TFrmTimePars::Fill(const CfgImage& image) {
    m_pForm->m_pUDRRingLen->setValue(image.m_nRRingLen);
    m_pForm->m_pUDDDelay->setValue(image.m_nDDelay);
    m_pForm->m_pUDDTimeout1->setValue(image.m_nDTimeout1);
    m_pForm->m_pUDDTimeout2->setValue(image.m_nDTimeout2);
}

void TFrmTimePars::Store(CfgImage& image) const {
    image.m_nRRingLen = static_cast<uint8_t>(m_pForm->m_pUDRRingLen->Position());
    image.m_nDDelay = static_cast<uint8_t>(m_pForm->m_pUDDDelay->Position());
    image.m_nDTimeout1 = static_cast<uint8_t>(m_pForm->m_pUDDTimeout1->Position());
    image.m_nDTimeout2 = static_cast<uint8_t>(m_pForm->m_pUDDTimeout2->Position());
}

CPaneTimePars::CPaneTimePars(IPaneHost& ui) : CFramePane(ui, PANE_TIMEPARS, &ui.Device().m_Cfg) {}

QWidget* CPaneTimePars::NewFrame(QWidget* parent) {
    return new TFrmTimePars(*this, parent);
}

void CPaneTimePars::Leave() {
    if (Frm())
        Frm()->Store(*m_pCfg->GetImage());
}

void CPaneTimePars::Load(int param) {
    BeginLoad(param);
    if (Frm())
        Frm()->Fill(*m_pCfg->GetImage());
}
