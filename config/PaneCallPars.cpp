#include "config/PaneCallPars.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "config/PaneCtl.h"

#include "ui_PaneCallPars.h"

TFrmCallPars::TFrmCallPars(CPaneCallPars& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmCallPars>()) {
    m_pForm->setupUi(this);
    tk::LimitToField(m_pForm->m_pTxtAddDir, offsetof(CfgImage, m_szAddDir));
    tk::LimitToField(m_pForm->m_pTxtDelNum, offsetof(CfgImage, m_szDelNum));
    m_pForm->m_pUDMaxNumLen->SetupField("dial.max_digits", QStringLiteral("m_pTxtMaxNumLen"));
    const auto change = [this] { m_pane.OnDataChange(); };
    connect(m_pForm->m_pTxtAddDir, &QLineEdit::textChanged, this, change);
    connect(m_pForm->m_pTxtDelNum, &QLineEdit::textChanged, this, change);
    connect(m_pForm->m_pUDMaxNumLen, &QSpinBox::textChanged, this, change);
}

TFrmCallPars::~TFrmCallPars() = default;

void TFrmCallPars::Fill(const CfgImage& image) {
    m_pForm->m_pTxtAddDir->setText(tk::FieldText(image.m_szAddDir, sizeof image.m_szAddDir));
    m_pForm->m_pTxtDelNum->setText(tk::FieldText(image.m_szDelNum, sizeof image.m_szDelNum));
    // The up-down keeps a value outside its range at the nearer end.
    m_pForm->m_pUDMaxNumLen->setValue(image.m_nMaxNumLen);
}

void TFrmCallPars::Store(CfgImage& image) const {
    tk::StoreFieldText(image.m_szAddDir, sizeof image.m_szAddDir, m_pForm->m_pTxtAddDir->text());
    tk::StoreFieldText(image.m_szDelNum, sizeof image.m_szDelNum, m_pForm->m_pTxtDelNum->text());
    image.m_nMaxNumLen = static_cast<uint8_t>(m_pForm->m_pUDMaxNumLen->Position());
}

CPaneCallPars::CPaneCallPars(IPaneHost& ui) : CFramePane(ui, PANE_CALLPARS, &ui.Device().m_Cfg) {}

QWidget* CPaneCallPars::NewFrame(QWidget* parent) {
    return new TFrmCallPars(*this, parent);
}

void CPaneCallPars::Leave() {
    if (Frm())
        Frm()->Store(*m_pCfg->GetImage());
}

void CPaneCallPars::Load(int param) {
    BeginLoad(param);
    if (Frm())
        Frm()->Fill(*m_pCfg->GetImage());
}
