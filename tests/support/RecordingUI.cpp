#include "tests/support/RecordingUI.h"

#include <algorithm>
#include <chrono>

void RecordingUI::Record(const ProgressRecord& rec) {
    if (onProgress)
        onProgress(rec);
    {
        std::lock_guard lock(m_mutex);
        m_progress.push_back(rec);
    }
    m_cv.notify_all();
}

void RecordingUI::PostProgress(CComNotifyMsg* msg) {
    Record({msg->m_nType, msg->m_nValue, msg->m_nValue2, msg->m_bCancel != 0, msg->m_strDetail});
    msg->m_bDone.store(true, std::memory_order_release);
}

bool RecordingUI::Hold(const ComReplyPtr& reply) {
    {
        std::lock_guard lock(m_mutex);
        if (!m_hold)
            return false;
        m_held.push_back(reply);
    }
    m_cv.notify_all();
    return true;
}

void RecordingUI::HoldQuestions(bool hold) {
    std::lock_guard lock(m_mutex);
    m_hold = hold;
}

size_t RecordingUI::HeldQuestions() const {
    std::lock_guard lock(m_mutex);
    return m_held.size();
}

bool RecordingUI::WaitHeld(size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                         [&] { return m_held.size() >= count; });
}

std::vector<bool> RecordingUI::AnswerHeld(uint32_t value) {
    std::vector<ComReplyPtr> held;
    {
        std::lock_guard lock(m_mutex);
        held.swap(m_held);
    }
    std::vector<bool> results;
    for (const ComReplyPtr& reply : held)
        results.push_back(reply->Answer(value));
    return results;
}

void RecordingUI::SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) {
    Record({msg.m_nType, msg.m_nValue, msg.m_nValue2, msg.m_bCancel != 0, msg.m_strDetail});
    if (Hold(reply))
        return;
    if (msg.m_nType == PM_BAD_PIN)
        reply->Answer(onBadPin ? onBadPin(msg.m_pDsc) : DLG_CANCEL);
    else
        reply->Answer(0);
}

void RecordingUI::PostEvent(const CComEvent& ev) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({ev.m_nCode, ev.m_nArg, false, ev.m_Status});
    }
    m_cv.notify_all();
}

void RecordingUI::SendEvent(const CComEvent& ev, const ComReplyPtr& reply) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({ev.m_nCode, ev.m_nArg, true, ev.m_Status});
    }
    m_cv.notify_all();
    if (Hold(reply))
        return;
    reply->Answer(onSendEvent ? onSendEvent(ev) : 0);
}

void RecordingUI::AskRepeat(const ComReplyPtr& reply) {
    {
        std::lock_guard lock(m_mutex);
        ++m_repeatQuestions;
    }
    m_cv.notify_all();
    if (Hold(reply))
        return;
    std::lock_guard lock(m_mutex);
    bool answer = false;
    if (!m_repeatAnswers.empty()) {
        answer = m_repeatAnswers.front();
        m_repeatAnswers.pop_front();
    }
    reply->Answer(answer ? 1 : 0);
}

void RecordingUI::PostCloseMainWindow() {
    {
        std::lock_guard lock(m_mutex);
        m_close = true;
    }
    m_cv.notify_all();
}

void RecordingUI::AnswerRepeat(std::initializer_list<bool> answers) {
    std::lock_guard lock(m_mutex);
    m_repeatAnswers.assign(answers.begin(), answers.end());
}

std::vector<ProgressRecord> RecordingUI::Progress() const {
    std::lock_guard lock(m_mutex);
    return m_progress;
}

std::vector<EventRecord> RecordingUI::Events() const {
    std::lock_guard lock(m_mutex);
    return m_events;
}

std::vector<int> RecordingUI::EventCodes() const {
    std::lock_guard lock(m_mutex);
    std::vector<int> codes;
    for (const auto& e : m_events)
        codes.push_back(e.code);
    return codes;
}

int RecordingUI::RepeatQuestions() const {
    std::lock_guard lock(m_mutex);
    return m_repeatQuestions;
}

bool RecordingUI::CloseRequested() const {
    std::lock_guard lock(m_mutex);
    return m_close;
}

std::vector<std::pair<uint32_t, uint32_t>> RecordingUI::Errors() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::pair<uint32_t, uint32_t>> errors;
    for (const auto& p : m_progress) {
        if (p.type == PM_ERROR)
            errors.emplace_back(p.value, p.value2);
    }
    return errors;
}

void RecordingUI::Clear() {
    std::lock_guard lock(m_mutex);
    m_progress.clear();
    m_events.clear();
    m_repeatQuestions = 0;
    m_close = false;
}

bool RecordingUI::WaitProgress(uint32_t type, size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<size_t>(std::count_if(m_progress.begin(), m_progress.end(),
                                                 [&](const auto& p) { return p.type == type; })) >=
               count;
    });
}

bool RecordingUI::WaitEvent(int code, size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        return static_cast<size_t>(std::count_if(m_events.begin(), m_events.end(),
                                                 [&](const auto& e) { return e.code == code; })) >=
               count;
    });
}
