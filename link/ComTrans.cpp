#include "link/ComTrans.h"

#include "link/Commands.h"
#include "link/SerCom.h"

LinkResult CComTrans::Exchange(const uint8_t* request, uint32_t requestLen, uint8_t* reply,
                               uint32_t replySize) {
    return Exchange(request, requestLen, reply, replySize, DEFAULT_READ_TIMEOUT,
                    DEFAULT_WRITE_TIMEOUT, DEFAULT_ATTEMPTS);
}

LinkResult CComTrans::Exchange(const uint8_t* request, uint32_t requestLen, uint8_t* reply,
                               uint32_t replySize, uint32_t readTimeout, uint32_t writeTimeout,
                               uint32_t attempts) {
    m_pRequest = request;
    m_nRequestLen = requestLen;
    m_pReply = reply;
    m_nReplySize = reply ? replySize : 0;
    m_nReadTimeout = readTimeout;
    m_nWriteTimeout = writeTimeout;
    m_nAttempts = attempts < 1 ? 1 : attempts;
    if (requestLen > 1)
        m_nLastCommand = request[1];
    return Run();
}

LinkResult CComTrans::Run() {
    if (!m_pSerCom)
        return LE_SERIAL;
    if (m_frame.size() < MaxFrameSize(m_nRequestLen))
        m_frame.resize(MaxFrameSize(m_nRequestLen));
    LinkResult result = LE_SERIAL;
    for (uint32_t attempt = 0; attempt < m_nAttempts; ++attempt) {
        result = Send();
        if (result != LE_OK)
            return result;
        // A reply that never comes (or breaks off) then reads as confirmation code 0xFF,
        // never as what an earlier attempt left in the buffer.
        if (m_nReplySize >= HEADER_SIZE)
            PrepareReplyHeader(m_pReply);
        result = Receive();
        if (result == LE_OK)
            return m_nReplySize >= HEADER_SIZE && m_pReply[3] != 0 ? LE_CONFIRM : LE_OK;
        if (result == LE_CANCELLED)
            return result;
        // 1, 3 and 5: send the request again.
    }
    return result;
}

LinkResult CComTrans::Send() {
    const auto size = static_cast<uint32_t>(EncodeFrame(m_pRequest, m_nRequestLen, m_frame.data()));
    LinkResult result = LE_SERIAL;
    for (uint32_t attempt = 0; attempt < m_nAttempts; ++attempt) {
        m_pSerCom->PurgeReceive();
        m_pSerCom->PurgeTransmit();
        result = m_pSerCom->Write(m_frame.data(), size, m_nWriteTimeout);
        if (result == LE_OK || result == LE_CANCELLED)
            break;
    }
    return result;
}

uint32_t CComTrans::ReceiveCap(uint32_t replySize) {
    return static_cast<uint32_t>(MaxFrameSize(replySize)) + RECEIVE_SLACK;
}

LinkResult CComTrans::Receive() {
    CFrameDecoder decoder(m_pReply, m_nReplySize);
    m_nReplyLen = 0;
    // The time-out is per byte: a device that keeps talking (the wrong port, a GPS, a console)
    // would keep the exchange going for ever. Past the cap the attempt ends as a bad frame.
    const uint32_t cap = ReceiveCap(m_nReplySize);
    for (uint32_t received = 0;; ++received) {
        if (received >= cap)
            return LE_CRC;
        uint8_t byte = 0;
        const LinkResult r = m_pSerCom->Read(&byte, 1, m_nReadTimeout);
        if (r != LE_OK)
            return r;
        switch (decoder.Feed(byte)) {
        case CFrameDecoder::Status::More:
            break;
        case CFrameDecoder::Status::Complete:
            m_nReplyLen = decoder.Decoded();
            return LE_OK;
        case CFrameDecoder::Status::BadChecksum:
            return LE_CRC;
        }
    }
}
