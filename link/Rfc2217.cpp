#include "link/Rfc2217.h"

using namespace telnet;

namespace {

// Options we take on either side: an 8-bit stream without go-aheads, and the port control.
bool Acceptable(uint8_t option) {
    return option == OPT_BINARY || option == OPT_SGA || option == OPT_COM_PORT;
}

const char* SettingName(CRfc2217::Setting s) {
    static constexpr const char* kNames[CRfc2217::SETTING_COUNT] = {
        "rychlost",    "počet datových bitů", "parita",    "stop bity",
        "řízení toku", "signál DTR",          "signál RTS"};
    return kNames[s];
}

void PutCommand(std::vector<uint8_t>& out, uint8_t verb, uint8_t option) {
    out.insert(out.end(), {IAC, verb, option});
}

void PutSubnegotiation(std::vector<uint8_t>& out, uint8_t command, const uint8_t* value,
                       size_t size) {
    out.insert(out.end(), {IAC, SB, OPT_COM_PORT, command});
    TelnetEscape(value, size, out);
    out.insert(out.end(), {IAC, SE});
}

} // namespace

void TelnetEscape(const uint8_t* data, size_t count, std::vector<uint8_t>& out) {
    for (size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC)
            out.push_back(IAC);
    }
}

std::vector<uint8_t> CRfc2217::Start(const CommDcb& dcb) {
    m_state.fill(State::Unasked);
    m_wanted[BAUD] = dcb.BaudRate;
    m_wanted[DATASIZE] = dcb.ByteSize;
    m_wanted[PARITY] = PARITY_NONE;
    m_wanted[STOPSIZE] = STOPSIZE_1;
    const bool hardware = dcb.fOutxCtsFlow || dcb.fRtsControl == CommDcb::RTS_CONTROL_HANDSHAKE;
    m_wanted[FLOW] = hardware                  ? CONTROL_FLOW_HARDWARE
                     : (dcb.fOutX || dcb.fInX) ? CONTROL_FLOW_XONXOFF
                                               : CONTROL_FLOW_NONE;
    m_wanted[DTR] =
        dcb.fDtrControl == CommDcb::DTR_CONTROL_DISABLE ? CONTROL_DTR_OFF : CONTROL_DTR_ON;
    // Under hardware flow control RTS is the handshake's, not ours to set.
    m_wanted[RTS] = dcb.fRtsControl == CommDcb::RTS_CONTROL_ENABLE    ? CONTROL_RTS_ON
                    : dcb.fRtsControl == CommDcb::RTS_CONTROL_DISABLE ? CONTROL_RTS_OFF
                                                                      : 0;
    std::vector<uint8_t> out;
    for (const uint8_t option : {OPT_BINARY, OPT_COM_PORT}) {
        m_us[option] = Q::WantYes;
        PutCommand(out, WILL, option);
    }
    m_him[OPT_BINARY] = Q::WantYes;
    PutCommand(out, DO, OPT_BINARY);
    return out;
}

void CRfc2217::SendSettings(std::vector<uint8_t>& reply) {
    const uint32_t baud = m_wanted[BAUD];
    const uint8_t speed[4] = {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                              static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
    PutSubnegotiation(reply, CPO_SET_BAUDRATE, speed, sizeof speed);
    const std::pair<Setting, uint8_t> oneByte[] = {
        {DATASIZE, CPO_SET_DATASIZE}, {PARITY, CPO_SET_PARITY}, {STOPSIZE, CPO_SET_STOPSIZE},
        {FLOW, CPO_SET_CONTROL},      {DTR, CPO_SET_CONTROL},   {RTS, CPO_SET_CONTROL}};
    m_state[BAUD] = State::Waiting;
    for (const auto& [setting, command] : oneByte) {
        if (m_wanted[setting] == 0)
            continue;
        const uint8_t value = static_cast<uint8_t>(m_wanted[setting]);
        PutSubnegotiation(reply, command, &value, 1);
        m_state[setting] = State::Waiting;
    }
}

void CRfc2217::Feed(const uint8_t* in, size_t count, std::vector<uint8_t>& data,
                    std::vector<uint8_t>& reply) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = in[i];
        switch (m_rx) {
        case Rx::Data:
            if (b == IAC)
                m_rx = Rx::Iac;
            else
                data.push_back(b);
            break;
        case Rx::Iac:
            if (b == IAC) {
                data.push_back(IAC);
                m_rx = Rx::Data;
            } else if (b == SB) {
                m_sb.clear();
                m_rx = Rx::Sb;
            } else if (b >= WILL) {
                m_verb = b;
                m_rx = Rx::Verb;
            } else {
                m_rx = Rx::Data; // NOP, go-ahead, break and the like carry nothing for us
            }
            break;
        case Rx::Verb:
            OnCommand(m_verb, b, reply);
            m_rx = Rx::Data;
            break;
        case Rx::Sb:
            if (b == IAC)
                m_rx = Rx::SbIac;
            else if (m_sb.size() < SB_MAX)
                m_sb.push_back(b);
            break;
        case Rx::SbIac:
            if (b == IAC) {
                if (m_sb.size() < SB_MAX)
                    m_sb.push_back(IAC);
                m_rx = Rx::Sb;
            } else {
                // SE ends it; anything else is a broken subnegotiation, which ends it too.
                if (b == SE)
                    OnSubnegotiation(m_sb);
                m_rx = Rx::Data;
            }
            break;
        }
    }
}

void CRfc2217::OnCommand(uint8_t verb, uint8_t option, std::vector<uint8_t>& reply) {
    const bool ours = verb == DO || verb == DONT;
    Q& q = ours ? m_us[option] : m_him[option];
    const bool enable = verb == DO || verb == WILL;
    const uint8_t yes = ours ? WILL : DO;
    const uint8_t no = ours ? WONT : DONT;
    if (enable) {
        if (q == Q::Yes)
            return;
        if (q == Q::No && !Acceptable(option)) {
            PutCommand(reply, no, option); // refused politely, once per request
            return;
        }
        if (q == Q::No)
            PutCommand(reply, yes, option);
        q = Q::Yes;
        if (ours && option == OPT_COM_PORT)
            SendSettings(reply);
        return;
    }
    if (q == Q::No)
        return;
    if (q == Q::Yes)
        PutCommand(reply, no, option);
    else if (ours && option == OPT_COM_PORT)
        m_bPortRefused = true;
    q = Q::No;
}

void CRfc2217::OnSubnegotiation(const std::vector<uint8_t>& sb) {
    if (sb.size() < 3 || sb[0] != OPT_COM_PORT)
        return;
    const uint8_t* value = sb.data() + 2;
    switch (sb[1]) {
    case CPO_SET_BAUDRATE + CPO_SERVER_OFFSET:
        if (sb.size() >= 6)
            Answer(BAUD, (uint32_t{value[0]} << 24) | (uint32_t{value[1]} << 16) |
                             (uint32_t{value[2]} << 8) | value[3]);
        break;
    case CPO_SET_DATASIZE + CPO_SERVER_OFFSET:
        Answer(DATASIZE, value[0]);
        break;
    case CPO_SET_PARITY + CPO_SERVER_OFFSET:
        Answer(PARITY, value[0]);
        break;
    case CPO_SET_STOPSIZE + CPO_SERVER_OFFSET:
        Answer(STOPSIZE, value[0]);
        break;
    case CPO_SET_CONTROL + CPO_SERVER_OFFSET:
        OnControlReply(value[0]);
        break;
    default:
        break; // line and modem state notices, signatures: nothing we wait for
    }
}

// SET-CONTROL answers share one command: the value tells which setting it answers.
void CRfc2217::OnControlReply(uint8_t value) {
    if (value >= CONTROL_FLOW_NONE && value <= CONTROL_FLOW_HARDWARE)
        Answer(FLOW, value);
    else if (value == CONTROL_DTR_ON || value == CONTROL_DTR_OFF)
        Answer(DTR, value);
    else if (value == CONTROL_RTS_ON || value == CONTROL_RTS_OFF)
        Answer(RTS, value);
}

void CRfc2217::Answer(Setting s, uint32_t value) {
    // An answer nobody asked for (a server telling its state on its own) changes nothing;
    // a late answer to a request given up on still counts.
    if (m_state[s] == State::Unasked)
        return;
    m_got[s] = value;
    m_state[s] = value == m_wanted[s] ? State::Done : State::Other;
}

bool CRfc2217::Settled() const {
    if (m_us[OPT_COM_PORT] == Q::WantYes)
        return false;
    for (const State s : m_state) {
        if (s == State::Waiting)
            return false;
    }
    return true;
}

void CRfc2217::GiveUp() {
    if (m_us[OPT_COM_PORT] == Q::WantYes)
        m_bPortMissing = true;
    for (State& s : m_state) {
        if (s == State::Waiting)
            s = State::Missing;
    }
}

bool CRfc2217::Refused(std::string* reason) const {
    std::string text;
    if (m_bPortRefused) {
        text = "server odmítl nastavení sériového portu (RFC 2217)";
    } else {
        for (const Setting s : {BAUD, DATASIZE, PARITY, STOPSIZE}) {
            if (m_state[s] != State::Other)
                continue;
            text = std::string("server odmítl nastavení linky: ") + SettingName(s) + " " +
                   std::to_string(m_got[s]) + " místo " + std::to_string(m_wanted[s]);
            break;
        }
    }
    if (reason)
        *reason = text;
    return !text.empty();
}

bool CRfc2217::NoFlowControl() const {
    return m_wanted[FLOW] == CONTROL_FLOW_HARDWARE && m_state[FLOW] == State::Other;
}

std::string CRfc2217::Notes() const {
    std::string missing;
    std::string other;
    auto add = [](std::string& list, Setting s) {
        list += (list.empty() ? "" : ", ") + std::string(SettingName(s));
    };
    for (uint8_t i = 0; i < SETTING_COUNT; ++i) {
        const auto s = static_cast<Setting>(i);
        if (m_state[s] == State::Missing)
            add(missing, s);
        else if (m_state[s] == State::Other && s >= FLOW) // speed and framing: refused
            add(other, s);
    }
    std::string notes;
    if (m_bPortMissing)
        notes = "RFC 2217: server nepotvrdil nastavení sériového portu; pokračuje se bez něj";
    if (!missing.empty())
        notes += (notes.empty() ? "" : "\r\n") +
                 ("RFC 2217: server nepotvrdil " + missing + "; pokračuje se bez potvrzení");
    if (!other.empty())
        notes +=
            (notes.empty() ? "" : "\r\n") + ("RFC 2217: server ponechal jiné nastavení: " + other);
    return notes;
}
