// The two channels by which the link worker talks to the user interface: progress to the
// communication dialog, and events to the main window. The core has no windows; every user
// interface implements IComProgress and IComEvents, and the worker reaches them only through
// CComNotifier, which can detach them.
//
// How a window program uses them:
// - Post* calls are "handle later": the worker goes on at once. A window copies what it needs
//   into a queued call to its own thread. A CComNotifyMsg slot stays the window's until it
//   sets m_bDone; a CComEvent is passed by value and may be copied freely.
// - Send* calls and AskRepeat are questions: the worker waits for the answer, given by
//   CComReply::Answer from any thread. A window must not block in them (never a
//   blocking-queued call): it queues the question to its own thread with the shared reply and
//   returns; the dialog's result is answered there. The command-line companion and the tests
//   answer before returning.
// - Stop (and CComNotifier::Detach) detaches both sinks first. A pending question then gets
//   its fallback answer at once (PM_BAD_PIN: DLG_CANCEL, the repeat question: No,
//   CE_SMS_RECEIVED: not stored, so the unit keeps the message; CE_SMS_SENT: not moved, the
//   send ends; CE_CFG_WRITE_QUERY: nothing is written), later calls reach no sink, and a late
//   Answer is ignored (it returns false). So Stop never waits for the window's own thread, and the
//   window may close after it.
// - Status events (CE_DEVID, CE_GSM, CE_IO, CE_TIME, CE_ONLINE) carry a copy of all status
//   records as they are after the change: a window shows the copy and never reads the
//   engine's live records, which only the worker writes (CTK630Com::StatusSnapshot gives a
//   consistent copy at any other time).
#pragma once

#include "link/PortAccess.h"
#include "status/DevStatus.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct CConnectDsc;
struct CfgImage;
class CSMS;

// Progress message types.
inline constexpr uint32_t PM_CAPTION = 1;  // m_nValue: caption text id, m_bCancel
inline constexpr uint32_t PM_BEGIN = 2;    // m_nValue: caption text id, m_bCancel, m_nValue2: steps
inline constexpr uint32_t PM_STEP = 3;     // m_nValue: steps to add
inline constexpr uint32_t PM_POSITION = 4; // m_nValue: absolute position
inline constexpr uint32_t PM_ERROR = 5;    // m_nValue: link error, m_nValue2: command code (sent)
inline constexpr uint32_t PM_END = 6;      // the sequence has ended
inline constexpr uint32_t PM_BAD_PIN = 7; // m_pDsc: the connection; answer DLG_OK/DLG_CANCEL (sent)

// Events to the main window.
inline constexpr int CE_BEGIN = -1; // a sequence starts: show the progress dialog
inline constexpr int CE_ONLINE = 1; // the link is open
inline constexpr int CE_OFFLINE =
    2; // the link was closed; m_nArg: why (0, or 9 when the call dropped)
inline constexpr int CE_CFG_READ = 3;     // a configuration read finished
inline constexpr int CE_DEVID = 4;        // identification changed
inline constexpr int CE_GSM = 5;          // GSM state changed
inline constexpr int CE_IO = 6;           // inputs/outputs changed
inline constexpr int CE_TIME = 7;         // the unit's clock changed
inline constexpr int CE_SMS_RECEIVED = 8; // an SMS was read from the unit (sent)
inline constexpr int CE_SMS_SENT = 9;     // an SMS of the to-send list was sent (sent)
// A keepalive poll of the GSM state has ended, changed or not (after its CE_GSM, if any):
// m_nArg 1 when the unit answered, 0 when it did not. What a signal history samples.
inline constexpr int CE_GSM_POLL = 10;
// The unit has not answered the keepalive polls of the last few seconds (a cable pulled, the
// unit without power): m_nArg is when it last answered, in seconds since the epoch. The
// session stays open and polling goes on.
inline constexpr int CE_NO_ANSWER = 11;
// The first answer after CE_NO_ANSWER.
inline constexpr int CE_ANSWERING = 12;
// An operation of a sequence (not its connect or disconnect) has succeeded: m_nArg is its
// command (CM_READ_CFG ...), so the window can say what was done.
inline constexpr int CE_DONE = 13;
// Before a write with CFG_WRITE_ASK (sent): m_pCfg is what the unit holds now (already kept as
// a backup), m_nArg the number of settings that differ. Answer 1 to write, 0 to write nothing.
inline constexpr int CE_CFG_WRITE_QUERY = 20;
// A write with CFG_WRITE_ASK found the unit holding the same settings: nothing was written.
inline constexpr int CE_CFG_UNCHANGED = 21;
// The configuration was written: m_nArg the number of settings changed, -1 when the unit's
// configuration was not read first.
inline constexpr int CE_CFG_WRITTEN = 22;

// Answers of the PIN prompt (the connection item dialog's modal result).
inline constexpr uint32_t DLG_OK = 1;
inline constexpr uint32_t DLG_CANCEL = 2;

// One progress message. The worker fills a slot and hands its address over; the receiver
// sets m_bDone when it has handled it, and only then is the slot used again. For a sent
// message the slot is the worker's own copy, valid during the call: copy what you need.
struct CComNotifyMsg {
    uint32_t m_nType = 0;
    uint8_t m_bCancel = 0;
    uint32_t m_nValue = 0;
    uint32_t m_nValue2 = 0;
    CConnectDsc* m_pDsc = nullptr; // PM_BAD_PIN: the connection whose PIN the user edits
    std::string m_strDetail;       // PM_ERROR: what else is known (device, modem's answer)
    PortOpenFailure m_portFailure; // PM_ERROR with LE_PORT_OPEN: what the open found
    std::atomic<bool> m_bDone{true};
};

// One event to the main window.
struct CComEvent {
    int m_nCode = 0;
    intptr_t m_nArg = 0; // CE_SMS_SENT: index in the to-send list; CE_OFFLINE: see above
    CDevStatus m_Status; // status events: every record as it is after the change
    std::shared_ptr<const CSMS> m_pSms;     // CE_SMS_RECEIVED: the message read from the unit
    std::shared_ptr<const CfgImage> m_pCfg; // CE_CFG_WRITE_QUERY: the unit's configuration
    std::string m_strDetail{}; // CE_OFFLINE of a lost session: why the line went, when known
};

// The answer to one question of the worker, shared by the worker and the receiver.
class CComReply {
public:
    explicit CComReply(uint32_t fallback) : m_nValue(fallback) {}
    // The receiver's answer, from any thread. Only the first counts; false when the question
    // was already answered or given up (the sink was detached): then do nothing more for it.
    bool Answer(uint32_t value);
    // Still waiting for an answer.
    bool IsOpen() const;

    // The worker's side: waits for the answer (or the fallback after Abandon).
    uint32_t Wait();
    void Abandon();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDone = false;
    uint32_t m_nValue;
};
using ComReplyPtr = std::shared_ptr<CComReply>;

// The communication progress dialog's side.
class IComProgress {
public:
    virtual ~IComProgress() = default;
    // Handle later (the worker goes on); set msg->m_bDone when handled.
    virtual void PostProgress(CComNotifyMsg* msg) = 0;
    // PM_ERROR (answer anything once the message was seen) and PM_BAD_PIN (DLG_OK after the
    // PIN was changed in msg.m_pDsc, else DLG_CANCEL). The worker waits for the answer.
    virtual void SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) = 0;
};

// The main window's side.
class IComEvents {
public:
    virtual ~IComEvents() = default;
    // Handle later (the worker goes on).
    virtual void PostEvent(const CComEvent& ev) = 0;
    // The worker waits for the answer:
    // - CE_SMS_RECEIVED: store (and save) ev.m_pSms in the received list; answer 1 when it is
    //   safely on disk, 0 when not. Only after 1 does the worker tell the unit to delete its
    //   copy; after 0 the message stays on the unit and the read ends with LE_SMS_NOT_STORED.
    // - CE_SMS_SENT: ev.m_nArg is the index in the to-send list of the message just sent;
    //   move it to the sent list and answer 1 before the worker takes the next one.
    // - CE_CFG_WRITE_QUERY: show the differences and ask; 1 writes, 0 writes nothing.
    virtual void SendEvent(const CComEvent& ev, const ComReplyPtr& reply) = 0;
    // "Došlo ke komunikační chybě. Opakovat komunikaci?" with Yes and No: answer 1 for Yes.
    virtual void AskRepeat(const ComReplyPtr& reply) = 0;
    // The window-close disconnect has finished: the main window may close now.
    virtual void PostCloseMainWindow() = 0;
};

// The worker's end of both channels: a growing set of reusable progress slots, and the gate
// that lets the user interface detach while the worker waits for it.
class CComNotifier {
public:
    void SetSink(IComProgress* sink);
    void SetEventSink(IComEvents* sink);
    // Detaches both sinks (see above). When it returns, no sink method is running on the
    // worker and none will be called again until a sink is set anew.
    void Detach();

    void Post(uint32_t type, uint32_t value = 0, uint32_t value2 = 0, bool cancel = false);
    // Sends PM_ERROR or PM_BAD_PIN and returns the answer (DLG_CANCEL or 0 when detached).
    uint32_t Send(uint32_t type, uint32_t value, uint32_t value2, CConnectDsc* dsc = nullptr,
                  const std::string& detail = {}, const PortOpenFailure& portFailure = {});

    bool HasEventSink() const;
    void PostEvent(const CComEvent& ev);
    // The receiver's answer, or `fallback` when detached.
    uint32_t SendEvent(const CComEvent& ev, uint32_t fallback);
    bool AskRepeat();
    void PostCloseMainWindow();

    // Slots ever created (they live as long as the notifier).
    size_t SlotCount() const;

private:
    CComNotifyMsg* TakeSlot();
    // Enters a sink call (nullptr when detached) and leaves it.
    IComProgress* EnterProgress();
    IComEvents* EnterEvents();
    void Leave();
    uint32_t Ask(const ComReplyPtr& reply);

    mutable std::mutex m_mutex;
    std::condition_variable m_leftCv;
    IComProgress* m_sink = nullptr;
    IComEvents* m_events = nullptr;
    int m_nInside = 0;                 // sink calls running now
    std::vector<ComReplyPtr> m_open;   // questions waiting for their answer
    std::deque<CComNotifyMsg> m_slots; // a deque keeps every slot's address while it grows
};
