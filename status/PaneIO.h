// The pane of the unit's binary inputs and outputs: CPaneIO with its frame TFrmIO.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneIO;
namespace Ui {
class TFrmIO;
}

class TFrmIO : public QWidget {
    Q_OBJECT
public:
    TFrmIO(CPaneIO& pane, QWidget* parent);
    ~TFrmIO() override;

private:
    CPaneIO& m_pane;
    std::unique_ptr<Ui::TFrmIO> m_pForm;
};

class CPaneIO : public CFramePane {
public:
    explicit CPaneIO(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
