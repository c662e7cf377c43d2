// The pane of one alarm record (the parameter is the alarm 0-4): CPaneAlarm with its frame
// TFrmAlarm.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneAlarm;
namespace Ui {
class TFrmAlarm;
}

class TFrmAlarm : public QWidget {
    Q_OBJECT
public:
    TFrmAlarm(CPaneAlarm& pane, QWidget* parent);
    ~TFrmAlarm() override;

private:
    CPaneAlarm& m_pane;
    std::unique_ptr<Ui::TFrmAlarm> m_pForm;
};

class CPaneAlarm : public CFramePane {
public:
    explicit CPaneAlarm(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
