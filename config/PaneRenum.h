// The pane of the virtual tie line: renumbering entries and DTMF settings: CPaneRenum with its
// frame TFrmRenum.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneRenum;
namespace Ui {
class TFrmRenum;
}

class TFrmRenum : public QWidget {
    Q_OBJECT
public:
    TFrmRenum(CPaneRenum& pane, QWidget* parent);
    ~TFrmRenum() override;

private:
    CPaneRenum& m_pane;
    std::unique_ptr<Ui::TFrmRenum> m_pForm;
};

class CPaneRenum : public CFramePane {
public:
    explicit CPaneRenum(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
