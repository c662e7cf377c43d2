// The pane of the handling of incoming SMS and the information SMS: CPaneSMS with its frame
// TFrmSMS.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneSMS;
struct CfgImage;
namespace Ui {
class TFrmSMS;
}

class TFrmSMS : public QWidget {
    Q_OBJECT
public:
    TFrmSMS(CPaneSMS& pane, QWidget* parent);
    ~TFrmSMS() override;

    void Fill(const CfgImage& image);
    void Store(CfgImage& image) const;

private:
    void m_pRdbModeClick();

    CPaneSMS& m_pane;
    std::unique_ptr<Ui::TFrmSMS> m_pForm;
};

class CPaneSMS : public CFramePane {
public:
    explicit CPaneSMS(IPaneHost& ui);

    void Leave() override;
    // Fills the frame and ends the loading itself (the frame may be filled while shown).
    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmSMS* Frm() const { return static_cast<TFrmSMS*>(m_pFrm); }
};
