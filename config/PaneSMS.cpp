#include "config/PaneSMS.h"

#include "app/AppUITextLimit.h"
#include "app/Device.h"
#include "app/PaneHost.h"
#include "config/PaneCtl.h"

#include "ui_PaneSMS.h"

namespace {

constexpr int Room(size_t width) {
    return static_cast<int>(width) - 1;
}

} // namespace

TFrmSMS::TFrmSMS(CPaneSMS& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmSMS>()) {
    m_pForm->setupUi(this);
    tk::LimitToField(m_pForm->m_pTxtForwardNum, offsetof(CfgImage, m_szForwardNum));
    tk::LimitToField(m_pForm->m_pTxtInfoSMS, offsetof(CfgImage, m_szInfoSMS));
    m_pForm->m_pTxtResetTxt->SetMaxChars(Room(sizeof(CfgImage::m_szResetTxt)));
    m_pForm->m_pTxtCreditTxt->SetMaxChars(Room(sizeof(CfgImage::m_szCreditTxt)));

    // toggled, not clicked: the frame's own checking must set the enabling too.
    for (QRadioButton* rdb : {m_pForm->m_pRdbMode1, m_pForm->m_pRdbMode2, m_pForm->m_pRdbMode3})
        connect(rdb, &QRadioButton::toggled, this, [this] { m_pRdbModeClick(); });
    auto change = [this] { m_pane.OnDataChange(); };
    connect(m_pForm->m_pTxtForwardNum, &QLineEdit::textChanged, this, change);
    connect(m_pForm->m_pTxtInfoSMS, &QLineEdit::textChanged, this, change);
    // Only the changes the memos keep: a refused one is undone and marks nothing.
    connect(m_pForm->m_pTxtResetTxt, &CMemo::changed, this, change);
    connect(m_pForm->m_pTxtCreditTxt, &CMemo::changed, this, change);
}

TFrmSMS::~TFrmSMS() = default;

void TFrmSMS::m_pRdbModeClick() {
    m_pForm->m_pTxtForwardNum->setEnabled(m_pForm->m_pRdbMode3->isChecked());
    m_pane.OnDataChange();
}

void TFrmSMS::Fill(const CfgImage& image) {
    QRadioButton* const modes[] = {m_pForm->m_pRdbMode1, m_pForm->m_pRdbMode2,
                                   m_pForm->m_pRdbMode3};
    tk::CheckOne({modes[0], modes[1], modes[2]},
                 image.m_nSMSMode < 3 ? modes[image.m_nSMSMode] : nullptr);
    m_pForm->m_pTxtForwardNum->setEnabled(m_pForm->m_pRdbMode3->isChecked());
    m_pForm->m_pTxtForwardNum->setText(
        tk::FieldText(image.m_szForwardNum, sizeof image.m_szForwardNum));
    m_pForm->m_pTxtInfoSMS->setText(tk::FieldText(image.m_szInfoSMS, sizeof image.m_szInfoSMS));
    m_pForm->m_pTxtResetTxt->SetFieldText(
        tk::FieldText(image.m_szResetTxt, sizeof image.m_szResetTxt));
    m_pForm->m_pTxtCreditTxt->SetFieldText(
        tk::FieldText(image.m_szCreditTxt, sizeof image.m_szCreditTxt));
}

void TFrmSMS::Store(CfgImage& image) const {
    // A mode the frame has no button for stays as the file or the unit gave it.
    if (m_pForm->m_pRdbMode1->isChecked())
        image.m_nSMSMode = 0;
    else if (m_pForm->m_pRdbMode2->isChecked())
        image.m_nSMSMode = 1;
    else if (m_pForm->m_pRdbMode3->isChecked())
        image.m_nSMSMode = 2;
    // The forward number is kept also while it is disabled.
    tk::StoreFieldText(image.m_szForwardNum, sizeof image.m_szForwardNum,
                       m_pForm->m_pTxtForwardNum->text());
    tk::StoreFieldText(image.m_szInfoSMS, sizeof image.m_szInfoSMS, m_pForm->m_pTxtInfoSMS->text());
    tk::StoreFieldText(image.m_szResetTxt, sizeof image.m_szResetTxt,
                       m_pForm->m_pTxtResetTxt->FieldText());
    tk::StoreFieldText(image.m_szCreditTxt, sizeof image.m_szCreditTxt,
                       m_pForm->m_pTxtCreditTxt->FieldText());
}

CPaneSMS::CPaneSMS(IPaneHost& ui) : CFramePane(ui, PANE_SMS, &ui.Device().m_Cfg) {}

QWidget* CPaneSMS::NewFrame(QWidget* parent) {
    return new TFrmSMS(*this, parent);
}

void CPaneSMS::Leave() {
    if (Frm())
        Frm()->Store(*m_pCfg->GetImage());
}

void CPaneSMS::Load(int param) {
    BeginLoad(param);
    if (Frm())
        Frm()->Fill(*m_pCfg->GetImage());
    EndLoad();
}
