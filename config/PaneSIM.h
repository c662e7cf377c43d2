// The pane of the SIM card: PIN, credit, monthly call and dial tone: CPaneSIM with its frame
// TFrmSIM.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneSIM;
class QRadioButton;
struct CfgImage;
namespace Ui {
class TFrmSIM;
}

class TFrmSIM : public QWidget {
    Q_OBJECT
public:
    TFrmSIM(CPaneSIM& pane, QWidget* parent);
    ~TFrmSIM() override;

    void Fill(const CfgImage& image);
    void Store(CfgImage& image) const;

private:
    // The command only with "na zavolání:", the threshold unless "nezjišťovat".
    void m_pRdbCModeClick();
    void SetThreshold(float value);

    CPaneSIM& m_pane;
    std::unique_ptr<Ui::TFrmSIM> m_pForm;
};

class CPaneSIM : public CFramePane {
public:
    explicit CPaneSIM(IPaneHost& ui);

    void Leave() override;
    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmSIM* Frm() const { return static_cast<TFrmSIM*>(m_pFrm); }
};
