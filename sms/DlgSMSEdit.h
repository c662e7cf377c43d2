// The dialog that edits a stored message in place: the editor frame inline; its send and save
// buttons close it with result OK after their handler ran, the close box cancels.
#pragma once

#include <QDialog>

#include <memory>

class IPaneHost;
class TFrmSMSEdit;
namespace Ui {
class TFrmSMSEditDlg;
}

class TFrmSMSEditDlg : public QDialog {
    Q_OBJECT
public:
    TFrmSMSEditDlg(IPaneHost& ui, QWidget* parent);
    ~TFrmSMSEditDlg() override;

    TFrmSMSEdit* Frame() const { return m_pFrmSMSEdit; }

private:
    std::unique_ptr<Ui::TFrmSMSEditDlg> m_pForm;
    TFrmSMSEdit* m_pFrmSMSEdit = nullptr;
};
