#include "link/TAPIMng.h"

#include "link/SerCom.h"

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

std::string ModemReasonText(const std::string& reason) {
    static constexpr struct {
        const char* word;
        const char* text;
    } kReasons[] = {
        {"NO CARRIER", "spojení se nenavázalo nebo skončilo"},
        {"BUSY", "volané číslo je obsazeno"},
        {"NO DIALTONE", "v telefonní lince není oznamovací tón"},
        {"NO DIAL TONE", "v telefonní lince není oznamovací tón"},
        {"NO ANSWER", "volaný neodpovídá"},
        {"ERROR", "modem příkaz odmítl"},
        {"DELAYED", "modem volání zatím nedovolí (opakované volání)"},
        {"BLACKLISTED", "modem volání na toto číslo zakázal"},
        {REASON_NO_RESULT, "modem neohlásil výsledek volání"},
        {REASON_LINE_DOWN, "modem přestal odpovídat nebo byl odpojen"},
    };
    for (const auto& r : kReasons)
        if (reason == r.word)
            return std::string(r.text) + " (" + r.word + ")";
    // Any other result line of the modem is its own word: named as such.
    const bool modemWord =
        !reason.empty() &&
        std::none_of(reason.begin(), reason.end(), [](char c) { return c >= 'a' && c <= 'z'; }) &&
        static_cast<unsigned char>(reason[0]) < 0x80;
    return modemWord ? "modem odpověděl " + reason : reason;
}

LinkResult DialResultToLinkError(int result) {
    switch (result) {
    case 0:
        return LE_OK;
    case DIALERR_NO_OK:
        return LE_AT;
    case DIALERR_UNDEFINED_REPLY:
        return LE_AT_REPLY;
    case DIALERR_CANCELLED:
        return LE_CANCELLED;
    default:
        return LE_NO_CONNECTION;
    }
}

bool MakeDialString(const char* number, std::string* dial) {
    dial->clear();
    if (!number)
        return false;
    static constexpr std::string_view kKeep = "0123456789*#+,ABCDWPT!@";
    static constexpr std::string_view kDrop = " -().\t/";
    for (const char* p = number; *p; ++p) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
        if (kKeep.find(c) != std::string_view::npos)
            dial->push_back(c);
        else if (kDrop.find(c) == std::string_view::npos) {
            dial->clear();
            return false;
        }
    }
    if (dial->empty() || dial->size() > 40) {
        dial->clear();
        return false;
    }
    return true;
}

namespace {

int64_t Until(int64_t budget, uint32_t ms) {
    return std::min(budget, MonotonicMs() + ms);
}

} // namespace

CTAPILine::~CTAPILine() {
    DropCall();
}

uint32_t CTAPILine::CallState() const {
    switch (m_state) {
    case State::Dialling:
        return LINECALLSTATE_DIALING;
    case State::Connected:
        return LINECALLSTATE_CONNECTED;
    case State::Ended:
        return LINECALLSTATE_DISCONNECTED;
    case State::Idle:
        break;
    }
    return LINECALLSTATE_IDLE;
}

bool CTAPILine::Cancelled() const {
    return m_pOwner->m_cancel && m_pOwner->m_cancel();
}

int CTAPILine::Fail(int result) {
    m_port.Close();
    m_state = State::Idle;
    return result;
}

int CTAPILine::Dial(const CModemInf& modem, const std::string& dial) {
    const HayesTimeouts& t = m_pOwner->m_timeouts;
    std::string why;
    if (!m_port.Open(modem.m_szDevice, &why)) {
        m_strReason = why;
        return DIALERR_DEVICE;
    }
    // Until ATV1 has been given the modem may answer with numeric codes, which end at CR.
    m_port.Reader().SetCrEndsLine(true);
    const int r = SetUp(modem);
    if (r != 0)
        return Fail(r);
    // From here on a line ends at LF only, so that the LF after "CONNECT ..." is taken too.
    m_port.Reader().SetCrEndsLine(false);
    m_strDialCommand = "ATD" + dial; // never a trailing ';': that would be a voice call
    m_strCommand = m_strDialCommand;
    if (!m_port.Send(m_strDialCommand + "\r", t.nCommandMs)) {
        m_strReason = REASON_LINE_DOWN;
        return Fail(DIALERR_LINE_DOWN);
    }
    m_state = State::Dialling;
    m_bStillDialling = false;
    m_nDialDeadline = MonotonicMs() + t.nDialMs;
    return 0;
}

int CTAPILine::SetUp(const CModemInf& modem) {
    const HayesTimeouts& t = m_pOwner->m_timeouts;
    const CancelCheck* cancel = &m_pOwner->m_cancel;

    // AT until OK: the modem may still be waking up, or have been left in a bad state.
    m_strCommand = "AT";
    const int woken = m_port.WakeUp(t, cancel, &m_strReason);
    if (woken == DIALERR_LINE_DOWN)
        m_strReason = REASON_LINE_DOWN;
    if (woken != 0)
        return woken;

    std::vector<std::string> commands = {"ATZ", "ATE0V1Q0X4&C1&D2"};
    std::string init = modem.m_szInit;
    if (init.find_first_not_of(' ') != std::string::npos) {
        if (init.size() < 2 || std::toupper(static_cast<unsigned char>(init[0])) != 'A' ||
            std::toupper(static_cast<unsigned char>(init[1])) != 'T')
            init = "AT" + init;
        commands.push_back(init);
    }
    if (modem.m_bGsm)
        commands.push_back(ModemBearer(modem));

    for (const std::string& command : commands) {
        m_strCommand = command;
        m_strReason.clear();
        const AtReply a = m_port.Command(command, t.nCommandMs, true, cancel, t.nCancelSliceMs);
        switch (a.status) {
        case AtReply::Status::Ok:
            continue;
        case AtReply::Status::Cancelled:
            return DIALERR_CANCELLED;
        case AtReply::Status::LineDown:
            m_strReason = REASON_LINE_DOWN;
            return DIALERR_LINE_DOWN;
        case AtReply::Status::Error:
        case AtReply::Status::Silent:
            m_strReason = a.final;
            return DIALERR_NO_OK;
        case AtReply::Status::Garbage:
        case AtReply::Status::Unexpected:
            m_strReason = a.final;
            return DIALERR_UNDEFINED_REPLY;
        }
    }
    m_strCommand.clear();
    m_strReason.clear();
    return 0;
}

int CTAPILine::WaitCallState(uint32_t timeoutMs, uint32_t* state) {
    switch (m_state) {
    case State::Idle:
        return LINEERR_INVALCALLHANDLE;
    case State::Ended:
        *state = LINECALLSTATE_DISCONNECTED;
        return 0;
    case State::Connected: {
        // The data belong to the unit's channel now: only watch for the device going away.
        struct pollfd p = {m_port.Fd(), 0, 0};
        if (::poll(&p, 1, static_cast<int>(timeoutMs)) > 0 &&
            (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
            m_state = State::Ended;
            m_strReason = REASON_LINE_DOWN;
            *state = LINECALLSTATE_DISCONNECTED;
            return 0;
        }
        return LINEERR_OPERATIONFAILED;
    }
    case State::Dialling:
        break;
    }

    const int64_t deadline = std::min(MonotonicMs() + timeoutMs, m_nDialDeadline);
    for (;;) {
        const CModemPort::Wait w = m_port.ReadLine(deadline);
        if (w == CModemPort::Wait::LineDown) {
            m_state = State::Ended;
            m_strReason = REASON_LINE_DOWN;
            *state = LINECALLSTATE_DISCONNECTED;
            return 0;
        }
        if (w != CModemPort::Wait::Line) {
            if (MonotonicMs() < m_nDialDeadline)
                return LINEERR_OPERATIONFAILED;
            // The modem should have given up long ago. The drop aborts whatever it does.
            m_state = State::Ended;
            m_bStillDialling = true;
            if (m_bDialGarbage)
                return DIALERR_UNDEFINED_REPLY; // m_strReason holds what was not understood
            m_strReason = REASON_NO_RESULT;
            *state = LINECALLSTATE_DISCONNECTED;
            return 0;
        }
        const CHayesReader& reader = m_port.Reader();
        const HayesLine kind = reader.Overlong()
                                   ? HayesLine::Unknown
                                   : ClassifyHayesLine(reader.Line(), m_strDialCommand);
        switch (kind) {
        case HayesLine::Connect:
            m_state = State::Connected;
            m_strConnect = HayesReasonText(reader.Line());
            *state = LINECALLSTATE_CONNECTED;
            return 0;
        case HayesLine::Failure:
            m_state = State::Ended;
            m_strReason = HayesReasonText(reader.Line());
            *state = LINECALLSTATE_DISCONNECTED;
            return 0;
        case HayesLine::Ok:
            // OK to a dial: the modem placed no data call.
            m_state = State::Ended;
            m_strReason = "OK";
            return DIALERR_UNDEFINED_REPLY;
        case HayesLine::Unknown:
            m_bDialGarbage = true;
            m_strReason = HayesReasonText(reader.Line());
            break;
        case HayesLine::Empty:
        case HayesLine::Echo:
        case HayesLine::Info:
            break;
        }
    }
}

int CTAPILine::GetCommHandle(int* fd) {
    if (m_state != State::Connected || !m_port.IsOpen())
        return LINEERR_INVALCALLHANDLE;
    const int copy = ::fcntl(m_port.Fd(), F_DUPFD_CLOEXEC, 0);
    if (copy < 0)
        return DIALERR_LINE_DOWN;
    *fd = copy;
    return 0;
}

CTAPILine::Watch CTAPILine::WatchLines(int64_t deadlineMs) {
    for (;;) {
        const CModemPort::Wait w = m_port.ReadLine(deadlineMs);
        if (w == CModemPort::Wait::LineDown)
            return Watch::LineDown;
        if (w != CModemPort::Wait::Line)
            return Watch::Nothing;
        const CHayesReader& reader = m_port.Reader();
        if (reader.Overlong())
            continue;
        switch (ClassifyHayesLine(reader.Line())) {
        case HayesLine::Ok:
            return Watch::Ok;
        case HayesLine::Failure:
            return Watch::Ended;
        case HayesLine::Connect:
            return Watch::Connect;
        default:
            break;
        }
    }
}

void CTAPILine::AbortDial(int64_t budget) {
    const HayesTimeouts& t = m_pOwner->m_timeouts;
    // Any character ends a dial; the modem answers NO CARRIER and is back in command mode.
    if (!m_port.Send("\r", t.nAbortMs)) {
        m_state = State::Ended;
        return;
    }
    switch (WatchLines(Until(budget, t.nAbortMs))) {
    case Watch::Ok:
    case Watch::Ended: {
        const int64_t left = budget - MonotonicMs();
        if (left > 0)
            m_port.Command("ATH", static_cast<uint32_t>(std::min<int64_t>(left, t.nHangUpMs)),
                           false);
        m_state = State::Ended;
        return;
    }
    case Watch::LineDown:
        m_state = State::Ended;
        return;
    case Watch::Connect: // the call came up just now
    case Watch::Nothing: // no telling what the modem does: hang up as from a call
        m_state = State::Connected;
        return;
    }
}

void CTAPILine::HangUp(int64_t budget) {
    const HayesTimeouts& t = m_pOwner->m_timeouts;
    m_state = State::Ended;
    // A call that the modem has reported as ended (NO CARRIER not read by the unit's
    // channel) needs no escape.
    Watch w = WatchLines(MonotonicMs());
    if (w != Watch::Nothing)
        return;

    // With &D2 a modem hangs up when DTR drops.
    if (m_port.SetDtr(false)) {
        w = WatchLines(Until(budget, t.nDtrDropMs));
        m_port.SetDtr(true);
        if (w == Watch::Nothing)
            w = WatchLines(Until(budget, t.nDtrResultMs));
        if (w != Watch::Nothing)
            return;
    }

    // The escape: silence, "+++", silence; the modem answers OK in command mode.
    m_port.WaitOutputDrained(Until(budget, t.nGuardMs));
    w = WatchLines(Until(budget, t.nGuardMs));
    if (w == Watch::Ended || w == Watch::LineDown)
        return;
    if (!m_port.Send("+++", t.nGuardMs))
        return;
    m_port.Reader().Reset();
    w = WatchLines(Until(budget, t.nGuardMs + t.nEscapeOkMs));
    if (w == Watch::Ended || w == Watch::LineDown)
        return;
    const int64_t left = budget - MonotonicMs();
    if (left > 0)
        m_port.Command("ATH", static_cast<uint32_t>(std::min<int64_t>(left, t.nHangUpMs)), false);
}

int CTAPILine::DropCall() {
    if (!m_port.IsOpen()) {
        m_state = State::Idle;
        return 0;
    }
    const int64_t budget = MonotonicMs() + m_pOwner->m_timeouts.nDropBoundMs;
    if (m_state == State::Dialling || (m_state == State::Ended && m_bStillDialling))
        AbortDial(budget);
    if (m_state == State::Connected)
        HangUp(budget);
    m_port.Close();
    m_state = State::Idle;
    m_bStillDialling = false;
    return 0;
}

int CTAPILine::ReleaseEndedCall() {
    if (m_state == State::Connected)
        m_state = State::Ended;
    return DropCall();
}

int CTAPIMng::Init() {
    m_loadResult = m_modems.Load();
    return 0;
}

int CTAPIMng::MakeCall(const char* number, int modemIndex) {
    m_line.DropCall();
    m_line.m_strReason.clear();
    m_line.m_strCommand.clear();
    m_line.m_strConnect.clear();
    m_line.m_bDialGarbage = false;
    const CModemInf* modem =
        modemIndex >= 0 ? m_modems.Get(static_cast<size_t>(modemIndex)) : nullptr;
    if (!modem) {
        m_line.m_strReason = "modem v seznamu modemů není";
        return DIALERR_DEVICE;
    }
    std::string dial;
    if (!MakeDialString(number, &dial)) {
        m_line.m_strReason = "není to telefonní číslo";
        return DIALERR_BAD_NUMBER;
    }
    const CModemInf copy = *modem;
    return m_line.Dial(copy, dial);
}
