// The pane of the sixteen enabled directions: CPaneCallEnDirs with its frame TFrmCallEnDirs.
#pragma once

#include "app/FramePane.h"

#include <QWidget>

#include <memory>

class CPaneCallEnDirs;
namespace Ui {
class TFrmCallEnDirs;
}

class TFrmCallEnDirs : public QWidget {
    Q_OBJECT
public:
    TFrmCallEnDirs(CPaneCallEnDirs& pane, QWidget* parent);
    ~TFrmCallEnDirs() override;

private:
    CPaneCallEnDirs& m_pane;
    std::unique_ptr<Ui::TFrmCallEnDirs> m_pForm;
};

class CPaneCallEnDirs : public CFramePane {
public:
    explicit CPaneCallEnDirs(CAppUI& ui);

    void Load(int param) override;

protected:
    QWidget* NewFrame(QWidget* parent) override;
};
