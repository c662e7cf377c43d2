// A received or sent message, shown read only: who, when, the whole text. Such messages are
// records of what happened and are never edited; answering or passing one on starts a new
// message in the editor.
#pragma once

#include <QDialog>

#include <memory>

class CSMS;
namespace Ui {
class TFrmSMSViewDlg;
}

// Results of the dialog besides QDialog::Rejected (Zavřít, Escape, the close box).
inline constexpr int SMS_VIEW_REPLY = 3;   // "Odpovědět"
inline constexpr int SMS_VIEW_FORWARD = 4; // "Přeposlat"

class TFrmSMSViewDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFrmSMSViewDlg(QWidget* parent);
    ~TFrmSMSViewDlg() override;

    // Fills the dialog from sms (which it does not keep): "Od:" for a received message, "Komu:"
    // for a sent one. Reply needs someone to answer to: it is disabled without a number.
    void Show(const CSMS& sms, int list);

private:
    std::unique_ptr<Ui::TFrmSMSViewDlg> m_pForm;
};
