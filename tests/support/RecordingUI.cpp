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
    Record({msg->m_nType, msg->m_nValue, msg->m_nValue2, msg->m_bCancel != 0, msg->m_sDetail});
    msg->m_bDone.store(true, std::memory_order_release);
}

void RecordingUI::SendProgress(CComNotifyMsg* msg) {
    if (msg->m_nType == PM_BAD_PIN)
        msg->m_nValue2 = onBadPin ? onBadPin(msg->m_pDsc) : DLG_CANCEL;
    Record({msg->m_nType, msg->m_nValue, msg->m_nValue2, msg->m_bCancel != 0, msg->m_sDetail});
}

void RecordingUI::PostEvent(int code, intptr_t arg) {
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({code, arg, false});
    }
    m_cv.notify_all();
}

void RecordingUI::SendEvent(int code, intptr_t arg) {
    if (onSendEvent)
        onSendEvent(code, arg);
    {
        std::lock_guard lock(m_mutex);
        m_events.push_back({code, arg, true});
    }
    m_cv.notify_all();
}

bool RecordingUI::AskRepeat() {
    std::lock_guard lock(m_mutex);
    ++m_repeatQuestions;
    if (m_repeatAnswers.empty())
        return false;
    const bool answer = m_repeatAnswers.front();
    m_repeatAnswers.pop_front();
    return answer;
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
