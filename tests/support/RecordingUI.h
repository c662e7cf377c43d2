// A user interface double for engine tests: records every progress message and event the
// link worker hands over, answers the repeat question and the PIN prompt as the test says,
// and lets the test wait for a message without sleeping.
#pragma once

#include "link/ComNotify.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct ProgressRecord {
    uint32_t type = 0;
    uint32_t value = 0;
    uint32_t value2 = 0;
    bool cancel = false;
    std::string detail;
};

struct EventRecord {
    int code = 0;
    intptr_t arg = 0;
    bool sent = false;
    CDevStatus status; // the records the event carried
};

class RecordingUI : public IComProgress, public IComEvents {
public:
    // IComProgress
    void PostProgress(CComNotifyMsg* msg) override;
    void SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) override;
    // IComEvents
    void PostEvent(const CComEvent& ev) override;
    void SendEvent(const CComEvent& ev, const ComReplyPtr& reply) override;
    void AskRepeat(const ComReplyPtr& reply) override;
    void PostCloseMainWindow() override;

    // Answers to the next repeat questions, in order; No when none is left.
    void AnswerRepeat(std::initializer_list<bool> answers);
    // What the PIN prompt does: return DLG_OK after changing dsc's PIN, or DLG_CANCEL.
    std::function<uint32_t(CConnectDsc* dsc)> onBadPin;
    // Called for sent events (CE_SMS_RECEIVED stores the message, CE_SMS_SENT moves one); its
    // result is the answer. Without it, CE_SMS_RECEIVED is answered "not stored".
    std::function<uint32_t(const CComEvent& ev)> onSendEvent;
    // When set, questions are kept unanswered (as a window whose thread is busy leaves them)
    // until AnswerHeld; HeldQuestions counts them.
    void HoldQuestions(bool hold);
    size_t HeldQuestions() const;
    bool WaitHeld(size_t count, int timeoutMs = 20000) const;
    // Answers every held question; the results of Answer (false: the worker gave up on it).
    std::vector<bool> AnswerHeld(uint32_t value);
    // Called on the worker thread for each progress message, before it is recorded.
    std::function<void(const ProgressRecord&)> onProgress;

    std::vector<ProgressRecord> Progress() const;
    std::vector<EventRecord> Events() const;
    std::vector<int> EventCodes() const;
    int RepeatQuestions() const;
    bool CloseRequested() const;
    // Errors shown (PM_ERROR): link error and command code.
    std::vector<std::pair<uint32_t, uint32_t>> Errors() const;
    void Clear();

    // Waits until `count` messages of this type have arrived in all; false after timeoutMs.
    bool WaitProgress(uint32_t type, size_t count, int timeoutMs = 20000) const;
    bool WaitEvent(int code, size_t count, int timeoutMs = 20000) const;

private:
    void Record(const ProgressRecord& rec);

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_cv;
    std::vector<ProgressRecord> m_progress;
    std::vector<EventRecord> m_events;
    std::deque<bool> m_repeatAnswers;
    int m_repeatQuestions = 0;
    bool m_close = false;
    bool m_hold = false;
    std::vector<ComReplyPtr> m_held;
    bool Hold(const ComReplyPtr& reply);
};
