#include "app/ComBridge.h"

#include <QMetaObject>
#include <QThread>

CComBridge::CComBridge(IComProgress& progress, IComEvents& events, QObject* parent)
    : QObject(parent), m_progress(progress), m_events(events) {}

CComBridge::~CComBridge() {
    Detach();
}

bool CComBridge::OnOwnThread() const {
    return QThread::currentThread() == thread();
}

void CComBridge::Detach() {
    std::lock_guard lock(m_mutex);
    m_bDetached = true;
    m_cv.notify_all();
}

bool CComBridge::IsDetached() const {
    std::lock_guard lock(m_mutex);
    return m_bDetached;
}

void CComBridge::Post(std::function<void()> call) {
    // Queued calls die with this object: a call still queued when it is destroyed is dropped.
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (!IsDetached())
                call();
        },
        Qt::QueuedConnection);
}

bool CComBridge::Send(std::function<void()> call) {
    if (OnOwnThread()) {
        if (IsDetached())
            return false;
        call();
        return true;
    }
    // Shared with the queued call, which may run after the worker stopped waiting.
    auto done = std::make_shared<bool>(false);
    {
        std::lock_guard lock(m_mutex);
        if (m_bDetached)
            return false;
    }
    QMetaObject::invokeMethod(
        this,
        [this, done, call = std::move(call)] {
            if (IsDetached())
                return; // the worker has been released and acts without us
            call();
            std::lock_guard lock(m_mutex);
            *done = true;
            m_cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return *done || m_bDetached; });
    return *done;
}

void CComBridge::PostProgress(CComNotifyMsg* msg) {
    Post([this, msg] { m_progress.PostProgress(msg); });
}

void CComBridge::SendProgress(CComNotifyMsg* msg) {
    if (!Send([this, msg] { m_progress.SendProgress(msg); })) {
        if (msg->m_nType == PM_BAD_PIN)
            msg->m_nValue2 = DLG_CANCEL;
        msg->m_bDone = true;
    }
}

void CComBridge::PostEvent(int code, intptr_t arg) {
    Post([this, code, arg] { m_events.PostEvent(code, arg); });
}

void CComBridge::SendEvent(int code, intptr_t arg) {
    if (!Send([this, code, arg] { m_events.SendEvent(code, arg); }) && m_onDetachedSend)
        m_onDetachedSend(code, arg);
}

bool CComBridge::AskRepeat() {
    // Shared: a detach during the question releases the worker before the answer is in.
    auto answer = std::make_shared<bool>(false);
    return Send([this, answer] { *answer = m_events.AskRepeat(); }) && *answer;
}

void CComBridge::PostCloseMainWindow() {
    Post([this] { m_events.PostCloseMainWindow(); });
}
