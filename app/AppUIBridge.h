// The Qt side of the link worker's two channels. The worker calls this object on its own
// thread; it hands every call to the user-interface thread as a queued call, where the
// receivers (the progress dialog and the user-interface object) run it. Questions travel with
// their shared reply and are answered there, so the worker never blocks in a Qt call and a
// detached engine (at shutdown) never waits for the event loop. Nothing here touches a
// widget on the worker thread.
#pragma once

#include "link/ComNotify.h"

#include <QObject>

#include <atomic>
#include <functional>

class CComBridge : public QObject, public IComProgress, public IComEvents {
    Q_OBJECT
public:
    // The receivers run on the thread this object lives on (the user-interface thread).
    CComBridge(IComProgress& progress, IComEvents& events, QObject* parent = nullptr);

    // Worker side.
    void PostProgress(CComNotifyMsg* msg) override;
    void SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) override;
    void PostEvent(const CComEvent& ev) override;
    void SendEvent(const CComEvent& ev, const ComReplyPtr& reply) override;
    void AskRepeat(const ComReplyPtr& reply) override;
    void PostCloseMainWindow() override;

    // Calls still queued are dropped from now on (the windows are going).
    void Detach() { m_bDetached = true; }

private:
    void Post(std::function<void()> call);

    IComProgress& m_progress;
    IComEvents& m_events;
    std::atomic<bool> m_bDetached{false};
};
