#include "tools/sim/VirtualUnit.h"

#include "config/CfgImage.h"
#include "link/Commands.h"
#include "link/SerCom.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <strings.h>

namespace {

using Bytes = std::vector<uint8_t>;

// A long-running unit keeps only the most recent requests; the count goes on.
constexpr size_t kMaxLoggedRequests = 100000;

constexpr struct {
    uint8_t code;
    std::string_view name;
} kCommands[] = {
    {CMD_GET_TYPE, "GET_TYPE"},
    {CMD_LOGIN, "LOGIN"},
    {CMD_LOGOUT, "LOGOUT"},
    {CMD_GET_IDENT, "GET_IDENT"},
    {CMD_GET_GSM, "GET_GSM"},
    {CMD_SET_OUTPUTS, "SET_OUTPUTS"},
    {CMD_GET_IO, "GET_IO"},
    {CMD_WRITE_CFG, "WRITE_CFG"},
    {CMD_READ_CFG, "READ_CFG"},
    {CMD_GET_SMS, "GET_SMS"},
    {CMD_ACK_SMS, "ACK_SMS"},
    {CMD_SEND_SMS, "SEND_SMS"},
    {CMD_GET_SMS_STATE, "GET_SMS_STATE"},
    {CMD_GET_TIME, "GET_TIME"},
    {CMD_SET_TIME, "SET_TIME"},
    {CMD_LOCAL_END, "LOCAL_END"},
};

Bytes Header(uint8_t command, uint8_t confirm, size_t size = HEADER_SIZE) {
    Bytes reply(size, 0);
    reply[0] = HEADER_REQUEST;
    reply[1] = command;
    reply[2] = HEADER_VERSION;
    reply[3] = confirm;
    return reply;
}

void PutU16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint16_t GetU16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

// Copies a text into a zero-filled field, leaving room for its terminator.
void PutText(uint8_t* field, size_t width, const std::string& text) {
    std::memcpy(field, text.data(), std::min(text.size(), width - 1));
}

// The zero-terminated text starting at `pos`; false when no terminator comes before `end`.
bool TakeText(const uint8_t* req, size_t end, size_t& pos, std::string& text) {
    const auto* begin = req + pos;
    const auto* zero = static_cast<const uint8_t*>(std::memchr(begin, 0, end - pos));
    if (!zero)
        return false;
    text.assign(reinterpret_cast<const char*>(begin), static_cast<size_t>(zero - begin));
    pos += text.size() + 1;
    return true;
}

std::vector<uint8_t> DefaultConfigMemory() {
    CfgImage image;
    SetDefaults(image);
    std::vector<uint8_t> memory(CFG_DEVICE_SIZE);
    ImageToDevice(memory.data(), image);
    return memory;
}

// Exact request sizes; 0 where the size varies.
size_t RequestSize(uint8_t command) {
    switch (command) {
    case CMD_LOGIN:
        return 13;
    case CMD_SET_OUTPUTS:
    case CMD_LOCAL_END:
        return 5;
    case CMD_READ_CFG:
    case CMD_SET_TIME:
        return 10;
    case CMD_WRITE_CFG:
    case CMD_SEND_SMS:
        return 0;
    default:
        return HEADER_SIZE;
    }
}

} // namespace

std::string_view SimCommandName(uint8_t command) {
    for (const auto& c : kCommands)
        if (c.code == command)
            return c.name;
    return {};
}

int SimCommandByName(std::string_view name) {
    if (name.size() > 4 && strncasecmp(name.data(), "CMD_", 4) == 0)
        name.remove_prefix(4);
    for (const auto& c : kCommands)
        if (c.name.size() == name.size() &&
            strncasecmp(c.name.data(), name.data(), name.size()) == 0)
            return c.code;
    return -1;
}

CVirtualUnit::CVirtualUnit(TimeSource now) : m_now(now ? std::move(now) : TimeSource(MonotonicMs)) {
    m_state.config = DefaultConfigMemory();
    SetClockLocked(GetLocalTime());
}

void CVirtualUnit::SetMuted(bool muted) {
    std::lock_guard lock(m_mutex);
    m_muted = muted;
}

bool CVirtualUnit::IsMuted() const {
    std::lock_guard lock(m_mutex);
    return m_muted;
}

SimResponse CVirtualUnit::Process(const uint8_t* request, size_t size) {
    std::lock_guard lock(m_mutex);
    if (m_requests.size() >= kMaxLoggedRequests)
        m_requests.erase(m_requests.begin(), m_requests.begin() + kMaxLoggedRequests / 10);
    m_requests.push_back({m_now(), Bytes(request, request + size)});
    ++m_requestTotal;
    m_requestArrived.notify_all();

    SimResponse response;
    if (m_muted || size < 2) { // muted, or not even a command code to answer to
        response.answer = false;
        return response;
    }
    const uint8_t command = request[1];
    int confirm = -1;
    int echo = -1;
    size_t cut = SIZE_MAX;
    for (FaultSlot& slot : m_faults) {
        SimFault& f = slot.fault;
        if (f.count == 0 || (f.command != SIM_ANY_COMMAND && f.command != command))
            continue;
        if (slot.skipLeft > 0) {
            --slot.skipLeft;
            continue;
        }
        if (f.count != SIM_FAULT_ALWAYS)
            --f.count;
        switch (f.kind) {
        case SimFaultKind::NoAnswer:
            response.answer = false;
            break;
        case SimFaultKind::BadChecksum:
            response.badChecksum = true;
            break;
        case SimFaultKind::Noise:
            response.noiseBytes += f.value ? f.value : 8;
            break;
        case SimFaultKind::Confirm:
            confirm = (f.value & 0xFF) ? static_cast<int>(f.value & 0xFF) : 0xFF;
            break;
        case SimFaultKind::BadEcho:
            echo = static_cast<int>(f.value);
            break;
        case SimFaultKind::Delay:
            response.delayMs += f.value;
            break;
        case SimFaultKind::HangUp:
            response.hangUp = true;
            break;
        case SimFaultKind::Short:
            cut = f.value ? f.value : 4;
            break;
        }
    }
    if (confirm >= 0) {
        response.payload = Header(command, static_cast<uint8_t>(confirm));
        return response;
    }
    response.payload = Handle(request, size);
    Bytes& reply = response.payload;
    if (echo >= 0 && (command == CMD_READ_CFG || command == CMD_WRITE_CFG) && reply.size() >= 10) {
        uint8_t* field = reply.data() + (echo == 0 ? 6 : 8);
        PutU16(field, static_cast<uint16_t>(GetU16(field) + 1));
    }
    if (reply.size() > cut)
        reply.resize(cut);
    return response;
}

std::vector<uint8_t> CVirtualUnit::Handle(const uint8_t* req, size_t size) {
    const uint8_t command = req[1];
    if (SimCommandName(command).empty())
        return Header(command, SIM_CONF_UNKNOWN);
    const size_t expected = RequestSize(command);
    if (size < HEADER_SIZE || (expected && size != expected) || req[0] != HEADER_REQUEST ||
        req[2] != HEADER_VERSION || req[3] != HEADER_FILL)
        return Header(command, SIM_CONF_BAD_REQUEST);
    if (command == CMD_LOGIN)
        return Login(req, size);
    if (m_loginRequired && !m_loggedIn && command != CMD_LOGOUT)
        return Header(command, SIM_CONF_LOGIN_REQUIRED);

    switch (command) {
    case CMD_GET_TYPE: {
        Bytes reply = Header(command, SIM_CONF_OK, 8);
        PutU16(&reply[4], m_state.ident.typeAux);
        PutU16(&reply[6], m_state.ident.cfgType);
        return reply;
    }
    case CMD_GET_IDENT: {
        const SimIdent& id = m_state.ident;
        Bytes reply = Header(command, SIM_CONF_OK, 170);
        reply[4] = id.fwMajor;
        reply[5] = id.fwMinor;
        PutU32(&reply[16], id.hwMajor);
        reply[20] = id.hwMinor;
        PutU32(&reply[21], id.serial);
        reply[25] = id.serialAux;
        PutText(&reply[26], 16, id.imei);
        PutText(&reply[42], 128, id.name);
        return reply;
    }
    case CMD_GET_GSM: {
        const SimGsm& g = m_state.gsm;
        Bytes reply = Header(command, SIM_CONF_OK, 37);
        reply[5] = g.gsmState;
        reply[6] = g.simState;
        reply[7] = g.netState;
        reply[8] = g.signal;
        reply[9] = g.refused;
        PutU32(&reply[10], std::bit_cast<uint32_t>(g.credit1));
        PutU32(&reply[14], std::bit_cast<uint32_t>(g.credit2));
        PutU16(&reply[18], g.cellId);
        PutText(&reply[20], 17, g.operatorName);
        return reply;
    }
    case CMD_SET_OUTPUTS:
        m_state.outputs = req[4];
        return Header(command, SIM_CONF_OK);
    case CMD_GET_IO: {
        Bytes reply = Header(command, SIM_CONF_OK, 7);
        reply[4] = m_state.inputs;
        reply[5] = m_state.outputs;
        return reply;
    }
    case CMD_READ_CFG:
        return ReadBlock(req, size);
    case CMD_WRITE_CFG:
        return WriteBlock(req, size);
    case CMD_GET_SMS:
        return GetSms();
    case CMD_ACK_SMS:
        if (m_state.stored.empty())
            return Header(command, SIM_CONF_NONE);
        m_state.stored.pop_front();
        return Header(command, SIM_CONF_OK);
    case CMD_SEND_SMS:
        return SendSms(req, size);
    case CMD_GET_SMS_STATE: {
        Bytes reply = Header(command, SIM_CONF_OK, 5);
        if (m_sendState == 1 && m_pollsLeft > 0)
            --m_pollsLeft;
        else if (m_sendState == 1)
            m_sendState = m_state.send.fail ? 0 : 2;
        reply[4] = m_sendState;
        return reply;
    }
    case CMD_GET_TIME: {
        const SysTime t = ClockLocked();
        Bytes reply = Header(command, SIM_CONF_OK, 10);
        reply[4] = static_cast<uint8_t>(t.wDay);
        reply[5] = static_cast<uint8_t>(t.wMonth);
        reply[6] = static_cast<uint8_t>(t.wYear - 2000);
        reply[7] = static_cast<uint8_t>(t.wHour);
        reply[8] = static_cast<uint8_t>(t.wMinute);
        reply[9] = static_cast<uint8_t>(t.wSecond);
        return reply;
    }
    case CMD_SET_TIME: {
        SysTime t;
        t.wDay = req[4];
        t.wMonth = req[5];
        t.wYear = static_cast<uint16_t>(2000 + req[6]);
        t.wHour = req[7];
        t.wMinute = req[8];
        t.wSecond = req[9];
        if (!IsValidSysTime(t))
            return Header(command, SIM_CONF_BAD_REQUEST);
        SetClockLocked(t);
        return Header(command, SIM_CONF_OK);
    }
    case CMD_LOGOUT:
    case CMD_LOCAL_END:
        m_loggedIn = false;
        return Header(command, SIM_CONF_OK);
    default:
        return Header(command, SIM_CONF_UNKNOWN);
    }
}

std::vector<uint8_t> CVirtualUnit::Login(const uint8_t* req, size_t size) {
    if (m_state.blocked)
        return Header(CMD_LOGIN, SIM_CONF_BLOCKED);
    size_t pos = HEADER_SIZE;
    std::string pin;
    if (TakeText(req, size, pos, pin) && pin == m_state.pin) {
        m_loggedIn = true;
        m_state.wrongPins = 0;
        return Header(CMD_LOGIN, SIM_CONF_OK);
    }
    m_loggedIn = false;
    ++m_state.wrongPins;
    if (m_state.blockAfter && m_state.wrongPins >= m_state.blockAfter)
        m_state.blocked = true; // this answer still says "wrong PIN"; every later login is blocked
    return Header(CMD_LOGIN, m_badPinCode);
}

std::vector<uint8_t> CVirtualUnit::ReadBlock(const uint8_t* req, size_t) {
    const uint16_t offset = GetU16(req + 6);
    const uint16_t length = GetU16(req + 8);
    const bool inRange =
        length >= 1 && length <= SIM_MAX_BLOCK && size_t{offset} + length <= m_state.config.size();
    Bytes reply = Header(CMD_READ_CFG, inRange ? SIM_CONF_OK : SIM_CONF_BAD_REQUEST,
                         10 + (inRange ? length : 0));
    std::memcpy(&reply[6], req + 6, 4);
    if (inRange)
        std::memcpy(&reply[10], m_state.config.data() + offset, length);
    return reply;
}

std::vector<uint8_t> CVirtualUnit::WriteBlock(const uint8_t* req, size_t size) {
    if (size < 10)
        return Header(CMD_WRITE_CFG, SIM_CONF_BAD_REQUEST);
    const uint16_t offset = GetU16(req + 6);
    const uint16_t length = GetU16(req + 8);
    const bool inRange = length >= 1 && length <= SIM_MAX_BLOCK && size == 10u + length &&
                         size_t{offset} + length <= m_state.config.size();
    Bytes reply = Header(CMD_WRITE_CFG, inRange ? SIM_CONF_OK : SIM_CONF_BAD_REQUEST, 10);
    std::memcpy(&reply[6], req + 6, 4);
    if (inRange)
        std::memcpy(m_state.config.data() + offset, req + 10, length);
    return reply;
}

std::vector<uint8_t> CVirtualUnit::SendSms(const uint8_t* req, size_t size) {
    size_t pos = HEADER_SIZE;
    SimSentSms sms;
    if (!TakeText(req, size, pos, sms.number) || !TakeText(req, size, pos, sms.text) || pos != size)
        return Header(CMD_SEND_SMS, SIM_CONF_BAD_REQUEST);
    sms.timeMs = m_now();
    sms.accepted =
        !m_state.send.refuse && !sms.number.empty() && sms.text.size() <= SIM_SMS_PART_MAX;
    m_state.sent.push_back(sms);
    if (!sms.accepted)
        return Header(CMD_SEND_SMS, SIM_CONF_NONE);
    m_sendState = 1;
    m_pollsLeft = m_state.send.pollsInProgress;
    return Header(CMD_SEND_SMS, SIM_CONF_OK);
}

std::vector<uint8_t> CVirtualUnit::GetSms() {
    if (m_state.stored.empty())
        return Header(CMD_GET_SMS, SIM_CONF_NONE);
    const SimSms& sms = m_state.stored.front();
    Bytes reply = Header(CMD_GET_SMS, SIM_CONF_OK, 11);
    reply[4] = static_cast<uint8_t>(sms.time.wDay);
    reply[5] = static_cast<uint8_t>(sms.time.wMonth);
    reply[6] = static_cast<uint8_t>(sms.time.wYear - 2000);
    reply[7] = static_cast<uint8_t>(sms.time.wHour);
    reply[8] = static_cast<uint8_t>(sms.time.wMinute);
    reply[9] = static_cast<uint8_t>(sms.time.wSecond);
    reply.insert(reply.end(), sms.number.begin(), sms.number.end());
    reply.push_back(0);
    reply.insert(reply.end(), sms.text.begin(), sms.text.end());
    reply.push_back(0);
    return reply;
}

SysTime CVirtualUnit::ClockLocked() const {
    const int64_t elapsedMs = m_now() - m_clockSetMs + m_state.clock.wMilliseconds;
    int64_t secs = elapsedMs / 1000;
    int64_t ms = elapsedMs % 1000;
    if (ms < 0) { // a time source that went backwards
        ms += 1000;
        --secs;
    }
    SysTime t = AddSeconds(m_state.clock, secs);
    t.wMilliseconds = static_cast<uint16_t>(ms);
    return t;
}

void CVirtualUnit::SetClockLocked(const SysTime& time) {
    m_state.clock = AddSeconds(time, 0); // fills in the day of week
    m_clockSetMs = m_now();
}

SimUnitState CVirtualUnit::State() const {
    std::lock_guard lock(m_mutex);
    SimUnitState state = m_state;
    state.clock = ClockLocked();
    return state;
}

bool CVirtualUnit::SetState(const SimUnitState& state) {
    if (state.config.size() != CFG_DEVICE_SIZE || !IsValidSysTime(state.clock))
        return false;
    std::lock_guard lock(m_mutex);
    m_state = state;
    SetClockLocked(state.clock);
    m_loggedIn = false;
    m_sendState = 2;
    m_pollsLeft = 0;
    return true;
}

SimIdent CVirtualUnit::Ident() const {
    std::lock_guard lock(m_mutex);
    return m_state.ident;
}

void CVirtualUnit::SetIdent(const SimIdent& ident) {
    std::lock_guard lock(m_mutex);
    m_state.ident = ident;
}

SimGsm CVirtualUnit::Gsm() const {
    std::lock_guard lock(m_mutex);
    return m_state.gsm;
}

void CVirtualUnit::SetGsm(const SimGsm& gsm) {
    std::lock_guard lock(m_mutex);
    m_state.gsm = gsm;
}

uint8_t CVirtualUnit::Inputs() const {
    std::lock_guard lock(m_mutex);
    return m_state.inputs;
}

void CVirtualUnit::SetInputs(uint8_t inputs) {
    std::lock_guard lock(m_mutex);
    m_state.inputs = inputs;
}

uint8_t CVirtualUnit::Outputs() const {
    std::lock_guard lock(m_mutex);
    return m_state.outputs;
}

void CVirtualUnit::SetOutputs(uint8_t outputs) {
    std::lock_guard lock(m_mutex);
    m_state.outputs = outputs;
}

SysTime CVirtualUnit::Clock() const {
    std::lock_guard lock(m_mutex);
    return ClockLocked();
}

bool CVirtualUnit::SetClock(const SysTime& time) {
    if (!IsValidSysTime(time))
        return false;
    std::lock_guard lock(m_mutex);
    SetClockLocked(time);
    return true;
}

std::vector<uint8_t> CVirtualUnit::ConfigMemory() const {
    std::lock_guard lock(m_mutex);
    return m_state.config;
}

bool CVirtualUnit::SetConfigMemory(const std::vector<uint8_t>& memory) {
    if (memory.size() != CFG_DEVICE_SIZE)
        return false;
    std::lock_guard lock(m_mutex);
    m_state.config = memory;
    return true;
}

bool CVirtualUnit::AddStoredSms(const SimSms& sms) {
    if (11 + sms.number.size() + 1 + sms.text.size() + 1 > SIM_SMS_REPLY_MAX ||
        sms.number.find('\0') != std::string::npos || sms.text.find('\0') != std::string::npos ||
        !IsValidSysTime(sms.time))
        return false;
    std::lock_guard lock(m_mutex);
    m_state.stored.push_back(sms);
    return true;
}

std::vector<SimSms> CVirtualUnit::StoredSms() const {
    std::lock_guard lock(m_mutex);
    return {m_state.stored.begin(), m_state.stored.end()};
}

void CVirtualUnit::ClearStoredSms() {
    std::lock_guard lock(m_mutex);
    m_state.stored.clear();
}

std::vector<SimSentSms> CVirtualUnit::SentMessages() const {
    std::lock_guard lock(m_mutex);
    return m_state.sent;
}

void CVirtualUnit::SetSendOptions(const SimSendOptions& options) {
    std::lock_guard lock(m_mutex);
    m_state.send = options;
}

SimSendOptions CVirtualUnit::SendOptions() const {
    std::lock_guard lock(m_mutex);
    return m_state.send;
}

uint8_t CVirtualUnit::SendState() const {
    std::lock_guard lock(m_mutex);
    if (m_sendState == 1 && m_pollsLeft == 0)
        return m_state.send.fail ? 0 : 2;
    return m_sendState;
}

void CVirtualUnit::SetPin(const std::string& pin) {
    std::lock_guard lock(m_mutex);
    m_state.pin = pin;
}

void CVirtualUnit::SetBlockAfter(uint32_t wrongPins) {
    std::lock_guard lock(m_mutex);
    m_state.blockAfter = wrongPins;
}

void CVirtualUnit::SetBadPinCode(uint8_t code) {
    std::lock_guard lock(m_mutex);
    m_badPinCode = code;
}

bool CVirtualUnit::IsBlocked() const {
    std::lock_guard lock(m_mutex);
    return m_state.blocked;
}

void CVirtualUnit::Unblock() {
    std::lock_guard lock(m_mutex);
    m_state.blocked = false;
    m_state.wrongPins = 0;
}

bool CVirtualUnit::IsLoggedIn() const {
    std::lock_guard lock(m_mutex);
    return m_loggedIn;
}

void CVirtualUnit::SetLoginRequired(bool required) {
    std::lock_guard lock(m_mutex);
    m_loginRequired = required;
}

void CVirtualUnit::ResetSession() {
    std::lock_guard lock(m_mutex);
    m_loggedIn = false;
}

void CVirtualUnit::AddFault(const SimFault& fault) {
    std::lock_guard lock(m_mutex);
    m_faults.push_back({fault, fault.after});
}

void CVirtualUnit::ClearFaults() {
    std::lock_guard lock(m_mutex);
    m_faults.clear();
}

std::vector<SimFault> CVirtualUnit::Faults() const {
    std::lock_guard lock(m_mutex);
    std::vector<SimFault> faults;
    for (const FaultSlot& slot : m_faults) {
        faults.push_back(slot.fault);
        faults.back().after = slot.skipLeft;
    }
    return faults;
}

std::vector<SimRequestRecord> CVirtualUnit::Requests() const {
    std::lock_guard lock(m_mutex);
    return m_requests;
}

size_t CVirtualUnit::RequestCount() const {
    std::lock_guard lock(m_mutex);
    return m_requestTotal;
}

bool CVirtualUnit::WaitForRequests(size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_requestArrived.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [&] { return m_requestTotal >= count; });
}
