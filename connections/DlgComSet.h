// The communication settings: local access over a serial port (with a check of the line to
// the unit) or remote access through a modem, the trace switch, the modem list and the list
// of remote connections. The list edits take effect at once; the profile's settings and the
// chosen connection only with "Ok".
#pragma once

#include "link/DlgModem.h"

#include <QDialog>

#include <memory>

class IPaneHost;
class CConnectDscMng;
class CModemMng;
class CPortBox;
namespace Ui {
class TFrmComSet;
}

class TFrmComSet : public QDialog {
    Q_OBJECT
public:
    TFrmComSet(IPaneHost& ui, QWidget* owner);
    ~TFrmComSet() override;

    // Fills the controls from the profile, the modem list and the connection list.
    void Init();
    CPortBox& PortBox() { return *m_pPortBox; }

    void done(int result) override;

signals:
    // The line check's verdict is shown (tests wait for it).
    void lineTestFinished();

private:
    void UpdateButtons();
    void UpdateModemButtons();
    void m_pBtnModemSetClick();
    void m_pBtnModemAddClick();
    void m_pBtnModemDelClick();
    void m_pBtnAddClick();
    void m_pBtnDelClick();
    void m_pBtnSetClick();
    void m_pBtnOkClick();
    void m_pBtnTestLineClick();
    void m_pBtnFindUnitClick();
    int SelectedModem() const;
    int SelectedConnection() const;

    IPaneHost& m_ui;
    CModemMng& m_modems;
    CConnectDscMng& m_connections;
    std::unique_ptr<Ui::TFrmComSet> m_pForm;
    std::unique_ptr<CPortBox> m_pPortBox;
    CDlgJob m_lineCheck{this}; // last: joined before the form goes
};
