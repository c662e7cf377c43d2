// The pane of the dialling rules of directions not in the enabled list: CPaneCallPars with its
// frame TFrmCallPars.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneCallPars;
struct CfgImage;
namespace Ui {
class TFrmCallPars;
}

class TFrmCallPars : public QWidget {
    Q_OBJECT
public:
    TFrmCallPars(CPaneCallPars& pane, QWidget* parent);
    ~TFrmCallPars() override;

    void Fill(const CfgImage& image);
    void Store(CfgImage& image) const;

private:
    CPaneCallPars& m_pane;
    std::unique_ptr<Ui::TFrmCallPars> m_pForm;
};

class CPaneCallPars : public CFramePane {
public:
    explicit CPaneCallPars(IPaneHost& ui);

    void Leave() override;
    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmCallPars* Frm() const { return static_cast<TFrmCallPars*>(m_pFrm); }
};
