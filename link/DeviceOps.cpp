// Device operations: configuration transfer in blocks, status reads, outputs and clock.
#include "link/TK630Com.h"

#include "app/Texts.h"
#include "link/Commands.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

namespace {

constexpr uint32_t GSM_REPLY_SIZE = 37;
constexpr uint32_t IO_REPLY_SIZE = 7;
constexpr uint32_t TIME_SIZE = 10;
constexpr uint32_t IO_OUTPUTS_BYTE = 5;

} // namespace

LinkResult CTK630Com::GetGsm(uint32_t attempts) {
    uint8_t request[HEADER_SIZE];
    PutRequestHeader(request, CMD_GET_GSM);
    uint8_t reply[GSM_REPLY_SIZE] = {};
    const LinkResult r = Xchg(request, sizeof request, reply, sizeof reply, 3000, 6000, attempts);
    if (r != LE_OK)
        return r;
    GsmReplyToHost(reply);
    if (m_status.UpdateGSM(reply))
        PostEvent(CE_GSM);
    return LE_OK;
}

LinkResult CTK630Com::GetIO(uint32_t attempts) {
    uint8_t request[HEADER_SIZE];
    PutRequestHeader(request, CMD_GET_IO);
    uint8_t reply[IO_REPLY_SIZE] = {};
    const LinkResult r = Xchg(request, sizeof request, reply, sizeof reply, 3000, 6000, attempts);
    if (r != LE_OK)
        return r;
    if (m_status.UpdateIO(reply))
        PostEvent(CE_IO);
    return LE_OK;
}

LinkResult CTK630Com::GetTime(uint32_t attempts) {
    uint8_t request[HEADER_SIZE];
    PutRequestHeader(request, CMD_GET_TIME);
    uint8_t reply[TIME_SIZE] = {};
    const LinkResult r = Xchg(request, sizeof request, reply, sizeof reply, 3000, 6000, attempts);
    if (r != LE_OK)
        return r;
    if (m_status.UpdateTime(reply))
        PostEvent(CE_TIME);
    return LE_OK;
}

LinkResult CTK630Com::ReadStatus() {
    m_notify.Post(PM_BEGIN, TXT_CAP_READ_STATUS, 3, true);
    LinkResult r = GetGsm(3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    r = GetIO(3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    r = GetTime(3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    Pause();
    return LE_OK;
}

LinkResult CTK630Com::SetOutputs(uint32_t mask, uint32_t values) {
    m_notify.Post(PM_BEGIN, TXT_CAP_SET_OUTPUTS, 3, true);
    uint8_t request[HEADER_SIZE + 1];
    PutRequestHeader(request, CMD_GET_IO);
    uint8_t io[IO_REPLY_SIZE] = {};
    LinkResult r = Xchg(request, HEADER_SIZE, io, sizeof io, 3000, 6000, 3);
    if (r != LE_OK)
        return r;
    const auto outputs = static_cast<uint8_t>((io[IO_OUTPUTS_BYTE] & ~mask) | values);
    m_notify.Post(PM_STEP, 1);
    PutRequestHeader(request, CMD_SET_OUTPUTS);
    request[HEADER_SIZE] = outputs;
    uint8_t reply[HEADER_SIZE];
    r = Xchg(request, sizeof request, reply, sizeof reply, 3000, 6000, 3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    r = GetIO(3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    Pause();
    return LE_OK;
}

LinkResult CTK630Com::SetTime(const SysTime* time) {
    m_notify.Post(PM_BEGIN, TXT_CAP_SET_TIME, 2, true);
    const SysTime when = time ? *time : GetLocalTime();
    uint8_t request[TIME_SIZE];
    PutRequestHeader(request, CMD_SET_TIME);
    EncodeClock(when, request);
    uint8_t reply[HEADER_SIZE];
    LinkResult r = Xchg(request, sizeof request, reply, sizeof reply, 3000, 6000, 3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    r = GetTime(3);
    if (r != LE_OK)
        return r;
    m_notify.Post(PM_STEP, 1);
    Pause();
    return LE_OK;
}
