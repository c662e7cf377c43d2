// SMS transfer: fetch the messages the unit has received, and have it send the messages of the
// to-send list, one frame per recipient and 160-character part.
#include "link/TK630Com.h"

#include "base/Texts.h"
#include "link/Commands.h"
#include "sms/SMS.h"
#include "sms/SMSMng.h"
#include "status/SysTime.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <thread>

namespace {

constexpr uint8_t SMS_NONE_STORED = 1; // confirmation of the read: no message left
constexpr uint8_t SMS_REFUSED = 1;     // confirmation of the send: the unit refuses it
constexpr uint8_t SMS_STATE_FAILED = 0;
constexpr uint8_t SMS_STATE_SENT = 2;
constexpr const char* kNoLongerToSend = "zpráva už v seznamu K odeslání není";
constexpr uint32_t SEND_REQUEST_MAX = 4 + (SMS_MAX_NUMBER_LEN + 1) + (SMS_PART_LEN + 1);

} // namespace

LinkResult CTK630Com::FetchSms(uint32_t attempts, bool progress) {
    // Zeroed, so that a reply shorter than the buffer ends its texts where it ends.
    uint8_t reply[SMS_REPLY_MAX] = {};
    LinkResult r = Query(CMD_GET_SMS, reply, sizeof reply, 3000, 6000, attempts);
    if (r != LE_OK)
        return r == LE_CONFIRM && reply[3] == SMS_NONE_STORED ? LE_NO_MORE_SMS : r;
    if (progress)
        m_notify.Post(PM_STEP, 1);

    // The message is handed over (and saved by the store) before the unit is told to delete
    // its copy: after the acknowledgement the PC holds the only one. Unless the receiver says
    // it is on disk (a full disk, a read-only folder, a detached window), the unit keeps it.
    CComEvent ev;
    ev.m_nCode = CE_SMS_RECEIVED;
    ev.m_pSms = std::make_shared<const CSMS>(reply, sizeof reply);
    ev.m_Status = m_status;
    if (m_notify.SendEvent(ev, 0) != 1) {
        m_strErrorDetail = "zpráva zůstává v jednotce";
        return LE_SMS_NOT_STORED;
    }

    uint8_t ack[HEADER_SIZE];
    r = Query(CMD_ACK_SMS, ack, sizeof ack, 3000, 6000, 1);
    if (progress)
        m_notify.Post(PM_STEP, 1);
    return r;
}

LinkResult CTK630Com::ReadAllSms() {
    for (;;) {
        m_notify.Post(PM_BEGIN, TXT_CAP_READ_SMS, 3, true);
        const LinkResult r = FetchSms(3, true);
        if (r == LE_NO_MORE_SMS)
            return LE_OK;
        if (r != LE_OK)
            return r;
        m_notify.Post(PM_STEP, 1);
    }
}

LinkResult CTK630Com::SendSms(const int32_t* indices, uint32_t count) {
    if (!m_pSMS)
        return LE_SMS_FAILED;
    // A repeat after a partial failure goes on with the messages still waiting; the caller's
    // list still counts the ones already sent.
    if (!m_bRepeating) {
        m_sendList.clear();
        for (uint32_t i = 0; indices && i < count; ++i) {
            std::vector<uint8_t> key = m_pSMS->MessageKey(SMS_TOSEND, indices[i]);
            if (!key.empty())
                m_sendList.push_back(std::move(key));
        }
    }

    uint32_t steps = 0;
    for (const auto& key : m_sendList) {
        if (const CSMS* sms = m_pSMS->Get(m_pSMS->FindMessage(SMS_TOSEND, key), SMS_TOSEND))
            steps += static_cast<uint32_t>(sms->GetNumberCount() * sms->GetPartCount());
    }
    m_notify.Post(PM_BEGIN, TXT_CAP_SEND_SMS, 2 * steps, true);

    bool missing = false;
    while (!m_sendList.empty()) {
        // Looked up again right before it goes: the move of the one before may have read a
        // to-send list another program changed. One that is gone is not sent, and no other
        // message takes its place.
        const int index = m_pSMS->FindMessage(SMS_TOSEND, m_sendList.front());
        if (index < 0) {
            missing = true;
            m_sendList.erase(m_sendList.begin());
            continue;
        }
        const LinkResult r = SendOne(static_cast<uint32_t>(index));
        if (r != LE_OK)
            return r;
        if (CSMS* sms = m_pSMS->Get(index, SMS_TOSEND))
            sms->SetTime(GetLocalTime());
        // The move to the sent list is done before the next message is taken; a window that
        // has gone (detached) ends the sending here.
        CComEvent ev;
        ev.m_nCode = CE_SMS_SENT;
        ev.m_nArg = index;
        ev.m_Status = m_status;
        if (m_notify.SendEvent(ev, 0) != 1)
            return LE_ABORTED;
        m_sendList.erase(m_sendList.begin());
    }
    if (missing) {
        m_strErrorDetail = kNoLongerToSend;
        return LE_SMS_FAILED;
    }
    return LE_OK;
}

LinkResult CTK630Com::SendOne(uint32_t outboxIndex) {
    const CSMS* sms = m_pSMS->Get(static_cast<int>(outboxIndex), SMS_TOSEND);
    if (!sms) {
        m_strErrorDetail = kNoLongerToSend;
        return LE_SMS_FAILED;
    }
    const char* text = sms->GetText() ? sms->GetText() : "";
    const size_t textLen = strlen(text);
    const int parts = sms->GetPartCount();
    for (int i = 0; i < sms->GetNumberCount(); ++i) {
        const char* number = sms->GetNumber(i);
        const size_t numberLen = strnlen(number, SMS_MAX_NUMBER_LEN);
        for (int j = 0; j < parts; ++j) {
            const size_t from = static_cast<size_t>(j) * SMS_PART_LEN;
            const size_t partLen = std::min<size_t>(SMS_PART_LEN, textLen - from);
            uint8_t request[SEND_REQUEST_MAX] = {};
            PutRequestHeader(request, CMD_SEND_SMS);
            size_t pos = HEADER_SIZE;
            std::memcpy(request + pos, number, numberLen);
            pos += numberLen + 1;
            std::memcpy(request + pos, text + from, partLen);
            pos += partLen + 1;
            uint8_t reply[HEADER_SIZE + 1];
            LinkResult r =
                Xchg(request, static_cast<uint32_t>(pos), reply, HEADER_SIZE, 3000, 6000, 3);
            if (r != LE_OK)
                return r == LE_CONFIRM && reply[3] == SMS_REFUSED ? LE_SMS_FAILED : r;
            m_notify.Post(PM_STEP, 1);
            // The unit reports the state of the message handed over last; it may take a while.
            for (;;) {
                std::this_thread::sleep_for(std::chrono::milliseconds(m_nSmsPollMs));
                uint8_t state[HEADER_SIZE + 1] = {};
                r = Query(CMD_GET_SMS_STATE, state, sizeof state, 3000, 6000, 3);
                if (r != LE_OK)
                    return r;
                // A reply without the state byte tells nothing: neither sent nor failed.
                if (m_trans.LastReplyLength() < sizeof state) {
                    m_strErrorDetail = "odpověď na stav odeslání neobsahuje stav";
                    return LE_BAD_REPLY;
                }
                if (state[HEADER_SIZE] == SMS_STATE_SENT)
                    break;
                if (state[HEADER_SIZE] == SMS_STATE_FAILED)
                    return LE_SMS_FAILED;
            }
            m_notify.Post(PM_STEP, 1);
        }
    }
    return LE_OK;
}
