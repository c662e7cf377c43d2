// Device operations: configuration transfer in blocks, status reads, outputs and clock.
#include "link/TK630Com.h"

#include "base/Texts.h"
#include "config/CfgBackup.h"
#include "config/CfgCatalogue.h"
#include "config/TK630Cfg.h"
#include "link/CfgBlocks.h"
#include "link/Commands.h"
#include "status/DevStatus.h"
#include "status/SysTime.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr uint32_t IO_OUTPUTS_BYTE = 5;

} // namespace

// Moves `length` bytes of the configuration between `buf` and the unit, block by block, one
// progress step a block. A reply that echoes another offset or length fails with 8.
LinkResult CTK630Com::BlockTransfer(bool write, uint8_t* buf, uint32_t length) {
    uint8_t request[CFG_BLOCK_HEADER + CFG_BLOCK_MAX];
    uint8_t reply[CFG_BLOCK_HEADER + CFG_BLOCK_MAX];
    const uint8_t command = write ? CMD_WRITE_CFG : CMD_READ_CFG;
    for (const CfgBlock& block : SplitIntoBlocks(length)) {
        PutBlockHeader(request, command, block.offset, block.size);
        LinkResult r;
        if (write) {
            std::memcpy(request + CFG_BLOCK_HEADER, buf + block.offset, block.size);
            // The unit takes 20 ms a byte to store a block.
            r = Xchg(request, CFG_BLOCK_HEADER + block.size, reply, CFG_BLOCK_HEADER,
                     block.size * 20, 6000, 3);
        } else {
            r = Xchg(request, CFG_BLOCK_HEADER, reply, CFG_BLOCK_HEADER + block.size, 3000, 6000,
                     3);
        }
        if (r != LE_OK)
            return r;
        // The unit must echo the block's offset and length, and a read must bring the data.
        const uint32_t expected = CFG_BLOCK_HEADER + (write ? 0 : block.size);
        if (std::memcmp(reply + 6, request + 6, 4) != 0 || m_trans.LastReplyLength() < expected) {
            m_strErrorDetail = "blok na adrese " + std::to_string(block.offset);
            return LE_BAD_REPLY;
        }
        if (!write)
            std::memcpy(buf + block.offset, reply + CFG_BLOCK_HEADER, block.size);
        m_notify.Post(PM_STEP, 1);
    }
    return LE_OK;
}

// Selects the layout of the identified unit's type in the configuration's transfer buffer.
// Null when there is none for that type.
uint8_t* CTK630Com::PrepareTransfer(CTK630Cfg* cfg, uint32_t* length) {
    if (!cfg)
        return nullptr;
    CTKCfgDataMng& data = cfg->GetDataMng();
    uint8_t* buf = data.PrepareBuffer(static_cast<int32_t>(m_status.m_DevId.m_nCfgType));
    const CfgLayout* layout = data.GetLayout();
    if (!buf || !layout)
        return nullptr;
    *length = static_cast<uint32_t>(layout->m_nSize);
    return buf;
}

LinkResult CTK630Com::ReadConfig(CTK630Cfg* cfg) {
    uint32_t length = 0;
    uint8_t* buf = PrepareTransfer(cfg, &length);
    if (!buf)
        return LE_UNSUPPORTED;
    m_notify.Post(PM_BEGIN, TXT_CAP_READ_CFG, static_cast<uint32_t>(SplitIntoBlocks(length).size()),
                  true);
    const LinkResult r = BlockTransfer(false, buf, length);
    if (r != LE_OK)
        return r; // the image stays as it was
    cfg->GetDataMng().Import();
    cfg->NoteReadFromUnit();
    // Whatever the user does next, this unit's configuration can always be restored.
    SaveConfigBackup(*cfg->GetImage(), m_status.m_DevId.m_nSerNum, GetLocalTime());
    PostEvent(CE_CFG_READ);
    return LE_OK;
}

// Reads what the unit holds into `unit` and keeps it as a backup marked "before a write".
LinkResult CTK630Com::BackUpUnitConfig(CfgImage& unit) {
    CTKCfgDataMng data;
    uint8_t* buf = data.PrepareBuffer(static_cast<int32_t>(m_status.m_DevId.m_nCfgType));
    const CfgLayout* layout = data.GetLayout();
    if (!buf || !layout)
        return LE_UNSUPPORTED;
    const auto length = static_cast<uint32_t>(layout->m_nSize);
    m_notify.Post(PM_BEGIN, TXT_CAP_READ_CFG, static_cast<uint32_t>(SplitIntoBlocks(length).size()),
                  true);
    const LinkResult r = BlockTransfer(false, buf, length);
    if (r != LE_OK)
        return r;
    data.Import();
    unit = *data.GetImage();
    if (!SaveConfigBackup(unit, m_status.m_DevId.m_nSerNum, GetLocalTime(), nullptr, true)) {
        m_strErrorDetail = CfgBackupFolder();
        return LE_BACKUP_FAILED;
    }
    return LE_OK;
}

LinkResult CTK630Com::WriteConfig(CTK630Cfg* cfg, uint32_t flags) {
    uint32_t length = 0;
    if (!PrepareTransfer(cfg, &length))
        return LE_UNSUPPORTED;
    intptr_t changes = -1;
    if (flags & (CFG_WRITE_BACKUP | CFG_WRITE_ASK)) {
        auto unit = std::make_shared<CfgImage>();
        const LinkResult r = BackUpUnitConfig(*unit);
        if (r != LE_OK)
            return r;
        changes = static_cast<intptr_t>(CfgDiff(*unit, *cfg->GetImage()).size());
        if (flags & CFG_WRITE_ASK) {
            if (changes == 0) {
                PostEvent(CE_CFG_UNCHANGED);
                return LE_OK;
            }
            CComEvent ev;
            ev.m_nCode = CE_CFG_WRITE_QUERY;
            ev.m_nArg = changes;
            ev.m_Status = m_status;
            ev.m_pCfg = std::move(unit);
            // No answer (a closed window) writes nothing.
            if (m_notify.SendEvent(ev, 0) != 1)
                return LE_OK;
        }
    }
    // The reading of the backup used a buffer of its own: select the layout again.
    uint8_t* buf = PrepareTransfer(cfg, &length);
    if (!buf)
        return LE_UNSUPPORTED;
    cfg->GetDataMng().Export();
    const bool verify = (flags & CFG_WRITE_VERIFY) != 0;
    const auto blocks = static_cast<uint32_t>(SplitIntoBlocks(length).size());
    m_notify.Post(PM_BEGIN, TXT_CAP_WRITE_CFG, verify ? 2 * blocks : blocks, true);
    LinkResult r = BlockTransfer(true, buf, length);
    if (r == LE_OK && verify) {
        // Read every block back and compare it with what was sent.
        std::vector<uint8_t> back(length);
        r = BlockTransfer(false, back.data(), length);
        size_t diff = 0;
        if (r == LE_OK && !CfgBuffersEqual(buf, back.data(), length, &diff)) {
            m_strErrorDetail = "jednotka má na adrese " + std::to_string(diff) + " jiná data";
            r = LE_BAD_REPLY;
        }
    }
    if (r == LE_OK)
        PostEvent(CE_CFG_WRITTEN, changes);
    return r;
}

// One of the three status reads: the reply goes to its record (with its multi-byte fields in
// host order), and a change is posted to the main window.
LinkResult CTK630Com::ReadState(uint8_t command, uint8_t* reply, uint32_t size, uint32_t attempts,
                                void (*toHost)(uint8_t*), int (CDevStatus::*update)(const uint8_t*),
                                int event) {
    const LinkResult r = Query(command, reply, size, 3000, 6000, attempts);
    if (r != LE_OK)
        return r;
    if (toHost)
        toHost(reply);
    if (UpdateStatus([&](CDevStatus& s) { return (s.*update)(reply); }))
        PostEvent(event);
    return LE_OK;
}

LinkResult CTK630Com::GetGsm(uint32_t attempts) {
    uint8_t reply[GSM_REPLY_SIZE] = {};
    return ReadState(CMD_GET_GSM, reply, sizeof reply, attempts, GsmReplyToHost,
                     &CDevStatus::UpdateGSM, CE_GSM);
}

LinkResult CTK630Com::GetIO(uint32_t attempts) {
    uint8_t reply[IO_REPLY_SIZE] = {};
    return ReadState(CMD_GET_IO, reply, sizeof reply, attempts, nullptr, &CDevStatus::UpdateIO,
                     CE_IO);
}

LinkResult CTK630Com::GetTime(uint32_t attempts) {
    uint8_t reply[CLOCK_SIZE] = {};
    return ReadState(CMD_GET_TIME, reply, sizeof reply, attempts, nullptr, &CDevStatus::UpdateTime,
                     CE_TIME);
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
    uint8_t io[IO_REPLY_SIZE] = {};
    LinkResult r = Query(CMD_GET_IO, io, sizeof io, 3000, 6000, 3);
    if (r != LE_OK)
        return r;
    const auto outputs = static_cast<uint8_t>((io[IO_OUTPUTS_BYTE] & ~mask) | values);
    m_notify.Post(PM_STEP, 1);
    uint8_t request[HEADER_SIZE + 1];
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
    uint8_t request[CLOCK_SIZE];
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
