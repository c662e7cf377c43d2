// The pane of a new SMS being written: CPaneSMSEdit with its frame TFrmSMSEdit.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneSMSEdit;
namespace Ui {
class TFrmSMSEdit;
}

class TFrmSMSEdit : public QWidget {
    Q_OBJECT
public:
    TFrmSMSEdit(CPaneSMSEdit& pane, QWidget* parent);
    ~TFrmSMSEdit() override;

private:
    CPaneSMSEdit& m_pane;
    std::unique_ptr<Ui::TFrmSMSEdit> m_pForm;
};

class CPaneSMSEdit : public CFramePane {
public:
    explicit CPaneSMSEdit(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
