// The connection item dialog: the telephone number and the PIN of one remote connection.
// Used by the communication settings (add, change) and by the progress dialog when the unit
// refused a PIN (the number is locked then, only the PIN can be corrected).
#pragma once

#include <QDialog>

#include <memory>

class IPrompts;
struct CConnectDsc;
namespace Ui {
class TFrmConnectItem;
}

class TFrmConnectItem : public QDialog {
    Q_OBJECT
public:
    TFrmConnectItem(IPrompts& prompts, QWidget* owner);
    ~TFrmConnectItem() override;

    // Edits this descriptor (not owned); the edits reach it only with "Ok".
    void Bind(CConnectDsc* dsc);
    void LockNumber(bool lock);

private:
    void OnDataChange();
    void m_pBtnOkClick();

    IPrompts& m_prompts;
    std::unique_ptr<Ui::TFrmConnectItem> m_pForm;
    CConnectDsc* m_pDsc = nullptr;
};
