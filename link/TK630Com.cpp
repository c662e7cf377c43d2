#include "link/TK630Com.h"

#include "config/Profile.h"
#include "link/Commands.h"
#include "status/DevStatus.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <pthread.h>

CTK630Com::CTK630Com(CProfile& profile, CDevStatus& status)
    : m_profile(profile), m_status(status), m_trans(&m_serCom) {}

CTK630Com::~CTK630Com() {
    Stop();
}

uint32_t CTK630Com::Start() {
    if (m_bStarted)
        return 1;
    if (m_serCom.Init())
        return LE_START_FAILED;
    // The worker never takes Ctrl+C or a termination request: the thread that starts it does.
    // They are blocked only while the thread is made, which inherits the set; the files
    // opened below are opened with them open, so a hang there can still be ended.
    sigset_t interrupts;
    sigset_t before;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    sigaddset(&interrupts, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &interrupts, &before);
    try {
        m_thread = std::thread([this] { WorkerLoop(); });
    } catch (...) {
        pthread_sigmask(SIG_SETMASK, &before, nullptr);
        return LE_START_FAILED;
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    m_bStarted = true;
    m_tapi.SetCancelCheck([this] { return m_serCom.IsCancelled(); });
    if (m_tapi.Init() != 0)
        return LE_TAPI_FAILED; // the connection list stays empty, as the modem layer failed
    m_connMng.Load();
    return 1;
}

void CTK630Com::Stop() {
    if (!m_bStarted)
        return;
    m_bStopping = true; // from now on nobody is asked anything
    // A worker waiting in a question to a window would wait for the very thread that may be
    // calling Stop: the questions get their fallback answers now.
    m_notify.Detach();
    // Let a running sequence end: its transfer is cancelled, its closing disconnect runs.
    while (IsBusy()) {
        m_serCom.Cancel();
        WaitIdle(200);
    }
    if (m_bOpen && Post(CComMsg{CM_DISCONNECT, 0, 0}) == 1)
        WaitIdle(-1);
    Post(CComMsg{CM_QUIT, 0, 0});
    if (m_thread.joinable())
        m_thread.join();
    m_serCom.IsCancelled(); // drop a cancel that found nothing to end
    if (m_bSaveConnections)
        m_connMng.SaveChanges(); // only a change of this program's, over the file under the lock
    m_bStarted = false;
}

uint32_t CTK630Com::Post(const CComMsg& msg) {
    if (msg.m_nType == CM_CANCEL) {
        m_serCom.Cancel();
        return 1;
    }
    {
        std::lock_guard lock(m_mutex);
        if (m_queue.Count() != 0)
            return LE_BUSY;
        if (msg.m_nType == CM_QUIT || msg.m_nType == CM_CONNECT || m_bOnline) {
            m_queue.Push(msg, true);
        } else {
            m_queue.Push(CComMsg{CM_CONNECT, 0, 0}, true);
            m_queue.Push(msg, false);
            m_queue.Push(CComMsg{CM_DISCONNECT, 0, 0}, false);
        }
        m_bWake = true;
    }
    m_wakeCv.notify_one();
    return 1;
}

bool CTK630Com::IsBusy() const {
    std::lock_guard lock(m_mutex);
    return m_queue.Count() != 0 || m_bRunning;
}

bool CTK630Com::WaitIdle(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    auto idle = [this] { return m_queue.Count() == 0 && !m_bRunning; };
    if (timeoutMs < 0) {
        m_idleCv.wait(lock, idle);
        return true;
    }
    return m_idleCv.wait_for(lock, std::chrono::milliseconds(timeoutMs), idle);
}

void CTK630Com::Pause() {
    if (m_nPauseMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(m_nPauseMs));
}

CDevStatus CTK630Com::StatusSnapshot() const {
    std::lock_guard lock(m_statusMutex);
    return m_status;
}

void CTK630Com::PostEvent(int code, intptr_t arg, std::string detail) {
    if (!m_notify.HasEventSink())
        return;
    CComEvent ev;
    ev.m_nCode = code;
    ev.m_nArg = arg;
    ev.m_strDetail = std::move(detail);
    // The worker is the records' only writer: its own read needs no lock.
    ev.m_Status = m_status;
    m_notify.PostEvent(ev);
}

LinkResult CTK630Com::Xchg(const uint8_t* request, uint32_t requestLen, uint8_t* reply,
                           uint32_t replySize, uint32_t readTimeout, uint32_t writeTimeout,
                           uint32_t attempts) {
    if (m_nTimeoutScale != 100) {
        readTimeout = std::max<uint32_t>(1, readTimeout * m_nTimeoutScale / 100);
        writeTimeout = std::max<uint32_t>(1, writeTimeout * m_nTimeoutScale / 100);
    }
    LinkResult r = m_trans.Exchange(request, requestLen, reply, replySize, readTimeout,
                                    writeTimeout, attempts);
    // A refusal is an answer too: the unit is there.
    if (r == LE_OK || r == LE_CONFIRM)
        NoteAnswer();
    if (r == LE_SERIAL)
        m_strErrorDetail = m_serCom.LastIoError();
    // A modem whose call ended says so in the data stream: then the unit is gone, not mute.
    if ((r == LE_SERIAL || r == LE_TIMEOUT || r == LE_CRC) && m_nConnType != CONN_LOCAL &&
        m_serCom.RecentlyReceived("NO CARRIER")) {
        m_strErrorDetail = ModemReasonText("NO CARRIER");
        r = LE_NO_CONNECTION;
    }
    // A line without flow control may lose bytes: say so with the failure.
    if ((r == LE_SERIAL || r == LE_TIMEOUT || r == LE_CRC) && m_serCom.HasNoFlowControl() &&
        m_strErrorDetail.find(kNoFlowControlNote) == std::string::npos)
        m_strErrorDetail +=
            (m_strErrorDetail.empty() ? "" : "; ") + std::string(kNoFlowControlNote);
    return r;
}

LinkResult CTK630Com::Query(uint8_t command, uint8_t* reply, uint32_t replySize,
                            uint32_t readTimeout, uint32_t writeTimeout, uint32_t attempts) {
    uint8_t request[HEADER_SIZE];
    PutRequestHeader(request, command);
    return Xchg(request, sizeof request, reply, replySize, readTimeout, writeTimeout, attempts);
}

void CTK630Com::WorkerLoop() {
    for (;;) {
        bool woken = true;
        {
            std::unique_lock lock(m_mutex);
            if (m_bOnline)
                woken = m_wakeCv.wait_for(lock, std::chrono::milliseconds(1000),
                                          [this] { return m_bWake; });
            else
                m_wakeCv.wait(lock, [this] { return m_bWake; });
            if (woken)
                m_bWake = false;
        }
        if (!woken) {
            Keepalive();
            continue;
        }
        CComMsg cur;
        {
            std::lock_guard lock(m_mutex);
            if (m_queue.Count() == 0)
                continue;
            cur = m_queue.Current();
        }
        if (cur.m_nType == CM_QUIT) {
            std::lock_guard lock(m_mutex);
            m_queue.Reset();
            m_idleCv.notify_all();
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_bRunning = true;
        }
        RunQueue();
    }
}

void CTK630Com::RunQueue() {
    CComMsg cur;
    {
        std::lock_guard lock(m_mutex);
        cur = m_queue.Current();
    }
    // A "Storno" that found nothing to cancel in an earlier sequence must not cancel this one.
    m_serCom.IsCancelled();
    PostEvent(CE_BEGIN);
    m_bRepeating = false;
    m_bReconnect = false;
    // Whether the session of the current entry was online: a new link after a broken one is.
    bool online = m_bOnline;
    for (;;) {
        LinkResult e = LE_OK;
        bool relinkFailed = false; // the new link did not come up: the entry did not run
        if (m_bReconnect) {
            m_bReconnect = false;
            e = Reconnect(cur, online, m_nReconnectWhy);
            relinkFailed = e != LE_OK;
        }
        if (e == LE_OK)
            e = Dispatch(cur);
        m_bRepeating = false;
        if (e == LE_OK && cur.m_nType != CM_CONNECT && cur.m_nType != CM_DISCONNECT)
            PostEvent(CE_DONE, static_cast<intptr_t>(cur.m_nType));
        if (e != LE_OK) {
            if (e != LE_ABORTED && !m_bStopping)
                m_notify.Send(PM_ERROR, e, m_trans.LastCommand(), nullptr, m_strErrorDetail,
                              m_portFailure);
            const bool repeatable =
                e != LE_PORT_OPEN && e != LE_CANCELLED && e != LE_BLOCKED && e != LE_ABORTED;
            // Judged before the question: the answer takes time in which nothing changes.
            const bool broken = LineBroken(e);
            if (repeatable && !m_bStopping && m_notify.AskRepeat()) {
                m_bRepeating = true;
                // The same port would fail again: a device that came back is a new device.
                m_bReconnect = broken || relinkFailed;
                m_nReconnectWhy = e;
                continue; // the same entry again
            }
            if (cur.m_nType == CM_CONNECT || relinkFailed) {
                // Without a connection the queued operation is dropped; the link still closes.
                std::lock_guard lock(m_mutex);
                m_queue.Push(CComMsg{CM_DISCONNECT, 0, 0}, true);
                cur = m_queue.Current();
                continue;
            }
        }
        {
            std::unique_lock lock(m_mutex);
            if (m_queue.Count() > 1) {
                cur = *m_queue.Next();
                online = m_bOnline;
                continue;
            }
        }
        // The queue is free before the end is reported, so that the user interface may
        // queue the next command as soon as it learns of the end.
        {
            std::lock_guard lock(m_mutex);
            m_queue.Reset();
        }
        m_notify.Post(PM_END);
        if (cur.m_nType == CM_DISCONNECT && cur.m_nParam1 == 1)
            m_notify.PostCloseMainWindow();
        {
            std::lock_guard lock(m_mutex);
            m_bRunning = false;
        }
        m_idleCv.notify_all();
        return;
    }
}

LinkResult CTK630Com::Dispatch(const CComMsg& cmd) {
    // The command code an error shows is always one of this operation's own requests.
    m_trans.ResetLastCommand();
    m_strErrorDetail.clear();
    m_portFailure = PortOpenFailure{};
    switch (cmd.m_nType) {
    case CM_CONNECT:
        return Connect(cmd);
    case CM_DISCONNECT:
        return Disconnect();
    case CM_READ_CFG:
        return ReadConfig(cmd.Param1As<CTK630Cfg>());
    case CM_WRITE_CFG:
        return WriteConfig(cmd.Param1As<CTK630Cfg>(), cmd.m_nParam2);
    case CM_READ_STATUS:
        return ReadStatus();
    case CM_SET_OUTPUTS:
        return SetOutputs(static_cast<uint32_t>(cmd.m_nParam1), cmd.m_nParam2);
    case CM_SET_TIME:
        return SetTime(cmd.Param1As<const SysTime>());
    case CM_READ_SMS:
        return ReadAllSms();
    case CM_SEND_SMS:
        return SendSms(cmd.Param1As<const int32_t>(), cmd.m_nParam2);
    default:
        return LE_OK; // nothing else is ever queued
    }
}

namespace {

// Failures that say nothing came back (or nothing usable): a run of them is a silent unit.
bool IsSilence(LinkResult r) {
    return r == LE_TIMEOUT || r == LE_CRC || r == LE_BAD_REPLY || r == LE_SERIAL;
}

} // namespace

void CTK630Com::Keepalive() {
    // Each poll is one attempt; a failed one is left to the next cycle, and only failures
    // lasting m_nSilenceMs make the unit silent.
    auto poll = [this](auto&& run) {
        const int64_t started = MonotonicMs();
        const LinkResult r = run();
        if (IsSilence(r) && !(r == LE_SERIAL && m_serCom.LineGone()))
            NotePollFailed(r, started);
        return r;
    };
    const LinkResult r = poll([this] { return GetIO(1); });
    const bool gone = r == LE_NO_CONNECTION || (r == LE_SERIAL && m_serCom.LineGone());
    LinkResult phase = LE_OK;
    // A silent unit is asked for its inputs only: the cycle stays short and its first answer
    // is seen at once.
    if (!gone && !m_bSilent) {
        switch (m_nPollPhase) {
        case 0:
            phase = poll([this] { return GetGsm(1); });
            PostEvent(CE_GSM_POLL, phase == LE_OK ? 1 : 0);
            m_nPollPhase = 1;
            break;
        case 1:
            phase = poll([this] { return GetTime(1); });
            m_nPollPhase = 2;
            break;
        default:
            if (m_nConnType == CONN_LOCAL)
                FetchSms(1, false);
            m_nPollPhase = 0;
            break;
        }
    }
    // Other poll failures are left to the next poll; a dropped call or a vanished device is
    // not.
    if (r == LE_NO_CONNECTION || phase == LE_NO_CONNECTION)
        LoseSession(LE_NO_CONNECTION);
    else if (gone || (phase == LE_SERIAL && m_serCom.LineGone()))
        LoseSession(LE_SERIAL);
}

void CTK630Com::NoteAnswer() {
    m_nFailSinceMs = -1;
    m_nLastAnswerT = static_cast<int64_t>(std::time(nullptr));
    if (m_bSilent.exchange(false))
        PostEvent(CE_ANSWERING);
}

void CTK630Com::NotePollFailed(LinkResult, int64_t startedMs) {
    if (m_nFailSinceMs < 0)
        m_nFailSinceMs = startedMs;
    if (m_bSilent || MonotonicMs() - m_nFailSinceMs < static_cast<int64_t>(m_nSilenceMs))
        return;
    m_bSilent = true;
    PostEvent(CE_NO_ANSWER, static_cast<intptr_t>(m_nLastAnswerT));
}

void CTK630Com::ResetSilence() {
    m_bSilent = false;
    m_nFailSinceMs = -1;
}

bool CTK630Com::LineBroken(LinkResult e) const {
    switch (e) {
    case LE_SERIAL:
    case LE_NO_CONNECTION:
        return true;
    case LE_TIMEOUT:
    case LE_CRC:
        return m_bSilent;
    default:
        return false;
    }
}

LinkResult CTK630Com::Reconnect(const CComMsg& cur, bool online, LinkResult why) {
    m_trans.ResetLastCommand();
    m_strErrorDetail.clear();
    m_portFailure = PortOpenFailure{};
    if (m_bOpen) {
        if (m_nConnType != CONN_LOCAL) {
            if (why == LE_NO_CONNECTION)
                m_tapi.GetLine().ReleaseEndedCall();
            else
                m_tapi.GetLine().DropCall();
        }
        DropLine();
        PostEvent(CE_OFFLINE);
    }
    if (cur.m_nType == CM_CONNECT || cur.m_nType == CM_DISCONNECT)
        return LE_OK; // the entry itself opens (or has nothing left to close)
    return Connect(CComMsg{CM_CONNECT, online ? 1u : 0u, 0});
}
void CTK630Com::DropLine() {
    m_serCom.CloseLog();
    m_serCom.Close();
    m_bOpen = false;
    m_bOnline = false;
    m_nPollPhase = 0;
    ResetSilence();
}

void CTK630Com::LoseSession(LinkResult why) {
    m_tapi.GetLine().ReleaseEndedCall();
    // Taken before the line is closed: a server that ended the connection says so.
    std::string detail = why == LE_SERIAL ? m_serCom.LastIoError() : std::string();
    DropLine();
    // The main window shows that the call ended (its status bar), the monitor ends with it.
    PostEvent(CE_OFFLINE, static_cast<intptr_t>(why), std::move(detail));
}
