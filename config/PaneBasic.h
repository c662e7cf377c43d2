// The pane of the programming character, tariff signalling, audio levels and remote access:
// CPaneBasic1 with its frame TFrmBasic1.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneBasic1;
namespace Ui {
class TFrmBasic1;
}

class TFrmBasic1 : public QWidget {
    Q_OBJECT
public:
    TFrmBasic1(CPaneBasic1& pane, QWidget* parent);
    ~TFrmBasic1() override;

private:
    CPaneBasic1& m_pane;
    std::unique_ptr<Ui::TFrmBasic1> m_pForm;
};

class CPaneBasic1 : public CFramePane {
public:
    explicit CPaneBasic1(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
