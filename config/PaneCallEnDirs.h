// The pane of the sixteen enabled directions: CPaneCallEnDirs with its frame TFrmCallEnDirs.
// Every change goes into the image at once; leaving the pane stores nothing.
#pragma once

#include "app/PaneFrame.h"

#include <QWidget>

#include <memory>

class CPaneCallEnDirs;
class TFrmSetEnDir;
namespace Ui {
class TFrmCallEnDirs;
}

class TFrmCallEnDirs : public QWidget {
    Q_OBJECT
public:
    TFrmCallEnDirs(CPaneCallEnDirs& pane, QWidget* parent);
    ~TFrmCallEnDirs() override;

    // Refreshes one row, or all sixteen for -1.
    void ShowDirs(int index);

    TFrmSetEnDir* m_pDlgSetEnDir = nullptr; // made at first use; a child of this frame

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void m_pLsvEnDirsSelectItem();
    void m_pBtnSetClick();
    void m_pBtnDelClick();
    int Selected() const;

    CPaneCallEnDirs& m_pane;
    std::unique_ptr<Ui::TFrmCallEnDirs> m_pForm;
};

class CPaneCallEnDirs : public CFramePane {
public:
    explicit CPaneCallEnDirs(IPaneHost& ui);

    void Load(int param) override;

    CTK630Cfg& Cfg() const { return *m_pCfg; }

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    TFrmCallEnDirs* Frm() const { return static_cast<TFrmCallEnDirs*>(m_pFrm); }
};
