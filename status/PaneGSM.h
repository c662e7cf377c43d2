// The pane of the unit's GSM state: CPaneGSM with its frame TFrmGSM. Beside the record's
// fields it shows the signal in dBm and, under the bar, the signal of the last ten minutes in
// dBm from the application's history of the signal.
#pragma once

#include "status/DevStatus.h"
#include "status/PaneStale.h"
#include "status/StatusText.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class CPaneGSM;
class QChart;
class QChartView;
class QDateTimeAxis;
class QLineSeries;
class QValueAxis;
struct CComEvent;
namespace Ui {
class TFrmGSM;
}

// How far back the chart reaches.
inline constexpr int64_t SIGNAL_CHART_SPAN_MS = 10 * 60 * 1000;

class TFrmGSM : public QWidget {
    Q_OBJECT
public:
    TFrmGSM(CPaneGSM& pane, QWidget* parent);
    ~TFrmGSM() override;

    void Fill(const CGSMState& gsm);
    // Draws the history's last ten minutes up to `nowMs`.
    void ShowHistory(const CSignalHistory& history, int64_t nowMs);

private:
    void CopyCsv();

    CPaneGSM& m_pane;
    std::unique_ptr<Ui::TFrmGSM> m_pForm;
    QChart* m_pChart = nullptr;
    QChartView* m_pChtSignal = nullptr;
    QDateTimeAxis* m_pAxTime = nullptr;
    QValueAxis* m_pAxValue = nullptr;
    std::vector<QLineSeries*> m_series; // one per run between gaps; spare ones stay empty
};

class CPaneGSM : public CStatusPane {
public:
    explicit CPaneGSM(IPaneHost& ui);

    void Load(int param) override;

    // Besides the silence: a finished GSM poll or the end of the session, after which the
    // chart shows the history again.
    void OnComEvent(const CComEvent& ev) override;
    // The application's record of the signal (kept whether or not this pane is shown).
    const CSignalHistory& History() const;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmGSM* Frm() const { return static_cast<TFrmGSM*>(m_pFrm); }
};
