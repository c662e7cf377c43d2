// The pane of one alarm (the tree's five alarm nodes open it with the record's index):
// CPaneAlarm with its frame TFrmAlarm.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneAlarm;
struct CfgAlarm;
namespace Ui {
class TFrmAlarm;
}

class TFrmAlarm : public QWidget {
    Q_OBJECT
public:
    TFrmAlarm(CPaneAlarm& pane, QWidget* parent);
    ~TFrmAlarm() override;

    // alarm: the record's index, for the group's caption.
    void Fill(const CfgAlarm& record, int alarm);
    void Store(CfgAlarm& record) const;

private:
    CPaneAlarm& m_pane;
    std::unique_ptr<Ui::TFrmAlarm> m_pForm;
};

class CPaneAlarm : public CFramePane {
public:
    explicit CPaneAlarm(IPaneHost& ui);

    // Into record m_nParam.
    void Leave() override;
    // From record `alarm` (0..4).
    void Load(int alarm) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmAlarm* Frm() const { return static_cast<TFrmAlarm*>(m_pFrm); }
    CfgAlarm* Record(int alarm) const;
};
