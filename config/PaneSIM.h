// The pane of the SIM card: PIN, credit, monthly call and dial tone: CPaneSIM with its frame
// TFrmSIM.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneSIM;
namespace Ui {
class TFrmSIM;
}

class TFrmSIM : public QWidget {
    Q_OBJECT
public:
    TFrmSIM(CPaneSIM& pane, QWidget* parent);
    ~TFrmSIM() override;

private:
    CPaneSIM& m_pane;
    std::unique_ptr<Ui::TFrmSIM> m_pForm;
};

class CPaneSIM : public CFramePane {
public:
    explicit CPaneSIM(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
