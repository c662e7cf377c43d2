// One exchange with the unit: send a request frame, collect the reply frame, with time-outs
// and attempts. One object per link engine, used by the link worker thread only.
#pragma once

#include "link/FrameCodec.h"
#include "link/LinkError.h"

#include <cstdint>
#include <vector>

class CSerCom;

class CComTrans {
public:
    static constexpr uint32_t DEFAULT_READ_TIMEOUT = 3000;
    static constexpr uint32_t DEFAULT_WRITE_TIMEOUT = 6000;
    static constexpr uint32_t DEFAULT_ATTEMPTS = 3;

    explicit CComTrans(CSerCom* pSerCom = nullptr) : m_pSerCom(pSerCom) {}

    void SetSerCom(CSerCom* pSerCom) { m_pSerCom = pSerCom; }

    // Sends the request (header first) and leaves the reply payload (header first, unescaped,
    // checksum removed) in the reply buffer, cut to its capacity. 3000 ms per received byte,
    // 6000 ms for the request frame, 3 attempts.
    LinkResult Exchange(const uint8_t* request, uint32_t requestLen, uint8_t* reply,
                        uint32_t replySize);
    LinkResult Exchange(const uint8_t* request, uint32_t requestLen, uint8_t* reply,
                        uint32_t replySize, uint32_t readTimeout, uint32_t writeTimeout,
                        uint32_t attempts);

    // Bytes one reception takes at most, noise before the start byte included: the largest
    // frame of the reply buffer (every byte escaped: twice the capacity and the frame's own
    // bytes) and some slack. Beyond it the attempt fails with 5.
    static constexpr uint32_t RECEIVE_SLACK = 64;
    static uint32_t ReceiveCap(uint32_t replySize);

    // Payload bytes of the last reply received (also those beyond the buffer's capacity).
    uint32_t LastReplyLength() const { return m_nReplyLen; }

    // Command code of the most recent request; 0 before the first (or after a reset).
    uint8_t LastCommand() const { return m_nLastCommand; }
    void ResetLastCommand() { m_nLastCommand = 0; }

private:
    LinkResult Run();
    LinkResult Send();
    LinkResult Receive();

    const uint8_t* m_pRequest = nullptr;
    uint32_t m_nRequestLen = 0;
    uint8_t* m_pReply = nullptr;
    uint32_t m_nReplySize = 0;
    uint32_t m_nReadTimeout = DEFAULT_READ_TIMEOUT;
    uint32_t m_nWriteTimeout = DEFAULT_WRITE_TIMEOUT;
    uint32_t m_nAttempts = DEFAULT_ATTEMPTS;
    CSerCom* m_pSerCom = nullptr;
    uint8_t m_nLastCommand = 0;
    uint32_t m_nReplyLen = 0;
    std::vector<uint8_t> m_frame = std::vector<uint8_t>(FRAME_BUFFER_SIZE);
};
