#include "status/PaneTime.h"

#include "app/Device.h"
#include "app/PaneHost.h"
#include "base/CzechFormat.h"
#include "link/ComNotify.h"
#include "status/StatusText.h"

#include "ui_PaneTime.h"

#include <QDate>
#include <QEvent>
#include <QKeyEvent>
#include <QTime>

TFrmTime::TFrmTime(CPaneTime& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmTime>()) {
    m_pForm->setupUi(this);
    // The Czech date and time the other windows show; the time with its seconds, which the
    // unit's clock keeps.
    m_pForm->m_pDtpDate->setDisplayFormat(QString::fromLatin1(tk::kCzechDatePattern));
    m_pForm->m_pDtpTime->setDisplayFormat(QString::fromLatin1(tk::kCzechTimePattern));
    m_pForm->m_pDtpDate->setMinimumDate(QDate(2000, 1, 1));
    m_pForm->m_pDtpDate->setMaximumDate(QDate(2255, 12, 31));
    // Tab leaves a picker for the next control instead of walking through its sections (the
    // arrows and typing move between hours, minutes, day and month).
    m_pForm->m_pDtpTime->installEventFilter(this);
    m_pForm->m_pDtpDate->installEventFilter(this);
    connect(m_pForm->m_pBtnSet, &QPushButton::clicked, this, [this] {
        const SysTime t = Entered();
        m_pane.UI().Device().SetTime(&t);
    });
    connect(m_pForm->m_pBtnSync, &QPushButton::clicked, this,
            [this] { m_pane.UI().Device().SetTime(nullptr); });
}

TFrmTime::~TFrmTime() = default;

bool TFrmTime::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = (key->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier;
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            focusNextPrevChild(key->key() == Qt::Key_Tab &&
                               !(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFrmTime::Fill(const SysTime& time, std::optional<int64_t> drift) {
    const Ui::TFrmTime& f = *m_pForm;
    m_pForm->m_pLblDrift->setText(drift ? QString::fromStdString(DriftText(*drift)) : QString());
    if (f.m_pDtpTime->hasFocus() || f.m_pDtpDate->hasFocus())
        return; // the user's entry stays
    f.m_pDtpTime->setTime(QTime(time.wHour, time.wMinute, time.wSecond));
    f.m_pDtpDate->setDate(QDate(time.wYear, time.wMonth, time.wDay));
}

SysTime TFrmTime::Entered() const {
    const QTime t = m_pForm->m_pDtpTime->time();
    const QDate d = m_pForm->m_pDtpDate->date();
    SysTime s;
    s.wYear = static_cast<uint16_t>(d.year());
    s.wMonth = static_cast<uint16_t>(d.month());
    s.wDay = static_cast<uint16_t>(d.day());
    s.wHour = static_cast<uint16_t>(t.hour());
    s.wMinute = static_cast<uint16_t>(t.minute());
    s.wSecond = static_cast<uint16_t>(t.second());
    s.wMilliseconds = static_cast<uint16_t>(t.msec());
    return s;
}

CPaneTime::CPaneTime(IPaneHost& ui) : CStatusPane(ui, PANE_TIME) {}

QWidget* CPaneTime::NewFrame(QWidget* parent) {
    return new TFrmTime(*this, parent);
}

void CPaneTime::Load(int param) {
    BeginLoad(param);
    if (TFrmTime* f = Frm())
        f->Fill(UI().Status().m_Time, m_drift);
}

void CPaneTime::OnComEvent(const CComEvent& ev) {
    CStatusPane::OnComEvent(ev);
    if (ev.m_nCode != CE_TIME)
        return;
    const SysTime& unit = ev.m_Status.m_Time;
    const SysTime pc = GetLocalTime();
    // The unit counts whole seconds; the PC's time is taken to the nearest one.
    m_drift = ClockDiffSeconds(unit, pc) - (pc.wMilliseconds >= 500 ? 1 : 0);
}
