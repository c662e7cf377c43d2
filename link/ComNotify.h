// The two channels by which the link worker talks to the user interface: progress to the
// communication dialog, and events to the main window. The core has no windows: the GUI
// implements these interfaces by handing each call over to its own thread (queued for
// "post", blocking-queued for "send"); the command-line companion and the tests implement
// them directly.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

struct CConnectDsc;

// Progress message types.
inline constexpr uint32_t PM_CAPTION = 1;  // m_nValue: caption text id, m_bCancel
inline constexpr uint32_t PM_BEGIN = 2;    // m_nValue: caption text id, m_bCancel, m_nValue2: steps
inline constexpr uint32_t PM_STEP = 3;     // m_nValue: steps to add
inline constexpr uint32_t PM_POSITION = 4; // m_nValue: absolute position
inline constexpr uint32_t PM_ERROR = 5;    // m_nValue: link error, m_nValue2: command code (sent)
inline constexpr uint32_t PM_END = 6;      // the sequence has ended
inline constexpr uint32_t PM_BAD_PIN = 7;  // m_pDsc: the connection; answer in m_nValue2 (sent)

// Events to the main window.
inline constexpr int CE_BEGIN = -1;       // a sequence starts: show the progress dialog
inline constexpr int CE_ONLINE = 1;       // the link is open
inline constexpr int CE_OFFLINE = 2;      // the link was closed
inline constexpr int CE_CFG_READ = 3;     // a configuration read finished
inline constexpr int CE_DEVID = 4;        // identification changed
inline constexpr int CE_GSM = 5;          // GSM state changed
inline constexpr int CE_IO = 6;           // inputs/outputs changed
inline constexpr int CE_TIME = 7;         // the unit's clock changed
inline constexpr int CE_SMS_RECEIVED = 8; // an SMS was read from the unit (sent)
inline constexpr int CE_SMS_SENT = 9;     // an SMS of the to-send list was sent (sent)

// Answers of the PIN prompt (the connection item dialog's modal result).
inline constexpr uint32_t DLG_OK = 1;
inline constexpr uint32_t DLG_CANCEL = 2;

// One progress message. The worker fills a slot and hands its address over; the receiver
// sets m_bDone when it has handled it, and only then is the slot used again.
struct CComNotifyMsg {
    uint32_t m_nType = 0;
    uint8_t m_bCancel = 0;
    uint32_t m_nValue = 0;
    uint32_t m_nValue2 = 0;
    CConnectDsc* m_pDsc = nullptr; // PM_BAD_PIN: the connection whose PIN the user edits
    std::string m_sDetail;         // PM_ERROR: what else is known (device, modem's answer)
    std::atomic<bool> m_bDone{true};
};

// The communication progress dialog's side.
class IComProgress {
public:
    virtual ~IComProgress() = default;
    // Handle later (the worker goes on); set msg->m_bDone when handled.
    virtual void PostProgress(CComNotifyMsg* msg) = 0;
    // Handle now and return when handled (the worker waits): PM_ERROR, PM_BAD_PIN.
    virtual void SendProgress(CComNotifyMsg* msg) = 0;
};

// The main window's side.
class IComEvents {
public:
    virtual ~IComEvents() = default;
    // Handle later (the worker goes on).
    virtual void PostEvent(int code, intptr_t arg) = 0;
    // Handle now and return when handled (the worker waits):
    // - CE_SMS_RECEIVED: arg is a new CSMS* that the receiver takes over and stores (and saves)
    //   before returning; only then does the worker tell the unit to delete its copy, so a
    //   crash never loses a message;
    // - CE_SMS_SENT: arg is the index in the to-send list of the message just sent, which the
    //   receiver moves to the sent list before the worker takes the next one.
    virtual void SendEvent(int code, intptr_t arg) = 0;
    // "Došlo ke komunikační chybě. Opakovat komunikaci?" with Yes and No; true for Yes.
    virtual bool AskRepeat() = 0;
    // The window-close disconnect has finished: the main window may close now.
    virtual void PostCloseMainWindow() = 0;
};

// The worker's end of the progress channel: a growing set of reusable slots.
class CComNotifier {
public:
    void SetSink(IComProgress* sink);
    IComProgress* Sink() const;

    void Post(uint32_t type, uint32_t value = 0, uint32_t value2 = 0, bool cancel = false);
    // Sends PM_ERROR or PM_BAD_PIN and returns m_nValue2 as the receiver left it.
    uint32_t Send(uint32_t type, uint32_t value, uint32_t value2, CConnectDsc* dsc = nullptr,
                  const std::string& detail = {});

    // Slots ever created (they live as long as the notifier).
    size_t SlotCount() const;

private:
    CComNotifyMsg* TakeSlot();

    mutable std::mutex m_mutex;
    IComProgress* m_sink = nullptr;
    std::deque<CComNotifyMsg> m_slots; // a deque keeps every slot's address while it grows
};
