#include "config/PaneBasic.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "config/PaneCtl.h"

#include "ui_PaneBasic.h"

#include <QLabel>
#include <QSlider>

namespace {

// The tariff byte packs its modes into one value: 0 none, 1..60 pulses at that interval,
// 61 ('=') polarity change on connection, 63 ('?') one pulse after connection.
constexpr uint8_t kTariffNone = 0;
constexpr uint8_t kTariffPolarity = 61;
constexpr uint8_t kTariffPulse = 63;

// A vertical track bar has its position 0 at the top, which is the highest level.
constexpr int kLevelMax = 100;

} // namespace

TFrmBasic1::TFrmBasic1(CPaneBasic1& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmBasic1>()) {
    m_pForm->setupUi(this);
    // The interval is the numeric range of the tariff field.
    m_pForm->m_pUDTariff4->SetupField("basic.tariff", QStringLiteral("m_pTxtTariff4"));
    m_pForm->m_pUDTariff4->setValue(m_pForm->m_pUDTariff4->minimum());
    auto change = [this] { m_pane.OnDataChange(); };
    connect(m_pForm->m_pRdbSCode1, &QRadioButton::toggled, this, change);
    connect(m_pForm->m_pRdbSCode2, &QRadioButton::toggled, this, change);
    for (QRadioButton* rdb : {m_pForm->m_pRdbTariff1, m_pForm->m_pRdbTariff2,
                              m_pForm->m_pRdbTariff3, m_pForm->m_pRdbTariff4})
        connect(rdb, &QRadioButton::toggled, this, [this] { OnClickTariff(); });
    connect(m_pForm->m_pUDTariff4, &QSpinBox::textChanged, this, change);
    connect(m_pForm->m_pTBrAIn, &QSlider::valueChanged, this, change);
    connect(m_pForm->m_pTBrAOut, &QSlider::valueChanged, this, change);
    ShowLevel(m_pForm->m_pTBrAIn, QStringLiteral("m_pLblAInValue"), 0);
    ShowLevel(m_pForm->m_pTBrAOut, QStringLiteral("m_pLblAOutValue"), 1);
    connect(m_pForm->m_pChbRAccess, &QCheckBox::toggled, this, change);
}

TFrmBasic1::~TFrmBasic1() = default;

void TFrmBasic1::ShowLevel(QSlider* slider, const QString& name, int column) {
    // The level the unit gets, under its slider: a position alone cannot be told exactly.
    auto* label = new QLabel(m_pForm->m_pGrbAudio);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100")) + 4);
    m_pForm->m_pLayAudio->addWidget(label, 2, column, Qt::AlignHCenter);
    auto update = [slider, label](int value) {
        const QString level = QString::number(kLevelMax - value);
        label->setText(level);
        slider->setAccessibleDescription(level);
    };
    connect(slider, &QSlider::valueChanged, label, update);
    update(slider->value());
}

void TFrmBasic1::OnClickTariff() {
    // The up-down goes with its edit: an interval is only offered while it is the mode.
    m_pForm->m_pUDTariff4->setEnabled(m_pForm->m_pRdbTariff4->isChecked());
    m_pane.OnDataChange();
}

void TFrmBasic1::Fill(const CfgImage& image) {
    // Any programming character but 0 shows as '*'.
    tk::CheckOne({m_pForm->m_pRdbSCode1, m_pForm->m_pRdbSCode2},
                 image.m_nSCode == 0 ? m_pForm->m_pRdbSCode1 : m_pForm->m_pRdbSCode2);

    const int t = image.m_nTariff;
    QRadioButton* tariff = nullptr; // a value none of the buttons stands for
    if (t == kTariffNone)
        tariff = m_pForm->m_pRdbTariff1;
    else if (t == kTariffPolarity)
        tariff = m_pForm->m_pRdbTariff2;
    else if (t == kTariffPulse)
        tariff = m_pForm->m_pRdbTariff3;
    else if (t >= m_pForm->m_pUDTariff4->minimum() && t <= m_pForm->m_pUDTariff4->maximum())
        tariff = m_pForm->m_pRdbTariff4;
    tk::CheckOne({m_pForm->m_pRdbTariff1, m_pForm->m_pRdbTariff2, m_pForm->m_pRdbTariff3,
                  m_pForm->m_pRdbTariff4},
                 tariff);
    m_pForm->m_pUDTariff4->setEnabled(tariff == m_pForm->m_pRdbTariff4);
    m_pForm->m_pUDTariff4->setValue(
        tariff == m_pForm->m_pRdbTariff4 ? t : m_pForm->m_pUDTariff4->minimum());

    m_pForm->m_pTBrAIn->setValue(kLevelMax - image.m_nAIn);
    m_pForm->m_pTBrAOut->setValue(kLevelMax - image.m_nAOut);
    m_pForm->m_pChbRAccess->setChecked(image.m_nRAccess == 1);
}

void TFrmBasic1::Store(CfgImage& image) const {
    // Any character but 0 shows as '*': one the pane does not know stays until '#' is chosen.
    if (m_pForm->m_pRdbSCode1->isChecked())
        image.m_nSCode = 0;
    else if (m_pForm->m_pRdbSCode2->isChecked() && image.m_nSCode == 0)
        image.m_nSCode = 1;

    // With no button checked the value stays as the file or the unit gave it.
    if (m_pForm->m_pRdbTariff1->isChecked())
        image.m_nTariff = kTariffNone;
    else if (m_pForm->m_pRdbTariff2->isChecked())
        image.m_nTariff = kTariffPolarity;
    else if (m_pForm->m_pRdbTariff3->isChecked())
        image.m_nTariff = kTariffPulse;
    else if (m_pForm->m_pRdbTariff4->isChecked())
        image.m_nTariff = static_cast<uint8_t>(m_pForm->m_pUDTariff4->Position());

    image.m_nAIn = static_cast<uint8_t>(kLevelMax - m_pForm->m_pTBrAIn->value());
    image.m_nAOut = static_cast<uint8_t>(kLevelMax - m_pForm->m_pTBrAOut->value());
    // A value other than 0 and 1 shows unchecked and stays until the box is changed.
    if (m_pForm->m_pChbRAccess->isChecked() != (image.m_nRAccess == 1))
        image.m_nRAccess = m_pForm->m_pChbRAccess->isChecked() ? 1 : 0;
}

CPaneBasic1::CPaneBasic1(IPaneHost& ui) : CFramePane(ui, PANE_BASIC1, &ui.Device().m_Cfg) {}

QWidget* CPaneBasic1::NewFrame(QWidget* parent) {
    return new TFrmBasic1(*this, parent);
}

void CPaneBasic1::Leave() {
    if (Frm())
        Frm()->Store(*m_pCfg->GetImage());
}

void CPaneBasic1::Load(int param) {
    BeginLoad(param);
    if (Frm())
        Frm()->Fill(*m_pCfg->GetImage());
}
