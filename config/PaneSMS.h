// The pane of the handling of incoming SMS and the information SMS: CPaneSMS with its frame
// TFrmSMS.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneSMS;
namespace Ui {
class TFrmSMS;
}

class TFrmSMS : public QWidget {
    Q_OBJECT
public:
    TFrmSMS(CPaneSMS& pane, QWidget* parent);
    ~TFrmSMS() override;

private:
    CPaneSMS& m_pane;
    std::unique_ptr<Ui::TFrmSMS> m_pForm;
};

class CPaneSMS : public CFramePane {
public:
    explicit CPaneSMS(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
