// The pane of the unit's clock: CPaneTime with its frame TFrmTime.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneTime;
namespace Ui {
class TFrmTime;
}

class TFrmTime : public QWidget {
    Q_OBJECT
public:
    TFrmTime(CPaneTime& pane, QWidget* parent);
    ~TFrmTime() override;

private:
    CPaneTime& m_pane;
    std::unique_ptr<Ui::TFrmTime> m_pForm;
};

class CPaneTime : public CFramePane {
public:
    explicit CPaneTime(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
