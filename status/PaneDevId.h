// The pane of the unit's identification: CPaneDevId with its frame TFrmDevId.
#pragma once

#include "status/DevStatus.h"
#include "status/PaneStale.h"

#include <QWidget>

#include <memory>

class CPaneDevId;
namespace Ui {
class TFrmDevId;
}

class TFrmDevId : public QWidget {
    Q_OBJECT
public:
    TFrmDevId(CPaneDevId& pane, QWidget* parent);
    ~TFrmDevId() override;

    void Fill(const CDevIdent& id);

private:
    CPaneDevId& m_pane;
    std::unique_ptr<Ui::TFrmDevId> m_pForm;
};

class CPaneDevId : public CStatusPane {
public:
    explicit CPaneDevId(IPaneHost& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmDevId* Frm() const { return static_cast<TFrmDevId*>(m_pFrm); }
};
