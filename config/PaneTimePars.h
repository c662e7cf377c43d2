// The pane of the four timing values of dialling: CPaneTimePars with its frame TFrmTimePars.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneTimePars;
struct CfgImage;
namespace Ui {
class TFrmTimePars;
}

class TFrmTimePars : public QWidget {
    Q_OBJECT
public:
    TFrmTimePars(CPaneTimePars& pane, QWidget* parent);
    ~TFrmTimePars() override;

    void Fill(const CfgImage& image);
    void Store(CfgImage& image) const;

private:
    CPaneTimePars& m_pane;
    std::unique_ptr<Ui::TFrmTimePars> m_pForm;
};

class CPaneTimePars : public CFramePane {
public:
    explicit CPaneTimePars(IPaneHost& ui);

    void Leave() override;
    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmTimePars* Frm() const { return static_cast<TFrmTimePars*>(m_pFrm); }
};
