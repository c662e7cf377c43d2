// The pane of the programming character, tariff signalling, audio levels and remote access:
// CPaneBasic1 with its frame TFrmBasic1.
#pragma once

#include "app/PaneFrame.h"

#include <QString>
#include <QWidget>

#include <memory>

class QSlider;

class CPaneBasic1;
struct CfgImage;
namespace Ui {
class TFrmBasic1;
}

class TFrmBasic1 : public QWidget {
    Q_OBJECT
public:
    TFrmBasic1(CPaneBasic1& pane, QWidget* parent);
    ~TFrmBasic1() override;

    void Fill(const CfgImage& image);
    void Store(CfgImage& image) const;

private:
    void OnClickTariff();
    // A label under the slider that shows its level as it moves.
    void ShowLevel(QSlider* slider, const QString& name, int column);

    CPaneBasic1& m_pane;
    std::unique_ptr<Ui::TFrmBasic1> m_pForm;
};

class CPaneBasic1 : public CFramePane {
public:
    explicit CPaneBasic1(IPaneHost& ui);

    void Leave() override;
    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmBasic1* Frm() const { return static_cast<TFrmBasic1*>(m_pFrm); }
};
