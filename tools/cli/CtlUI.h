// The user interface of tk530ctl towards the link engine: the progress bar and the error
// messages on standard error, the repeat question and the PIN prompt on a terminal, the SMS
// events, and the changes a monitor prints. The engine calls it on its worker thread; the
// main thread only reads the results, so everything shared is guarded by one mutex.
#pragma once

#include "link/ComNotify.h"
#include "sms/SMS.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CTK630;
class CTK630Com;

namespace ctl {

// Standard output and standard error, shared by both threads. On a terminal, standard error
// also carries a progress bar on its last line, which every message clears first. For JSON
// the messages are collected instead and written at the end as one object (Finish).
class CConsole {
public:
    explicit CConsole(bool progressBar, bool json = false)
        : m_bBar(progressBar && !json), m_bJson(json) {}

    // False when standard output can no longer be written (its reader has gone).
    bool Out(std::string_view text);
    void Err(std::string_view text);
    // A question on the terminal: shown at once, also for JSON.
    void Ask(std::string_view text);
    // The first link error, for the error object: its code and the command it ended.
    void LinkFailure(uint32_t code, uint32_t command);
    // For JSON: the messages as {"error": {"code", "text", "command"}} when the command
    // failed with `status`, else as {"warning": {"text"}} when there were any.
    void Finish(int status);
    bool Json() const { return m_bJson; }
    // Draws the bar: caption, bar and percentage (nothing unless enabled).
    void Bar(std::string_view caption, uint32_t position, uint32_t maximum);
    void ClearBar();
    bool HasBar() const { return m_bBar; }

private:
    void ClearBarLocked();

    std::mutex m_mutex;
    bool m_bBar;
    bool m_bJson;
    bool m_bBarShown = false;
    std::string m_errors;
    uint32_t m_nLinkCode = 0;
    uint32_t m_nLinkCommand = 0;
};

// Ctrl+C and its like. The first SIGINT, SIGTERM or SIGHUP cancels the running transfer (as
// "Storno" does) and wakes prompts and waits; a second one ends the process at once by the
// signal (its open files, the port and the locks included, are released by the exit).
void InstallInterruptHandler(CTK630Com* com);
void RemoveInterruptHandler();
bool Interrupted();

// A line typed on the terminal (standard input), with the prompt on standard error; no echo
// for secrets. Nothing when the input ends or the user interrupts.
std::optional<std::string> PromptLine(CConsole& console, std::string_view prompt, bool echo);

struct UIOptions {
    bool interactive = false; // standard input and error are terminals: questions are asked
    uint32_t retries = 0;     // repeat questions answered Yes before asking
};

// A change reported while online, with the records as its event carried them.
struct MonitorEvent {
    int code = 0;
    SysTime pcTime;
    CDevStatus status;
    std::shared_ptr<CSMS> sms;
    int smsIndex = -1;
    int64_t since = 0; // CE_NO_ANSWER: the unit's last answer, seconds since the epoch
};

class CCtlUI : public IComProgress, public IComEvents {
public:
    CCtlUI(CTK630& device, CConsole& console, const UIOptions& options);

    // IComProgress
    void PostProgress(CComNotifyMsg* msg) override;
    void SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) override;
    // IComEvents
    void PostEvent(const CComEvent& ev) override;
    void SendEvent(const CComEvent& ev, const ComReplyPtr& reply) override;
    void AskRepeat(const ComReplyPtr& reply) override;
    void PostCloseMainWindow() override {}

    // The outcome so far: the first failure that was not repeated (a link error code, or
    // LE_ABORTED when the PIN prompt was given up), 0 when none.
    uint32_t Result() const;
    // What the failed open found, when the outcome is a port that could not be opened.
    PortOpenFailure PortFailure() const;
    // The status records as they were when the last sequence ended.
    CDevStatus Snapshot() const;
    // The messages read from the unit (with their indices in the received list when stored).
    std::vector<std::pair<std::shared_ptr<CSMS>, int>> Received() const;
    // A received message could not be saved in "SMS.dat" (it is held in memory).
    bool SmsSaveFailed() const;
    int SentCount() const;

    // The device's SMS store is changed by the worker (a fetched message, a sent one) and,
    // between the sequences of a session that stays online, by the commands: both hold this.
    std::unique_lock<std::mutex> LockStore() { return std::unique_lock(m_storeMutex); }

    // Changes while online are collected from now on; those that arrive before the end of a
    // sequence are dropped with it (the state at the end is the snapshot).
    void StartMonitor();
    void StopMonitor();
    // A new step of `do`: its outcome and its messages start afresh.
    void NewStep();
    // The next change, waiting at most `timeoutMs`.
    std::optional<MonitorEvent> NextMonitorEvent(int timeoutMs);

private:
    void Fail(uint32_t code, const PortOpenFailure& portFailure = {});
    void DrawBar();
    void Monitor(const CComEvent& ev, std::shared_ptr<CSMS> sms = {}, int smsIndex = -1);
    bool AskPin(CConnectDsc* dsc);
    bool Repeat();

    CTK630& m_device;
    CConsole& m_console;
    UIOptions m_options;

    mutable std::mutex m_mutex;
    std::mutex m_storeMutex;
    std::condition_variable m_cv;
    std::vector<uint32_t> m_failures;
    PortOpenFailure m_portFailure; // what the open of the first failure found
    CDevStatus m_snapshot;
    std::vector<std::pair<std::shared_ptr<CSMS>, int>> m_received;
    bool m_bSmsSaveFailed = false;
    int m_nSent = 0;
    bool m_bMonitor = false;
    std::deque<MonitorEvent> m_events;

    // The progress bar (worker thread only).
    std::string m_caption;
    uint32_t m_nPos = 0;
    uint32_t m_nMax = 0;
};

} // namespace ctl
