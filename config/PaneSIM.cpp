#include "config/PaneSIM.h"

#include "app/AppUITextLimit.h"
#include "app/Device.h"
#include "app/PaneHost.h"
#include "config/PaneCtl.h"

#include "ui_PaneSIM.h"

#include <cmath>

namespace {

// The threshold's edit takes this many characters; a stored value whose shortest form is
// longer widens it, so that what the pane shows is always what it reads back.
constexpr int kThresholdChars = 8;

// The catalogue's fields whose named values the radio buttons stand for.
constexpr const char* kTone = "sim.tone";
constexpr const char* kCreditMode = "sim.credit.mode";

} // namespace

TFrmSIM::TFrmSIM(CPaneSIM& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSIM>()) {
    m_pForm->setupUi(this);
    Ui::TFrmSIM& f = *m_pForm;
    tk::LimitToField(f.m_pTxtCCmd, offsetof(CfgImage, m_szCCmd));
    tk::LimitCp1250(f.m_pTxtLowVal, kThresholdChars);
    tk::LimitToField(f.m_pTxtPIN, offsetof(CfgImage, m_szPIN));
    tk::LimitToField(f.m_pTxtMCall, offsetof(CfgImage, m_szMCall));
    f.m_pUDMCallMusic->SetupField("sim.monthly_call.melody", QStringLiteral("m_pTxtMCallMusic"));

    const auto change = [this] { m_pane.OnDataChange(); };
    for (QLineEdit* e : {f.m_pTxtCCmd, f.m_pTxtLowVal, f.m_pTxtPIN, f.m_pTxtMCall})
        connect(e, &QLineEdit::textChanged, this, change);
    connect(f.m_pUDMCallMusic, &QSpinBox::textChanged, this, change);
    for (QRadioButton* b :
         {f.m_pRdbTone1, f.m_pRdbTone2, f.m_pRdbTone3, f.m_pRdbTone4, f.m_pRdbTone5})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                m_pane.OnDataChange();
        });
    for (QRadioButton* b : {f.m_pRdbCMode1, f.m_pRdbCMode2, f.m_pRdbCMode3})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            m_pRdbCModeClick();
            if (on)
                m_pane.OnDataChange();
        });
    m_pRdbCModeClick();
}

TFrmSIM::~TFrmSIM() = default;

void TFrmSIM::m_pRdbCModeClick() {
    m_pForm->m_pTxtCCmd->setEnabled(m_pForm->m_pRdbCMode3->isChecked());
    m_pForm->m_pTxtLowVal->setEnabled(!m_pForm->m_pRdbCMode1->isChecked());
}

void TFrmSIM::SetThreshold(float value) {
    const QString text = tk::FormatThreshold(value);
    QLineEdit* edit = m_pForm->m_pTxtLowVal;
    const int room = std::max(kThresholdChars, static_cast<int>(text.size()));
    if (edit->maxLength() != room)
        tk::LimitCp1250(edit, room);
    edit->setText(text);
}

void TFrmSIM::Fill(const CfgImage& image) {
    Ui::TFrmSIM& f = *m_pForm;
    f.m_pTxtPIN->setText(tk::FieldText(image.m_szPIN, sizeof image.m_szPIN));
    f.m_pTxtMCall->setText(tk::FieldText(image.m_szMCall, sizeof image.m_szMCall));
    f.m_pUDMCallMusic->setValue(image.m_nMCallMusic);

    // The buttons in the catalogue's order: "bez tónu" 0, the patterns 2..4, "trvalý" 1.
    tk::CheckChoice(kTone,
                    {f.m_pRdbTone1, f.m_pRdbTone2, f.m_pRdbTone3, f.m_pRdbTone4, f.m_pRdbTone5},
                    image.m_nTone);
    tk::CheckChoice(kCreditMode, {f.m_pRdbCMode1, f.m_pRdbCMode2, f.m_pRdbCMode3}, image.m_nCMode);
    m_pRdbCModeClick();

    f.m_pTxtCCmd->setText(tk::FieldText(image.m_szCCmd, sizeof image.m_szCCmd));
    SetThreshold(image.m_fLowVal);
}

void TFrmSIM::Store(CfgImage& image) const {
    const Ui::TFrmSIM& f = *m_pForm;
    tk::StoreFieldText(image.m_szPIN, sizeof image.m_szPIN, f.m_pTxtPIN->text());
    tk::StoreFieldText(image.m_szMCall, sizeof image.m_szMCall, f.m_pTxtMCall->text());
    image.m_nMCallMusic = static_cast<uint8_t>(f.m_pUDMCallMusic->Position());

    // No button checked (a value the pane does not know): the value stays.
    image.m_nTone = static_cast<uint8_t>(tk::CheckedChoice(
        kTone, {f.m_pRdbTone1, f.m_pRdbTone2, f.m_pRdbTone3, f.m_pRdbTone4, f.m_pRdbTone5},
        image.m_nTone));
    image.m_nCMode = static_cast<uint8_t>(tk::CheckedChoice(
        kCreditMode, {f.m_pRdbCMode1, f.m_pRdbCMode2, f.m_pRdbCMode3}, image.m_nCMode));
    tk::StoreFieldText(image.m_szCCmd, sizeof image.m_szCCmd, f.m_pTxtCCmd->text());

    const float value = tk::ParseThreshold(f.m_pTxtLowVal->text());
    // The shortest form reads back to the same bits; only a NaN would get a new payload.
    if (!(std::isnan(value) && std::isnan(image.m_fLowVal)))
        image.m_fLowVal = value;
}

CPaneSIM::CPaneSIM(IPaneHost& ui) : CFramePane(ui, PANE_SIM, &ui.Device().m_Cfg) {}

QWidget* CPaneSIM::NewFrame(QWidget* parent) {
    return new TFrmSIM(*this, parent);
}

void CPaneSIM::Leave() {
    if (Frm())
        Frm()->Store(*m_pCfg->GetImage());
}

void CPaneSIM::Load(int param) {
    BeginLoad(param);
    if (Frm())
        Frm()->Fill(*m_pCfg->GetImage());
}
