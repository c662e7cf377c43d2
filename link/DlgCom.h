// The communication progress dialog: on screen while the link worker runs a queued sequence.
// It shows the operation's caption and a progress bar, offers "Storno", shows the link's
// errors and asks for a new PIN when the unit refuses one. It is shown with open(), not
// exec(): modal to the main window without a nested event loop, so the progress messages
// keep arriving through the ordinary loop.
#pragma once

#include "link/ComNotify.h"

#include <QDialog>

#include <memory>

class IPaneHost;
namespace Ui {
class TFrmCom;
}

class TFrmCom : public QDialog, public IComProgress {
    Q_OBJECT
public:
    TFrmCom(IPaneHost& ui, QWidget* owner);
    ~TFrmCom() override;

    // A sequence begins (CE_BEGIN).
    void Begin();
    // The user asked to close the program while a sequence runs: the main window is closed,
    // through its close query, once the sequence has ended.
    void KeepCloseRequest() { m_bCloseAsked = true; }

    // The worker's progress messages, on the user-interface thread.
    void PostProgress(CComNotifyMsg* msg) override;
    void SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) override;

signals:
    // A progress message has been handled and is on screen.
    void progressHandled(uint32_t type);

protected:
    // Neither Escape nor the window system ends the dialog: only the end of the sequence.
    // A close request of the window system (Alt+F4 while the dialog has the focus, as it has
    // just after a short operation) is kept and closes the main window, through its close
    // query, once the sequence has ended; the main window itself gets none while it is
    // blocked.
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;

private:
    // Handles a message; the answer of a sent one (PM_BAD_PIN: the item dialog's result).
    uint32_t Handle(const CComNotifyMsg& msg);
    void SetCaption(uint32_t textId, bool cancel);
    void m_pBtnCancelClick();

    IPaneHost& m_ui;
    std::unique_ptr<Ui::TFrmCom> m_pForm;
    bool m_bEnding = false;
    bool m_bCloseAsked = false; // a close request came during the sequence
};
