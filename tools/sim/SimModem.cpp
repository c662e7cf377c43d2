#include "tools/sim/SimModem.h"

#include <cctype>

namespace {

constexpr size_t kMaxLine = 255; // longer command lines are answered with ERROR

int Upper(char c) {
    return std::toupper(static_cast<unsigned char>(c));
}

// Reads an optional decimal number at `pos`; `fallback` when there is none.
int Number(const std::string& s, size_t& pos, int fallback = 0) {
    if (pos >= s.size() || !std::isdigit(static_cast<unsigned char>(s[pos])))
        return fallback;
    int n = 0;
    while (pos < s.size() && std::isdigit(static_cast<unsigned char>(s[pos])) && n < 100000)
        n = n * 10 + (s[pos++] - '0');
    return n;
}

} // namespace

CSimModem::CSimModem(const SimModemOptions& options) : m_options(options) {}

bool CSimModem::Input(uint8_t byte, int64_t nowMs) {
    switch (m_mode) {
    case Mode::Data: {
        // "+++" counts only after a guard time of silence, its three characters close
        // together; the silence after it completes the escape (Tick). The characters go on to
        // the unit all the same, as on a real line.
        const int64_t guard = m_options.guardMs;
        if (byte == '+') {
            if (m_plusCount == 0)
                m_plusCount = nowMs - m_lastDataMs >= guard ? 1 : 0;
            else if (m_plusCount < 3 && nowMs - m_lastPlusMs < guard)
                ++m_plusCount;
            else
                m_plusCount = 0;
            m_lastPlusMs = nowMs;
        } else {
            m_plusCount = 0;
        }
        m_lastDataMs = nowMs;
        return true;
    }
    case Mode::Dialling:
        // Any character aborts a dial.
        m_mode = Mode::Command;
        SendResult(NO_CARRIER);
        return false;
    case Mode::Command:
    case Mode::OnlineCommand:
        break;
    }
    if (m_echo)
        m_out.push_back(static_cast<char>(byte));
    if (byte == '\r') {
        const std::string line = m_line;
        m_line.clear();
        Execute(line, nowMs);
    } else if (byte == '\b' || byte == 0x7F) {
        if (!m_line.empty())
            m_line.pop_back();
    } else if (byte != '\n' && m_line.size() <= kMaxLine) {
        m_line.push_back(static_cast<char>(byte));
    }
    return false;
}

void CSimModem::Tick(int64_t nowMs) {
    if (m_mode == Mode::Dialling && nowMs >= m_dialDeadline) {
        switch (m_options.dialResult) {
        case SimDialResult::Connect:
            m_mode = Mode::Data;
            m_frames = 0;
            m_plusCount = 0;
            m_lastDataMs = nowMs;
            if (!m_quiet)
                SendInfo(m_options.connectText);
            if (m_listener)
                m_listener(true);
            return;
        case SimDialResult::Busy:
            m_mode = Mode::Command;
            SendResult(BUSY);
            return;
        case SimDialResult::NoCarrier:
            m_mode = Mode::Command;
            SendResult(NO_CARRIER);
            return;
        case SimDialResult::NoAnswer:
            m_mode = Mode::Command;
            SendResult(NO_ANSWER);
            return;
        }
    }
    if (m_mode == Mode::Data && m_plusCount == 3 && nowMs - m_lastPlusMs >= m_options.guardMs) {
        m_plusCount = 0;
        m_mode = Mode::OnlineCommand;
        m_line.clear();
        SendResult(OK);
    }
}

int64_t CSimModem::NextDeadline() const {
    if (m_mode == Mode::Dialling)
        return m_dialDeadline;
    if (m_mode == Mode::Data && m_plusCount == 3)
        return m_lastPlusMs + m_options.guardMs;
    return -1;
}

void CSimModem::FrameAnswered() {
    if (!IsCallUp())
        return;
    ++m_frames;
    if (m_options.hangUpAfterFrames && m_frames >= m_options.hangUpAfterFrames)
        DropCarrier();
}

void CSimModem::DropCarrier() {
    if (!IsCallUp())
        return;
    EndCall();
    SendResult(NO_CARRIER);
}

std::string CSimModem::TakeOutput() {
    std::string out;
    out.swap(m_out);
    return out;
}

void CSimModem::EndCall() {
    m_mode = Mode::Command;
    m_line.clear();
    m_plusCount = 0;
    if (m_listener)
        m_listener(false);
}

void CSimModem::SendResult(Result result) {
    if (m_quiet)
        return;
    if (!m_verbose) {
        m_out += std::to_string(static_cast<int>(result)) + "\r";
        m_events.push_back("-> " + std::to_string(static_cast<int>(result)));
        return;
    }
    switch (result) {
    case OK:
        SendInfo("OK");
        break;
    case CONNECT:
        SendInfo(m_options.connectText);
        break;
    case NO_CARRIER:
        SendInfo("NO CARRIER");
        break;
    case ERROR:
        SendInfo("ERROR");
        break;
    case BUSY:
        SendInfo("BUSY");
        break;
    case NO_ANSWER:
        SendInfo("NO ANSWER");
        break;
    }
}

void CSimModem::SendInfo(const std::string& text) {
    m_out += "\r\n" + text + "\r\n";
    m_events.push_back("-> " + text);
}

std::vector<std::string> CSimModem::TakeEvents() {
    std::vector<std::string> events;
    events.swap(m_events);
    return events;
}

void CSimModem::Execute(const std::string& rawLine, int64_t nowMs) {
    size_t start = 0;
    while (start < rawLine.size() && static_cast<unsigned char>(rawLine[start]) <= ' ')
        ++start;
    const std::string line = rawLine.substr(start);
    // Anything that is not a command line (line noise, a frame sent too early) gets no answer.
    if (line.size() < 2 || Upper(line[0]) != 'A' || Upper(line[1]) != 'T')
        return;
    m_events.push_back("<- " + line);
    if (line.size() > kMaxLine) {
        SendResult(ERROR);
        return;
    }
    size_t pos = 2;
    while (pos < line.size()) {
        const int c = Upper(line[pos++]);
        if (c == ' ')
            continue;
        switch (c) {
        case 'E':
            m_echo = Number(line, pos) != 0;
            break;
        case 'V':
            m_verbose = Number(line, pos) != 0;
            break;
        case 'Q':
            m_quiet = Number(line, pos) != 0;
            break;
        case 'Z':
            Number(line, pos);
            if (IsCallUp())
                EndCall();
            m_echo = m_verbose = true;
            m_quiet = false;
            break;
        case 'H':
            if (Number(line, pos) == 0 && IsCallUp())
                EndCall();
            break;
        case 'O':
            Number(line, pos);
            if (!IsCallUp()) {
                SendResult(NO_CARRIER);
                return;
            }
            m_mode = Mode::Data;
            m_lastDataMs = nowMs;
            m_plusCount = 0;
            SendResult(CONNECT);
            return;
        case 'A': // no call is ever ringing
            SendResult(NO_CARRIER);
            return;
        case 'D': {
            if (IsCallUp()) {
                SendResult(ERROR);
                return;
            }
            std::string number;
            bool voice = false;
            for (; pos < line.size(); ++pos) {
                const int d = Upper(line[pos]);
                if (std::isdigit(d) || d == '+' || d == '*' || d == '#' || d == ',')
                    number.push_back(static_cast<char>(d));
                else if (d == ';')
                    voice = true;
                // T, P, W, spaces and dashes are dialling modifiers or decoration
            }
            if (number.empty()) {
                SendResult(ERROR);
                return;
            }
            m_dialled.push_back(number);
            if (voice) { // a voice call never brings up a data connection
                SendResult(OK);
                return;
            }
            m_mode = Mode::Dialling;
            m_dialDeadline = nowMs + m_options.connectDelayMs;
            return;
        }
        case 'I':
            Number(line, pos);
            SendInfo("TK530 virtual modem");
            break;
        case 'S': {
            Number(line, pos);
            if (pos < line.size() && line[pos] == '=') {
                ++pos;
                Number(line, pos);
            } else if (pos < line.size() && line[pos] == '?') {
                ++pos;
                SendInfo("000");
            }
            break;
        }
        case '&':
            if (pos < line.size())
                ++pos;
            Number(line, pos);
            break;
        case '+':
        case '#':
        case '%':
        case '\\':
            // Extended commands (+CBST=7,0,1 ...) run to the next ';' and are accepted.
            while (pos < line.size() && line[pos] != ';')
                ++pos;
            if (pos < line.size())
                ++pos;
            break;
        case 'B':
        case 'C':
        case 'L':
        case 'M':
        case 'N':
        case 'P':
        case 'T':
        case 'W':
        case 'X':
        case 'Y':
            Number(line, pos);
            break;
        default:
            SendResult(ERROR);
            return;
        }
    }
    SendResult(OK);
}
