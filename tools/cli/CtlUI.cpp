#include "tools/cli/CtlUI.h"

#include "app/Device.h"
#include "base/Cp1250.h"
#include "base/Texts.h"
#include "link/LinkError.h"
#include "tools/cli/CtlFormat.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ctl {

namespace {

constexpr size_t BAR_WIDTH = 20;
constexpr size_t PIN_MIN = 4; // the connection item dialog's rule
constexpr size_t PIN_MAX = 8;

std::atomic<CTK630Com*> g_com{nullptr};
std::atomic<int> g_signals{0};
int g_wake[2] = {-1, -1}; // readable once interrupted; never read

void OnInterrupt(int sig) {
    if (g_signals.fetch_add(1) > 0) {
        // The second one: no more waiting for a clean end.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    // Post with CM_CANCEL only writes the port's cancel event: safe in a signal handler.
    if (CTK630Com* com = g_com.load())
        com->Post(CComMsg{CM_CANCEL, 0, 0});
    if (g_wake[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] const ssize_t n = ::write(g_wake[1], &c, 1);
    }
}

int TerminalColumns() {
    struct winsize ws {};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0)
        return ws.ws_col;
    return 80;
}

// The first `n` characters of a UTF-8 text.
std::string Utf8Prefix(std::string_view text, size_t n) {
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && chars++ == n)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

bool IsYes(std::string answer) {
    std::transform(answer.begin(), answer.end(), answer.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return answer == "a" || answer == "ano" || answer == "y" || answer == "yes";
}

} // namespace

// --- CConsole

void CConsole::ClearBarLocked() {
    if (m_bBarShown) {
        std::fputs("\r\033[K", stderr);
        m_bBarShown = false;
    }
}

bool CConsole::Out(std::string_view text) {
    std::lock_guard lock(m_mutex);
    ClearBarLocked();
    std::fflush(stderr);
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    return std::fflush(stdout) == 0 && written;
}

void CConsole::Err(std::string_view text) {
    std::lock_guard lock(m_mutex);
    if (m_bJson) {
        m_errors += text;
        return;
    }
    ClearBarLocked();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void CConsole::Ask(std::string_view text) {
    std::lock_guard lock(m_mutex);
    ClearBarLocked();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void CConsole::LinkFailure(uint32_t code, uint32_t command) {
    std::lock_guard lock(m_mutex);
    if (m_nLinkCode == 0) {
        m_nLinkCode = code;
        m_nLinkCommand = command;
    }
}

void CConsole::Finish(int status) {
    std::lock_guard lock(m_mutex);
    if (!m_bJson)
        return;
    std::string text = m_errors;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::string json;
    if (status != 0) {
        json = "{\"error\":{\"code\":" + std::to_string(status) +
               ",\"text\":" + JsonString(ForTerminal(text, true));
        if (m_nLinkCode != 0 && static_cast<int>(m_nLinkCode) == status && m_nLinkCommand != 0) {
            char command[16];
            std::snprintf(command, sizeof command, "0x%02X", m_nLinkCommand);
            json += ",\"command\":" + JsonString(command);
        }
        json += "}}\n";
    } else if (!text.empty()) {
        json = "{\"warning\":{\"text\":" + JsonString(ForTerminal(text, true)) + "}}\n";
    }
    std::fwrite(json.data(), 1, json.size(), stderr);
    std::fflush(stderr);
    m_errors.clear();
}

void CConsole::Bar(std::string_view caption, uint32_t position, uint32_t maximum) {
    if (!m_bBar)
        return;
    const uint32_t percent = maximum > 0 ? std::min(position, maximum) * 100 / maximum : 0;
    const size_t filled = BAR_WIDTH * percent / 100;
    const int room = TerminalColumns() - static_cast<int>(BAR_WIDTH) - 9;
    std::string line = "\r\033[K" + Utf8Prefix(caption, static_cast<size_t>(std::max(room, 0)));
    line += " [" + std::string(filled, '#') + std::string(BAR_WIDTH - filled, ' ') + "] ";
    line += std::to_string(percent) + "%";
    std::lock_guard lock(m_mutex);
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    m_bBarShown = true;
}

void CConsole::ClearBar() {
    std::lock_guard lock(m_mutex);
    ClearBarLocked();
    std::fflush(stderr);
}

// --- interrupts

void InstallInterruptHandler(CTK630Com* com) {
    if (g_wake[0] < 0 && ::pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0)
        g_wake[0] = g_wake[1] = -1;
    g_com = com;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0; // no restart: a blocking read ends with EINTR
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

void RemoveInterruptHandler() {
    g_com = nullptr;
}

bool Interrupted() {
    return g_signals.load() > 0;
}

std::optional<std::string> PromptLine(CConsole& console, std::string_view prompt, bool echo) {
    console.Ask(prompt);
    struct termios saved {};
    const bool restore = !echo && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (restore) {
        struct termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string line;
    bool complete = false;
    while (!Interrupted()) {
        struct pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_wake[0], POLLIN, 0}};
        const nfds_t count = g_wake[0] >= 0 ? 2 : 1;
        if (::poll(fds, count, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (count == 2 && fds[1].revents != 0)
            break;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            break;
        if (c == '\n') {
            complete = true;
            break;
        }
        if (c != '\r')
            line += c;
    }
    if (restore)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    if (!echo || !complete)
        console.Ask("\n");
    if (!complete)
        return std::nullopt;
    return line;
}

// --- CCtlUI

CCtlUI::CCtlUI(CTK630& device, CConsole& console, const UIOptions& options)
    : m_device(device), m_console(console), m_options(options) {}

void CCtlUI::Fail(uint32_t code, const PortOpenFailure& portFailure) {
    std::lock_guard lock(m_mutex);
    m_failures.push_back(code);
    if (m_failures.size() == 1)
        m_portFailure = portFailure;
}

PortOpenFailure CCtlUI::PortFailure() const {
    std::lock_guard lock(m_mutex);
    return m_portFailure;
}

void CCtlUI::DrawBar() {
    m_console.Bar(m_caption, m_nPos, m_nMax);
}

void CCtlUI::PostProgress(CComNotifyMsg* msg) {
    switch (msg->m_nType) {
    case PM_CAPTION:
        m_caption = GetText(msg->m_nValue);
        DrawBar();
        break;
    case PM_BEGIN:
        m_caption = GetText(msg->m_nValue);
        m_nPos = 0;
        m_nMax = msg->m_nValue2;
        DrawBar();
        break;
    case PM_STEP:
        m_nPos = std::min(m_nPos + msg->m_nValue, m_nMax);
        DrawBar();
        break;
    case PM_POSITION:
        m_nPos = std::min(msg->m_nValue, m_nMax);
        DrawBar();
        break;
    case PM_END: {
        m_console.ClearBar();
        const CDevStatus now = m_device.m_Com.StatusSnapshot();
        std::lock_guard lock(m_mutex);
        m_snapshot = now;
        m_events.clear();
        break;
    }
    default:
        break;
    }
    msg->m_bDone.store(true, std::memory_order_release);
}

void CCtlUI::SendProgress(const CComNotifyMsg& msg, const ComReplyPtr& reply) {
    if (msg.m_nType == PM_ERROR) {
        std::string text = LinkErrorMessage(msg.m_nValue, msg.m_nValue2) + "\n";
        if (!msg.m_strDetail.empty())
            text += "  (" + ForTerminal(msg.m_strDetail) + ")\n";
        m_console.Err(text);
        m_console.LinkFailure(msg.m_nValue, msg.m_nValue2);
        Fail(msg.m_nValue, msg.m_portFailure);
        reply->Answer(0);
    } else if (msg.m_nType == PM_BAD_PIN) {
        m_console.Err(std::string(GetText(TXT_LINK_ERROR_BASE + LE_BAD_PIN)) + "\n");
        if (AskPin(msg.m_pDsc)) {
            reply->Answer(DLG_OK);
        } else {
            reply->Answer(DLG_CANCEL);
            Fail(LE_ABORTED);
        }
    } else {
        reply->Answer(0);
    }
}

bool CCtlUI::AskPin(CConnectDsc* dsc) {
    if (!dsc || !m_options.interactive) {
        m_console.Err("Jiný PIN nelze zadat, protože standardní vstup a chybový výstup nejsou "
                      "terminál; zadejte správný PIN volbou --pin (nebo v seznamu připojení).\n");
        return false;
    }
    while (!Interrupted()) {
        const std::optional<std::string> line = PromptLine(m_console, "PIN: ", false);
        if (!line || line->empty())
            break;
        std::string pin;
        std::string bad;
        if (!tk::Utf8ToCp1250(*line, pin, &bad)) {
            m_console.Err("Znak \"" + ForTerminal(bad) + "\" nelze zapsat v kódování CP1250.\n");
            continue;
        }
        if (pin.size() < PIN_MIN || pin.size() > PIN_MAX) {
            m_console.Err("PIN musí mít 4 až 8 znaků.\n");
            continue;
        }
        dsc->SetPIN(pin.c_str());
        return true;
    }
    // Ctrl+C at the prompt ends the prompt, not the closing of the session that follows.
    if (Interrupted())
        m_device.m_Com.SerCom().IsCancelled();
    return false;
}

void CCtlUI::AskRepeat(const ComReplyPtr& reply) {
    reply->Answer(Repeat() ? 1 : 0);
}

bool CCtlUI::Repeat() {
    const std::string question(GetText(TXT_REPEAT_QUERY));
    {
        std::lock_guard lock(m_mutex);
        if (m_options.retries > 0) {
            --m_options.retries;
            if (!m_failures.empty())
                m_failures.pop_back(); // the failed step runs again
            m_console.Err(question + " ano\n");
            return true;
        }
    }
    if (!m_options.interactive || Interrupted())
        return false;
    const std::optional<std::string> answer = PromptLine(m_console, question + " [a/n] ", true);
    if (!answer || !IsYes(*answer)) {
        if (Interrupted())
            m_device.m_Com.SerCom().IsCancelled();
        return false;
    }
    std::lock_guard lock(m_mutex);
    if (!m_failures.empty())
        m_failures.pop_back();
    return true;
}

void CCtlUI::Monitor(const CComEvent& event, std::shared_ptr<CSMS> sms, int smsIndex) {
    std::lock_guard lock(m_mutex);
    if (!m_bMonitor)
        return;
    MonitorEvent ev;
    ev.code = event.m_nCode;
    ev.pcTime = GetLocalTime();
    ev.status = event.m_Status;
    ev.sms = std::move(sms);
    ev.smsIndex = smsIndex;
    if (event.m_nCode == CE_NO_ANSWER)
        ev.since = static_cast<int64_t>(event.m_nArg);
    m_events.push_back(std::move(ev));
    m_cv.notify_all();
}

void CCtlUI::PostEvent(const CComEvent& ev) {
    if (ev.m_nCode == CE_IO || ev.m_nCode == CE_GSM || ev.m_nCode == CE_TIME ||
        ev.m_nCode == CE_NO_ANSWER || ev.m_nCode == CE_ANSWERING)
        Monitor(ev);
    if (ev.m_nCode == CE_OFFLINE && ev.m_nArg != 0) {
        // The session ended by itself (the modem call dropped).
        m_console.Err(LinkErrorMessage(static_cast<uint32_t>(ev.m_nArg), 0) +
                      (ev.m_strDetail.empty() ? "" : " (" + ev.m_strDetail + ")") + "\n");
        Fail(static_cast<uint32_t>(ev.m_nArg));
        Monitor(ev);
    }
}

void CCtlUI::SendEvent(const CComEvent& ev, const ComReplyPtr& reply) {
    if (ev.m_nCode == CE_SMS_RECEIVED && ev.m_pSms) {
        auto copy = std::make_shared<CSMS>(*ev.m_pSms);
        // Stored and saved before the unit deletes it; when it is not, the unit keeps it.
        std::unique_lock store(m_storeMutex);
        const uint32_t stored = m_device.OnSmsReceived(*ev.m_pSms);
        const int index = stored ? m_device.m_SMS.GetCount(SMS_RECEIVED) - 1 : -1;
        store.unlock();
        if (stored) {
            std::lock_guard lock(m_mutex);
            m_received.emplace_back(copy, index);
        } else {
            std::lock_guard lock(m_mutex);
            m_bSmsSaveFailed = true;
        }
        reply->Answer(stored);
        if (stored)
            Monitor(ev, copy, index);
    } else if (ev.m_nCode == CE_SMS_SENT) {
        uint32_t moved = 0;
        {
            std::lock_guard store(m_storeMutex);
            moved = m_device.OnSmsSent(static_cast<int>(ev.m_nArg));
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_nSent;
        }
        reply->Answer(moved);
    } else {
        reply->Answer(0);
    }
}

uint32_t CCtlUI::Result() const {
    std::lock_guard lock(m_mutex);
    return m_failures.empty() ? 0 : m_failures.front();
}

CDevStatus CCtlUI::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return m_snapshot;
}

std::vector<std::pair<std::shared_ptr<CSMS>, int>> CCtlUI::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

bool CCtlUI::SmsSaveFailed() const {
    std::lock_guard lock(m_mutex);
    return m_bSmsSaveFailed;
}

int CCtlUI::SentCount() const {
    std::lock_guard lock(m_mutex);
    return m_nSent;
}

void CCtlUI::StartMonitor() {
    std::lock_guard lock(m_mutex);
    m_bMonitor = true;
    m_events.clear();
}

void CCtlUI::StopMonitor() {
    std::lock_guard lock(m_mutex);
    m_bMonitor = false;
    m_events.clear();
}

void CCtlUI::NewStep() {
    std::lock_guard lock(m_mutex);
    m_failures.clear();
    m_portFailure = PortOpenFailure{};
    m_received.clear();
    m_bSmsSaveFailed = false;
    m_nSent = 0;
}

std::optional<MonitorEvent> CCtlUI::NextMonitorEvent(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                       [this] { return !m_events.empty(); }))
        return std::nullopt;
    MonitorEvent ev = std::move(m_events.front());
    m_events.pop_front();
    return ev;
}

} // namespace ctl
