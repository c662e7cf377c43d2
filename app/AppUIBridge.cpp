#include "app/AppUIBridge.h"

#include <QMetaObject>

#include <memory>

CComBridge::CComBridge(IComProgress& progress, IComEvents& events, QObject* parent)
    : QObject(parent), m_progress(progress), m_events(events) {}

void CComBridge::Post(std::function<void()> call) {
    // Queued calls die with this object: one still queued when it is destroyed is dropped.
    QMetaObject::invokeMethod(
        this,
        [this, call = std::move(call)] {
            if (!m_bDetached)
                call();
        },
        Qt::QueuedConnection);
}

void CComBridge::PostProgress(CComNotifyMsg* msg) {
    // The slot stays the receiver's until it sets m_bDone.
    Post([this, msg] { m_progress.PostProgress(msg); });
}

void CComBridge::SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) {
    // The worker's message lives only during this call: the user-interface thread gets a copy.
    auto copy = std::make_shared<CComNotifyMsg>();
    copy->m_nType = msg.m_nType;
    copy->m_bCancel = msg.m_bCancel;
    copy->m_nValue = msg.m_nValue;
    copy->m_nValue2 = msg.m_nValue2;
    copy->m_pDsc = msg.m_pDsc; // the engine's descriptor; the worker waits while it is edited
    copy->m_strDetail = msg.m_strDetail;
    copy->m_portFailure = msg.m_portFailure;
    Post([this, copy, reply] {
        if (reply->IsOpen())
            m_progress.SendProgress(*copy, reply);
    });
}

void CComBridge::PostEvent(const CComEvent& ev) {
    Post([this, ev] { m_events.PostEvent(ev); });
}

void CComBridge::SendEvent(const CComEvent& ev, const ComReplyPtr& reply) {
    Post([this, ev, reply] {
        if (reply->IsOpen())
            m_events.SendEvent(ev, reply);
    });
}

void CComBridge::AskRepeat(const ComReplyPtr& reply) {
    Post([this, reply] {
        if (reply->IsOpen())
            m_events.AskRepeat(reply);
    });
}

void CComBridge::PostCloseMainWindow() {
    Post([this] { m_events.PostCloseMainWindow(); });
}
