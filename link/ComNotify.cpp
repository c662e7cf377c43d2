#include "link/ComNotify.h"

void CComNotifier::SetSink(IComProgress* sink) {
    std::lock_guard lock(m_mutex);
    m_sink = sink;
}

IComProgress* CComNotifier::Sink() const {
    std::lock_guard lock(m_mutex);
    return m_sink;
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
    IComProgress* sink = Sink();
    if (!sink)
        return;
    CComNotifyMsg* slot = TakeSlot();
    slot->m_nType = type;
    slot->m_bCancel = cancel ? 1 : 0;
    slot->m_nValue = value;
    slot->m_nValue2 = value2;
    slot->m_pDsc = nullptr;
    slot->m_sDetail.clear();
    sink->PostProgress(slot);
}

uint32_t CComNotifier::Send(uint32_t type, uint32_t value, uint32_t value2, CConnectDsc* dsc,
                            const std::string& detail) {
    IComProgress* sink = Sink();
    if (!sink)
        return type == PM_BAD_PIN ? DLG_CANCEL : value2;
    CComNotifyMsg* slot = TakeSlot();
    slot->m_nType = type;
    slot->m_bCancel = 0;
    slot->m_nValue = value;
    slot->m_nValue2 = value2;
    slot->m_pDsc = dsc;
    slot->m_sDetail = detail;
    sink->SendProgress(slot);
    const uint32_t answer = slot->m_nValue2;
    slot->m_bDone.store(true, std::memory_order_release);
    return answer;
}
