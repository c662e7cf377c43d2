#include "config/PaneAlarm.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "base/Texts.h"
#include "config/PaneFields.h"

#include "ui_PaneAlarm.h"

namespace {

// The alarms the tree offers; the image's last three records are carried.
constexpr int kPaneAlarms = 5;

// The image offset of a field of the first alarm record.
constexpr size_t AlarmField(size_t inRecord) {
    return offsetof(CfgImage, m_aAlarm) + inRecord;
}

} // namespace

TFrmAlarm::TFrmAlarm(CPaneAlarm& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmAlarm>()) {
    m_pForm->setupUi(this);
    Ui::TFrmAlarm& f = *m_pForm;
    // Every alarm record has the same rooms: the first one's fields stand for all.
    tk::LimitToField(f.m_pTxtACall, AlarmField(offsetof(CfgAlarm, m_szACall)));
    tk::LimitToField(f.m_pTxtASMS1, AlarmField(offsetof(CfgAlarm, m_szASMS1)));
    tk::LimitToField(f.m_pTxtASMS2, AlarmField(offsetof(CfgAlarm, m_szASMS2)));
    f.m_pTxtASMS->SetMaxChars(tk::FieldRoom(AlarmField(offsetof(CfgAlarm, m_szASMS))));

    const auto change = [this] { m_pane.OnDataChange(); };
    for (QLineEdit* e : {f.m_pTxtACall, f.m_pTxtASMS1, f.m_pTxtASMS2})
        connect(e, &QLineEdit::textChanged, this, change);
    connect(f.m_pTxtASMS, &CMemo::changed, this, change);
}

TFrmAlarm::~TFrmAlarm() = default;

void TFrmAlarm::Fill(const CfgAlarm& record, int alarm) {
    Ui::TFrmAlarm& f = *m_pForm;
    f.m_pGrbMain->setTitle(
        QStringLiteral("%1 %2")
            .arg(QString::fromUtf8(GetText(10).data(), static_cast<qsizetype>(GetText(10).size())))
            .arg(alarm + 1));
    f.m_pTxtACall->setText(tk::FieldText(record.m_szACall, sizeof record.m_szACall));
    f.m_pTxtASMS1->setText(tk::FieldText(record.m_szASMS1, sizeof record.m_szASMS1));
    f.m_pTxtASMS2->setText(tk::FieldText(record.m_szASMS2, sizeof record.m_szASMS2));
    f.m_pTxtASMS->SetFieldText(tk::FieldText(record.m_szASMS, sizeof record.m_szASMS));
}

void TFrmAlarm::Store(CfgAlarm& record) const {
    const Ui::TFrmAlarm& f = *m_pForm;
    tk::StoreFieldText(record.m_szACall, sizeof record.m_szACall, f.m_pTxtACall->text());
    tk::StoreFieldText(record.m_szASMS1, sizeof record.m_szASMS1, f.m_pTxtASMS1->text());
    tk::StoreFieldText(record.m_szASMS2, sizeof record.m_szASMS2, f.m_pTxtASMS2->text());
    tk::StoreFieldText(record.m_szASMS, sizeof record.m_szASMS, f.m_pTxtASMS->FieldText());
}

CPaneAlarm::CPaneAlarm(IPaneHost& ui) : CFramePane(ui, PANE_ALARM, &ui.Device().m_Cfg) {}

QWidget* CPaneAlarm::NewFrame(QWidget* parent) {
    return new TFrmAlarm(*this, parent);
}

CfgAlarm* CPaneAlarm::Record(int alarm) const {
    // A parameter outside the tree's alarms reaches no record (never a carried one).
    if (alarm < 0 || alarm >= kPaneAlarms)
        return nullptr;
    return &m_pCfg->GetImage()->m_aAlarm[alarm];
}

void CPaneAlarm::Leave() {
    if (CfgAlarm* record = Record(m_nParam); record && Frm())
        Frm()->Store(*record);
}

void CPaneAlarm::Load(int alarm) {
    BeginLoad(alarm);
    if (const CfgAlarm* record = Record(alarm); record && Frm())
        Frm()->Fill(*record, alarm);
}
