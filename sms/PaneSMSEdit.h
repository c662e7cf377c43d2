// The SMS editor: the frame TFrmSMSEdit that writes a message and its recipients, used by the
// pane of a new SMS (CPaneSMSEdit, which stores copies of its working message) and by the dialog
// that edits a stored message in place (sms/DlgSMSEdit.h).
#pragma once

#include "app/PaneFrame.h"
#include "sms/Recipients.h"
#include "sms/SMS.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>

class IPaneHost;
namespace Ui {
class TFrmSMSEdit;
}

// The counter "%d/%d": characters of the last part (160 for a full one) and the parts, for a
// text of `length` characters (a line break counts two).
QString SmsCounterText(int length);
// Length of a memo text as the unit counts it: every line break is CR LF.
int SmsMemoLength(const QString& text);
// The recipients of the editor's line, by the one rule of sms/Recipients.h.
RecipientList SmsRecipients(const QString& line);
// A number with fewer digits than this is most likely a typo (a number split at a blank).
inline constexpr int SMS_SHORT_NUMBER = 6;

class TFrmSMSEdit : public QWidget {
    Q_OBJECT
public:
    TFrmSMSEdit(IPaneHost& ui, QWidget* parent);
    ~TFrmSMSEdit() override;

    // Edits sms, which has this index in its list (-1: the pane's working message); with load
    // the controls get its text and numbers.
    void Bind(CSMS* sms, int index, bool load);
    CSMS* Message() const { return m_pSMS; }
    // Text or recipients typed and not yet saved or sent.
    bool HasDraft() const;
    // Starts a new message with these recipients and text (a reply, a forwarded message);
    // the cursor goes where the user writes next: the text of a reply, the recipients of a
    // forwarded message.
    void Compose(const QString& recipients, const QString& text);

signals:
    // Send or save was pressed (after its handler ran).
    void finished();

private:
    void m_pTxtTextChange();
    void m_pTxtForChange();
    void m_pBtnSendClick();
    void m_pBtnSaveClick();
    void UpdateButtons();
    void MarkUnsendable();
    void UpdateRecipients();
    // Controls -> message. False (the message unchanged) when the text holds characters CP1250
    // cannot hold, or (requireNumber) when there is no number.
    bool Collect(bool requireNumber);
    // A copy of the message into the to-send list: its index, or -1 after telling the user.
    int StoreToSend();
    void Clear();

    IPaneHost& m_ui;
    std::unique_ptr<Ui::TFrmSMSEdit> m_pForm;
    CSMS* m_pSMS = nullptr;
    int m_nIndex = -1;
    bool m_bCutting = false;
};

class CPaneSMSEdit : public CFramePane {
public:
    explicit CPaneSMSEdit(IPaneHost& ui);

    int Create() override;
    // The pane has no data to reload.
    void Load(int param) override { (void)param; }
    TFrmSMSEdit* Frm() const { return static_cast<TFrmSMSEdit*>(m_pFrm); }

protected:
    QWidget* NewFrame(QWidget* parent) override;

private:
    CSMS m_WorkSMS;
};
