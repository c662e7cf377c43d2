// The pane of the dialling rules of directions not in the enabled list: CPaneCallPars with its
// frame TFrmCallPars.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneCallPars;
namespace Ui {
class TFrmCallPars;
}

class TFrmCallPars : public QWidget {
    Q_OBJECT
public:
    TFrmCallPars(CPaneCallPars& pane, QWidget* parent);
    ~TFrmCallPars() override;

private:
    CPaneCallPars& m_pane;
    std::unique_ptr<Ui::TFrmCallPars> m_pForm;
};

class CPaneCallPars : public CFramePane {
public:
    explicit CPaneCallPars(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
