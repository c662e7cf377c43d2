// The Qt side of the link worker's two channels. The worker calls this object on its own
// thread; it hands every call to the user-interface thread, where the receivers (the progress
// dialog and the user-interface object) run it: a "post" as a queued call, a "send" as a
// queued call that the worker waits for. Nothing here touches a widget on the worker thread.
//
// A worker that waits for a send while the user-interface thread waits for the worker (at
// shutdown) would hang both; Detach releases every waiting and later send at once with the
// answer "cancelled", so stopping the engine never depends on the event loop running.
#pragma once

#include "link/ComNotify.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class CComBridge : public QObject, public IComProgress, public IComEvents {
    Q_OBJECT
public:
    // The receivers run on the thread this object lives on (the user-interface thread).
    CComBridge(IComProgress& progress, IComEvents& events, QObject* parent = nullptr);
    ~CComBridge() override;

    // Worker side.
    void PostProgress(CComNotifyMsg* msg) override;
    void SendProgress(CComNotifyMsg* msg) override;
    void PostEvent(int code, intptr_t arg) override;
    void SendEvent(int code, intptr_t arg) override;
    bool AskRepeat() override;
    void PostCloseMainWindow() override;

    // From now on nothing reaches the receivers; waiting sends return. User-interface thread.
    void Detach();
    bool IsDetached() const;

    // What a sent SMS event becomes when the receivers are gone (called on the worker): the
    // message must still be stored, or it would be lost when the unit deletes its copy.
    std::function<void(int code, intptr_t arg)> m_onDetachedSend;

private:
    struct Wait;
    void Post(std::function<void()> call);
    // Runs `call` on the user-interface thread and waits for it; false when detached first.
    bool Send(std::function<void()> call);
    bool OnOwnThread() const;

    IComProgress& m_progress;
    IComEvents& m_events;
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDetached = false;
};
