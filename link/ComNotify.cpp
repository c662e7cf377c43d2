#include "link/ComNotify.h"

#include <algorithm>

// --- CComReply

bool CComReply::Answer(uint32_t value) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bDone)
            return false;
        m_bDone = true;
        m_nValue = value;
    }
    m_cv.notify_all();
    return true;
}

bool CComReply::IsOpen() const {
    std::lock_guard lock(m_mutex);
    return !m_bDone;
}

uint32_t CComReply::Wait() {
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [this] { return m_bDone; });
    return m_nValue;
}

void CComReply::Abandon() {
    {
        std::lock_guard lock(m_mutex);
        m_bDone = true; // the fallback given at construction stays
    }
    m_cv.notify_all();
}

// --- CComNotifier

void CComNotifier::SetSink(IComProgress* sink) {
    std::lock_guard lock(m_mutex);
    m_sink = sink;
}

void CComNotifier::SetEventSink(IComEvents* sink) {
    std::lock_guard lock(m_mutex);
    m_events = sink;
}

void CComNotifier::Detach() {
    std::unique_lock lock(m_mutex);
    m_sink = nullptr;
    m_events = nullptr;
    for (const ComReplyPtr& reply : m_open)
        reply->Abandon();
    m_open.clear();
    // A sink method that is running now returns soon (it must not block): wait for it, so
    // that the caller may destroy the sink afterwards.
    m_leftCv.wait(lock, [this] { return m_nInside == 0; });
}

IComProgress* CComNotifier::EnterProgress() {
    std::lock_guard lock(m_mutex);
    if (m_sink)
        ++m_nInside;
    return m_sink;
}

IComEvents* CComNotifier::EnterEvents() {
    std::lock_guard lock(m_mutex);
    if (m_events)
        ++m_nInside;
    return m_events;
}

void CComNotifier::Leave() {
    {
        std::lock_guard lock(m_mutex);
        --m_nInside;
    }
    m_leftCv.notify_all();
}

uint32_t CComNotifier::Ask(const ComReplyPtr& reply) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_sink && !m_events)
            reply->Abandon(); // detached while the question was being put
        else
            m_open.push_back(reply);
    }
    const uint32_t answer = reply->Wait();
    std::lock_guard lock(m_mutex);
    m_open.erase(std::remove(m_open.begin(), m_open.end(), reply), m_open.end());
    return answer;
}

size_t CComNotifier::SlotCount() const {
    std::lock_guard lock(m_mutex);
    return m_slots.size();
}

CComNotifyMsg* CComNotifier::TakeSlot() {
    std::lock_guard lock(m_mutex);
    for (CComNotifyMsg& slot : m_slots) {
        if (slot.m_bDone.load(std::memory_order_acquire)) {
            slot.m_bDone.store(false, std::memory_order_relaxed);
            return &slot;
        }
    }
    CComNotifyMsg& slot = m_slots.emplace_back();
    slot.m_bDone.store(false, std::memory_order_relaxed);
    return &slot;
}

void CComNotifier::Post(uint32_t type, uint32_t value, uint32_t value2, bool cancel) {
    IComProgress* sink = EnterProgress();
    if (!sink)
        return;
    CComNotifyMsg* slot = TakeSlot();
    slot->m_nType = type;
    slot->m_bCancel = cancel ? 1 : 0;
    slot->m_nValue = value;
    slot->m_nValue2 = value2;
    slot->m_pDsc = nullptr;
    slot->m_strDetail.clear();
    sink->PostProgress(slot);
    Leave();
}

uint32_t CComNotifier::Send(uint32_t type, uint32_t value, uint32_t value2, CConnectDsc* dsc,
                            const std::string& detail, const PortOpenFailure& portFailure) {
    const uint32_t fallback = type == PM_BAD_PIN ? DLG_CANCEL : 0;
    auto reply = std::make_shared<CComReply>(fallback);
    IComProgress* sink = EnterProgress();
    if (!sink)
        return fallback;
    CComNotifyMsg msg;
    msg.m_nType = type;
    msg.m_nValue = value;
    msg.m_nValue2 = value2;
    msg.m_pDsc = dsc;
    msg.m_strDetail = detail;
    msg.m_portFailure = portFailure;
    msg.m_bDone.store(false, std::memory_order_relaxed);
    sink->SendProgress(msg, reply);
    Leave();
    return Ask(reply);
}

bool CComNotifier::HasEventSink() const {
    std::lock_guard lock(m_mutex);
    return m_events != nullptr;
}

void CComNotifier::PostEvent(const CComEvent& ev) {
    if (IComEvents* sink = EnterEvents()) {
        sink->PostEvent(ev);
        Leave();
    }
}

uint32_t CComNotifier::SendEvent(const CComEvent& ev, uint32_t fallback) {
    auto reply = std::make_shared<CComReply>(fallback);
    IComEvents* sink = EnterEvents();
    if (!sink)
        return fallback;
    sink->SendEvent(ev, reply);
    Leave();
    return Ask(reply);
}

bool CComNotifier::AskRepeat() {
    auto reply = std::make_shared<CComReply>(0);
    IComEvents* sink = EnterEvents();
    if (!sink)
        return false;
    sink->AskRepeat(reply);
    Leave();
    return Ask(reply) == 1;
}

void CComNotifier::PostCloseMainWindow() {
    if (IComEvents* sink = EnterEvents()) {
        sink->PostCloseMainWindow();
        Leave();
    }
}
