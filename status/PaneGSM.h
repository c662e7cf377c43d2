// The pane of the unit's GSM state: CPaneGSM with its frame TFrmGSM.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneGSM;
namespace Ui {
class TFrmGSM;
}

class TFrmGSM : public QWidget {
    Q_OBJECT
public:
    TFrmGSM(CPaneGSM& pane, QWidget* parent);
    ~TFrmGSM() override;

private:
    CPaneGSM& m_pane;
    std::unique_ptr<Ui::TFrmGSM> m_pForm;
};

class CPaneGSM : public CFramePane {
public:
    explicit CPaneGSM(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
