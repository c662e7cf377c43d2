// Remote access: before a modem connection the user picks the modem, picks or types the
// unit's number and gives the PIN. "Spojit" stores the choice in the connection list and the
// profile; "Storno" leaves both as they were.
#pragma once

#include <QDialog>

#include <memory>

class CConnectDscMng;
class CModemMng;
class CProfile;
class IPrompts;
namespace Ui {
class TFrmRemCon;
}

class TFrmRemCon : public QDialog {
    Q_OBJECT
public:
    TFrmRemCon(IPrompts& prompts, CProfile& profile, CModemMng& modems, CConnectDscMng& connections,
               QWidget* owner);
    ~TFrmRemCon() override;

    // Fills the modem list and the numbers, and shows the chosen connection's PIN.
    void Prepare();

private:
    void UpdateConnect();
    void m_pLsbModemClick();
    void m_pBtnModemSetClick();
    void m_pCmbNumberChange();
    void m_pBtnConnectClick();
    int SelectedModem() const;
    // The list entry the number box shows, -1 when the user typed a number of his own.
    int SelectedNumber() const;

    IPrompts& m_prompts;
    CProfile& m_profile;
    CModemMng& m_modems;
    CConnectDscMng& m_connections;
    std::unique_ptr<Ui::TFrmRemCon> m_pForm;
};
