// The device object: everything that stands for the unit — its status records, the link
// engine, the configuration and the SMS store — shared by the control panel and the
// command-line companion.
#pragma once

#include "config/TK630Cfg.h"
#include "link/TK630Com.h"
#include "sms/SMSMng.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

class CProfile;
class CSMS;

class CTK630 {
public:
    explicit CTK630(CProfile& profile);
    ~CTK630();
    CTK630(const CTK630&) = delete;
    CTK630& operator=(const CTK630&) = delete;

    // Starts the link engine (1, 128 or 129) and, when it runs, loads the SMS store.
    uint32_t Start();
    // Stops the link engine (closing an open session first) and saves what the SMS store
    // holds changed in place and not saved yet, over what "SMS.dat" holds by then (every
    // other change was saved when it was made).
    void Stop();
    // Whether Stop saves the SMS store (it does unless told otherwise): a program that does
    // not own the Data folder at the moment must leave "SMS.dat" as it is.
    void SetSaveStoreOnStop(bool save) { m_bSaveStore = save; }

    // Kind 3 of the send command (the editor's send button): the message at `index` of the
    // to-send list. -1 when the list holds no such message (nothing is queued or shown),
    // else SendSms's result.
    int32_t SendEdited(int index);

    // Queue the user's link commands (1, or LE_BUSY while a sequence runs).
    uint32_t Online();
    uint32_t Offline();
    uint32_t ReadStatus();
    // With a null time, the PC's local time at the moment of the call.
    uint32_t SetTime(const SysTime* time);
    // Channels of `mask` get the matching bits of `values` (the IO pane's two buttons).
    uint32_t SetOutputs(uint8_t mask, uint8_t values);
    uint32_t ReadSms();
    // Sends the to-send messages at these positions (ascending): those without a recipient
    // or text are left out. Returns 1 when queued, LE_BUSY, or 0 when nothing is to send.
    uint32_t SendSms(const std::vector<int32_t>& indices);

    // What every user interface does with the two SMS events of the link worker; the result
    // is the answer to the event (1 or 0).
    // The received message is stored in the received list; 1 only when it is saved on disk.
    uint32_t OnSmsReceived(const CSMS& sms);
    // The message at this position of the to-send list has been sent: it moves to the sent
    // list; 1 when it did.
    uint32_t OnSmsSent(int index);

    // The engine's records: written by its worker only. A user interface reads the copies the
    // status events carry, or m_Com.StatusSnapshot().
    CDevStatus m_Status;
    CTK630Com m_Com;
    CTK630Cfg m_Cfg;
    CSMSMng m_SMS;

private:
    bool m_bStoreLoaded = false;
    bool m_bSaveStore = true;
    SysTime m_setTime{};         // the time a queued set-time command sends
    std::vector<int32_t> m_send; // the positions a queued send command sends
};
