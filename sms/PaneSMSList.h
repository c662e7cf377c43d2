// The pane of one of the three SMS lists (the parameter is the list): CPaneSMSList with its frame
// TFrmSMSList.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneSMSList;
namespace Ui {
class TFrmSMSList;
}

class TFrmSMSList : public QWidget {
    Q_OBJECT
public:
    TFrmSMSList(CPaneSMSList& pane, QWidget* parent);
    ~TFrmSMSList() override;

private:
    CPaneSMSList& m_pane;
    std::unique_ptr<Ui::TFrmSMSList> m_pForm;
};

class CPaneSMSList : public CFramePane {
public:
    explicit CPaneSMSList(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
