#include "status/PaneGSM.h"

#include "app/AppUITextLimit.h"
#include "app/Device.h"
#include "app/PaneHost.h"
#include "link/ComNotify.h"

#include "ui_PaneGSM.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGuiApplication>
#include <QLineSeries>
#include <QList>
#include <QPointF>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace {

int64_t NowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

TFrmGSM::TFrmGSM(CPaneGSM& pane, QWidget* parent)
    : QWidget(parent), m_pane(pane), m_pForm(std::make_unique<Ui::TFrmGSM>()) {
    m_pForm->setupUi(this);
    m_pForm->m_pLblDbm->setText(QString::fromStdString(SignalDbmText(0)));

    m_pChart = new QChart;
    m_pChart->legend()->hide();
    m_pChart->setAnimationOptions(QChart::NoAnimation);
    m_pChart->setMargins(QMargins(2, 2, 2, 2));
    m_pChart->setBackgroundRoundness(0);
    m_pAxTime = new QDateTimeAxis;
    m_pAxTime->setFormat(QStringLiteral("H:mm")); // the Czech clock, as everywhere
    m_pAxTime->setTickCount(6);
    // The signal in dBm, the unit's whole scale, labelled at round values (-110, -100, ...).
    m_pAxValue = new QValueAxis;
    m_pAxValue->setObjectName(QStringLiteral("m_pAxSignal"));
    m_pAxValue->setRange(SIGNAL_DBM_MIN, SIGNAL_DBM_MAX);
    const AxisTicks ticks = RoundTicks(SIGNAL_DBM_MIN, SIGNAL_DBM_MAX, 7);
    m_pAxValue->setTickType(QValueAxis::TicksDynamic);
    m_pAxValue->setTickAnchor(ticks.first);
    m_pAxValue->setTickInterval(ticks.step);
    m_pAxValue->setLabelFormat(QStringLiteral("%d"));
    m_pAxValue->setTitleText(QStringLiteral("dBm"));
    m_pChart->addAxis(m_pAxTime, Qt::AlignBottom);
    m_pChart->addAxis(m_pAxValue, Qt::AlignLeft);
    const QDateTime now = QDateTime::currentDateTime();
    m_pAxTime->setRange(now.addMSecs(-SIGNAL_CHART_SPAN_MS), now);

    m_pChtSignal = new QChartView(m_pChart, m_pForm->m_pChartHost);
    m_pChtSignal->setObjectName(QStringLiteral("m_pChtSignal"));
    m_pChtSignal->setAccessibleName(QStringLiteral("průběh signálu za posledních 10 minut"));
    m_pChtSignal->setRenderHint(QPainter::Antialiasing, false);
    m_pChtSignal->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* copy = new QAction(QStringLiteral("Kopírovat průběh signálu jako CSV"), m_pChtSignal);
    copy->setObjectName(QStringLiteral("m_pActCopyCsv"));
    connect(copy, &QAction::triggered, this, &TFrmGSM::CopyCsv);
    m_pChtSignal->addAction(copy);
    auto* lay = new QVBoxLayout(m_pForm->m_pChartHost);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->addWidget(m_pChtSignal);
}

TFrmGSM::~TFrmGSM() = default;

void TFrmGSM::Fill(const CGSMState& gsm) {
    const Ui::TFrmGSM& f = *m_pForm;
    f.m_pTxtOperator->setText(tk::FromCp1250(gsm.m_szOperator, sizeof gsm.m_szOperator));
    f.m_pTxtGSMME->setText(QString::fromUtf8(GSMStateText(gsm.m_nGSMState)));
    f.m_pTxtSIM->setText(QString::fromUtf8(SIMStateText(gsm.m_nSIMState)));
    f.m_pTxtNet->setText(QString::fromUtf8(NetStateText(gsm.m_nNetState)));
    f.m_pTxtCredit1->setText(QString::fromStdString(CreditText(gsm.m_fCredit1)));
    f.m_pTxtBTS->setText(QString::fromStdString(FormatCellId(gsm.m_nBTS)));
    f.m_pTxtWAC->setText(QString::number(gsm.m_nWAC));
    // A figure beyond the bar shows a full bar; the dBm beside it says what it means.
    const uint32_t max = static_cast<uint32_t>(f.m_pPrbSignal->maximum());
    f.m_pPrbSignal->setValue(static_cast<int>(std::min(gsm.m_nSignal, max)));
    f.m_pLblDbm->setText(QString::fromStdString(SignalDbmText(gsm.m_nSignal)));
}

void TFrmGSM::ShowHistory(const CSignalHistory& history, int64_t nowMs) {
    const int64_t from = nowMs - SIGNAL_CHART_SPAN_MS;
    const auto runs = history.Runs(from);
    while (m_series.size() < runs.size()) {
        auto* s = new QLineSeries;
        s->setPointsVisible(true); // a lone value between two gaps is still seen
        m_pChart->addSeries(s);
        s->attachAxis(m_pAxTime);
        s->attachAxis(m_pAxValue);
        m_series.push_back(s);
    }
    for (size_t i = 0; i < m_series.size(); ++i) {
        QList<QPointF> points;
        if (i < runs.size()) {
            points.reserve(static_cast<qsizetype>(runs[i].size()));
            for (const SignalSample& p : runs[i])
                points.append(QPointF(static_cast<double>(p.timeMs),
                                      SignalDbm(static_cast<uint32_t>(p.value))));
        }
        if (!points.isEmpty() || m_series[i]->count() != 0)
            m_series[i]->replace(points);
    }
    m_pAxTime->setRange(QDateTime::fromMSecsSinceEpoch(from),
                        QDateTime::fromMSecsSinceEpoch(nowMs));
}

void TFrmGSM::CopyCsv() {
    if (QClipboard* clip = QGuiApplication::clipboard())
        clip->setText(QString::fromStdString(m_pane.History().Csv()));
}

CPaneGSM::CPaneGSM(IPaneHost& ui) : CStatusPane(ui, PANE_GSM) {}

QWidget* CPaneGSM::NewFrame(QWidget* parent) {
    return new TFrmGSM(*this, parent);
}

const CSignalHistory& CPaneGSM::History() const {
    return UI().SignalHistory();
}

void CPaneGSM::Load(int param) {
    BeginLoad(param);
    if (TFrmGSM* f = Frm()) {
        f->Fill(UI().Status().m_GSM);
        f->ShowHistory(History(), NowMs());
    }
}

void CPaneGSM::OnComEvent(const CComEvent& ev) {
    CStatusPane::OnComEvent(ev);
    // The history has the event already; the chart is drawn again only while it can be
    // seen, and a CE_GSM reloads the pane anyway.
    TFrmGSM* f = Frm();
    if ((ev.m_nCode == CE_GSM_POLL || ev.m_nCode == CE_OFFLINE) && f && f->isVisible())
        f->ShowHistory(History(), NowMs());
}
