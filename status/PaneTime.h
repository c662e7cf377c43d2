// The pane of the unit's clock: CPaneTime with its frame TFrmTime. Beside the two pickers it
// shows how far the unit's clock was from the PC's when it was last read.
#pragma once

#include "status/PaneStale.h"
#include "status/SysTime.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class CPaneTime;
namespace Ui {
class TFrmTime;
}

class TFrmTime : public QWidget {
    Q_OBJECT
public:
    TFrmTime(CPaneTime& pane, QWidget* parent);
    ~TFrmTime() override;

    // The pickers take the clock unless the user is in one of them; the drift line always
    // follows (empty while the clock has not been read).
    void Fill(const SysTime& time, std::optional<int64_t> drift);
    // The time the two pickers hold (day of week not filled).
    SysTime Entered() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    CPaneTime& m_pane;
    std::unique_ptr<Ui::TFrmTime> m_pForm;
};

class CPaneTime : public CStatusPane {
public:
    explicit CPaneTime(IPaneHost& ui);

    void Load(int param) override;

    // Besides the silence: the unit's clock has just been read (CE_TIME), its difference from
    // the PC's clock now.
    void OnComEvent(const CComEvent& ev) override;
    std::optional<int64_t> Drift() const { return m_drift; }

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmTime* Frm() const { return static_cast<TFrmTime*>(m_pFrm); }
    std::optional<int64_t> m_drift; // unit minus PC, seconds
};
