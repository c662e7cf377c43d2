#include "app/Device.h"

#include "config/Profile.h"
#include "sms/SMS.h"

CTK630::CTK630(CProfile& profile) : m_Com(profile, m_Status) {
    m_Com.SetSmsStore(&m_SMS);
}

CTK630::~CTK630() {
    Stop();
}

uint32_t CTK630::Start() {
    const uint32_t r = m_Com.Start();
    if (r == 1) {
        m_SMS.Load();
        m_bStoreLoaded = true;
    }
    return r;
}

void CTK630::Stop() {
    m_Com.Stop();
    // A store not loaded whole is saved only by a change (which keeps a copy of the file);
    // otherwise over what the file holds now, so another program's changes stay.
    if (m_bStoreLoaded && m_bSaveStore && !m_SMS.IsDamaged())
        m_SMS.SaveChanges();
    m_bStoreLoaded = false;
}

int32_t CTK630::SendEdited(int index) {
    if (index < 0 || index >= m_SMS.GetCount(SMS_TOSEND))
        return -1;
    return static_cast<int32_t>(SendSms({index}));
}

uint32_t CTK630::Online() {
    return m_Com.Post({CM_CONNECT, 1, 0});
}

uint32_t CTK630::Offline() {
    return m_Com.Post({CM_DISCONNECT, 0, 0});
}

uint32_t CTK630::ReadStatus() {
    return m_Com.Post({CM_READ_STATUS, 0, 0});
}

uint32_t CTK630::SetTime(const SysTime* time) {
    if (m_Com.IsBusy())
        return LE_BUSY; // the queued command still reads m_setTime
    m_setTime = time ? *time : GetLocalTime();
    return m_Com.Post({CM_SET_TIME, reinterpret_cast<uintptr_t>(&m_setTime), 0});
}

uint32_t CTK630::SetOutputs(uint8_t mask, uint8_t values) {
    return m_Com.Post({CM_SET_OUTPUTS, mask, static_cast<uint32_t>(values & mask)});
}

uint32_t CTK630::ReadSms() {
    return m_Com.Post({CM_READ_SMS, 0, 0});
}

uint32_t CTK630::SendSms(const std::vector<int32_t>& indices) {
    if (m_Com.IsBusy())
        return LE_BUSY; // the queued command still reads m_send
    m_send.clear();
    for (const int32_t index : indices) {
        const CSMS* sms = m_SMS.Get(index, SMS_TOSEND);
        if (sms && sms->GetNumberCount() > 0 && sms->GetPartCount() > 0)
            m_send.push_back(index);
    }
    if (m_send.empty())
        return 0;
    return m_Com.Post({CM_SEND_SMS, reinterpret_cast<uintptr_t>(m_send.data()),
                       static_cast<uint32_t>(m_send.size())});
}

uint32_t CTK630::OnSmsReceived(const CSMS& sms) {
    return m_SMS.StoreReceived(sms) >= 0 ? 1 : 0;
}

uint32_t CTK630::OnSmsSent(int index) {
    return m_SMS.MoveAndShow(index, SMS_TOSEND, SMS_SENT) >= 0 ? 1 : 0;
}
