// The link engine: one worker thread runs every queued command against the unit, reports
// progress and events, asks whether to repeat after errors, and keeps an online session alive
// by polling the unit once a second.
#pragma once

#include "connections/ConnectDsc.h"
#include "link/ComMsg.h"
#include "link/ComNotify.h"
#include "link/ComTrans.h"
#include "link/LinkError.h"
#include "link/SerCom.h"
#include "link/TAPIMng.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CProfile;
class CDevStatus;
class CSMSMng;
class CTK630Cfg;
struct CfgImage;
struct SysTime;

class CTK630Com {
public:
    CTK630Com(CProfile& profile, CDevStatus& status);
    ~CTK630Com();
    CTK630Com(const CTK630Com&) = delete;
    CTK630Com& operator=(const CTK630Com&) = delete;

    // The user interface's two channels; set them before Start. DetachSinks (the first thing
    // Stop does) cuts both off: every question the worker waits on gets its fallback answer
    // at once, and no sink is called afterwards (see link/ComNotify.h).
    void SetProgressSink(IComProgress* sink) { m_notify.SetSink(sink); }
    void SetEventSink(IComEvents* sink) { m_notify.SetEventSink(sink); }
    void DetachSinks() { m_notify.Detach(); }
    // The SMS store whose to-send list CM_SEND_SMS sends from.
    void SetSmsStore(CSMSMng* store) { m_pSMS = store; }

    // Starts the worker, the port and the modem layer, and loads the connection list:
    // 1, LE_START_FAILED (128) or LE_TAPI_FAILED (129).
    uint32_t Start();

    // Ends the worker without hanging: detaches the sinks (so it waits for no window),
    // cancels a running transfer, lets the queue drain (an open session is closed properly),
    // quits the worker and saves the connection list. Called by the destructor.
    void Stop();

    // The only way to give the engine work (user interface thread): 1 when queued,
    // LE_BUSY (130) when a sequence is still running. CM_CANCEL cancels the running transfer.
    uint32_t Post(const CComMsg& msg);

    bool IsOnline() const { return m_bOnline.load(); }
    // False from CE_NO_ANSWER until the unit answers again (or the session ends).
    bool IsAnswering() const { return !m_bSilent.load(); }
    // 1 = local port, other = modem; -1 before the first connect.
    int32_t GetConnType() const { return m_nConnType.load(); }
    CTAPIMng& GetModems() { return m_tapi; }
    CConnectDscMng& GetConnections() { return m_connMng; }

    // A copy of the status records, consistent at any time and from any thread. The records
    // themselves are the worker's: nothing else reads them while the engine runs.
    CDevStatus StatusSnapshot() const;

    // True while a queued sequence has not ended (and its end has not been reported).
    bool IsBusy() const;
    // Waits until no sequence is running; false when `timeoutMs` passed first.
    bool WaitIdle(int timeoutMs);

    // The fixed pauses after connect, disconnect and some operations (1000 ms) exist so the
    // progress dialog shows its full bar; tests and benchmarks shorten them.
    void SetPauseMs(uint32_t ms) { m_nPauseMs = ms; }
    // The pause between two polls of an SMS's send state (500 ms).
    void SetSmsPollMs(uint32_t ms) { m_nSmsPollMs = ms; }
    // How long every keepalive poll must have failed before the unit counts as silent (3000).
    void SetSilenceMs(uint32_t ms) { m_nSilenceMs = ms; }
    // Scales every exchange's time-outs (100 = as they are); tests of time-outs use a fraction.
    void SetTimeoutScale(uint32_t percent) { m_nTimeoutScale = percent; }
    // Whether Stop saves a connection list changed during the run (it does unless told
    // otherwise), under the Data lock. A program that dialled a connection given only for this
    // run must leave the file as it is.
    void SetSaveConnectionsOnStop(bool save) { m_bSaveConnections = save; }

    // --- Operations, run on the worker thread (public for the benchmarks and tests that drive
    // an open session directly). Each returns a link error code.
    LinkResult Connect(const CComMsg& cmd);
    LinkResult Disconnect();
    LinkResult ReadConfig(CTK630Cfg* cfg);
    // `flags`: CFG_WRITE_* (link/ComMsg.h).
    LinkResult WriteConfig(CTK630Cfg* cfg, uint32_t flags = 0);
    LinkResult ReadStatus();
    LinkResult SetOutputs(uint32_t mask, uint32_t values);
    LinkResult SetTime(const SysTime* time);
    LinkResult GetGsm(uint32_t attempts);
    LinkResult GetIO(uint32_t attempts);
    LinkResult GetTime(uint32_t attempts);
    LinkResult ReadAllSms();
    LinkResult FetchSms(uint32_t attempts, bool progress);
    LinkResult SendSms(const int32_t* indices, uint32_t count);

    // Detail of the last error beyond its code (the port's reason, the modem's answer).
    const std::string& LastErrorDetail() const { return m_strErrorDetail; }
    CComTrans& Trans() { return m_trans; }
    CSerCom& SerCom() { return m_serCom; }

private:
    void WorkerLoop();
    void RunQueue();
    LinkResult Dispatch(const CComMsg& cmd);
    void Keepalive();
    // The call dropped or the device vanished while online: the session ends at once, without
    // a logout or an escape.
    void LoseSession(LinkResult why);
    // The port and trace closed and the session's state reset, with no word to the unit (the
    // line is gone): what ending a lost session and starting a repetition anew share.
    void DropLine();
    // Whether an error means the line itself broke (hung up, an I/O error, the device or the
    // call gone, or a time-out while the unit is known silent): a repetition then starts on
    // a new link.
    bool LineBroken(LinkResult e) const;
    // Closes a broken link without talking to the unit, and before a repetition of `cur`
    // opens it anew and logs in again (for a connect the repetition itself does that).
    LinkResult Reconnect(const CComMsg& cur, bool online, LinkResult why);
    // The keepalive's view of the unit: an answer ends a silence, a failed poll may start one.
    void NoteAnswer();
    void NotePollFailed(LinkResult r, int64_t startedMs);
    void ResetSilence();
    void Pause();

    // Session
    LinkResult OpenLink();
    LinkResult DialModem();
    LinkResult LoginAndIdentify(const CComMsg& cmd);
    // SMS
    LinkResult SendOne(uint32_t outboxIndex);
    LinkResult BlockTransfer(bool write, uint8_t* buf, uint32_t length);
    uint8_t* PrepareTransfer(CTK630Cfg* cfg, uint32_t* length);
    LinkResult BackUpUnitConfig(CfgImage& unit);
    LinkResult ReadState(uint8_t command, uint8_t* reply, uint32_t size, uint32_t attempts,
                         void (*toHost)(uint8_t*), int (CDevStatus::*update)(const uint8_t*),
                         int event);

    LinkResult Xchg(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t replySize,
                    uint32_t readTimeout, uint32_t writeTimeout, uint32_t attempts);
    // A request that is the header alone (80 cc 01 FF).
    LinkResult Query(uint8_t command, uint8_t* reply, uint32_t replySize, uint32_t readTimeout,
                     uint32_t writeTimeout, uint32_t attempts);
    void PostEvent(int code, intptr_t arg = 0, std::string detail = {});
    // Runs a change of the status records under the lock that snapshots take.
    template <typename F>
    auto UpdateStatus(F&& update) {
        std::lock_guard lock(m_statusMutex);
        return update(m_status);
    }

    CProfile& m_profile;
    CDevStatus& m_status;
    CSMSMng* m_pSMS = nullptr;
    mutable std::mutex m_statusMutex; // held by the worker while it writes m_status

    // Worker hand-over: the queue, the wake flag and the quit state are guarded by m_mutex.
    mutable std::mutex m_mutex;
    std::condition_variable m_wakeCv;
    std::condition_variable m_idleCv;
    bool m_bWake = false;
    bool m_bRunning = false; // a sequence is being worked off (until its end is reported)
    std::thread m_thread;
    std::atomic<bool> m_bStopping{false};

    CComNotifier m_notify;
    CComMsgMng m_queue;
    CSerCom m_serCom;
    CComTrans m_trans;
    CTAPIMng m_tapi;
    std::atomic<int32_t> m_nConnType{-1};
    std::atomic<bool> m_bOnline{false};
    std::atomic<bool> m_bOpen{false};
    CConnectDscMng m_connMng;
    uint32_t m_nPollPhase = 0;
    std::atomic<bool> m_bSilent{false};
    int64_t m_nFailSinceMs = -1; // start of the first failed poll since the last answer
    int64_t m_nLastAnswerT = 0;  // when the unit last answered, seconds since the epoch
    uint32_t m_nSilenceMs = 3000;
    bool m_bReconnect = false; // the repetition starts on a new link
    bool m_bReconnectOnline = false;
    LinkResult m_nReconnectWhy = LE_OK;
    uint32_t m_nPauseMs = 1000;
    uint32_t m_nSmsPollMs = 500;
    std::atomic<uint32_t> m_nTimeoutScale{100}; // set by tests while a session polls
    bool m_bRepeating = false;                  // the current entry runs again after "repeat"
    // The messages still to send, by what identifies them in the store: another program may
    // change the to-send list between two of them, so a position would name another message.
    std::vector<std::vector<uint8_t>> m_sendList;
    bool m_bStarted = false;
    bool m_bSaveConnections = true;
    std::string m_strErrorDetail;
    PortOpenFailure m_portFailure; // the last connect's port that could not be opened
};
