#include "link/FrameCodec.h"

namespace {

size_t PutEscaped(uint8_t byte, uint8_t* out) {
    if (byte < FRAME_ESCAPE_OFFSET) {
        out[0] = FRAME_ESCAPE;
        out[1] = static_cast<uint8_t>(byte + FRAME_ESCAPE_OFFSET);
        return 2;
    }
    out[0] = byte;
    return 1;
}

} // namespace

uint8_t FrameChecksum(const uint8_t* payload, size_t size) {
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i)
        sum = static_cast<uint8_t>(sum + payload[i]);
    return static_cast<uint8_t>(-sum);
}

size_t EncodeFrame(const uint8_t* payload, size_t size, uint8_t* out) {
    size_t pos = 0;
    out[pos++] = FRAME_START;
    for (size_t i = 0; i < size; ++i)
        pos += PutEscaped(payload[i], out + pos);
    pos += PutEscaped(FrameChecksum(payload, size), out + pos);
    out[pos++] = FRAME_END;
    return pos;
}

std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> frame(MaxFrameSize(payload.size()));
    frame.resize(EncodeFrame(payload.data(), payload.size(), frame.data()));
    return frame;
}

void CFrameDecoder::Start(uint8_t* out, uint32_t capacity) {
    m_out = out;
    m_capacity = out ? capacity : 0;
    m_stored = 0;
    m_decoded = 0;
    m_sum = 0;
    m_held = 0;
    m_haveHeld = false;
    m_escape = false;
    m_inFrame = false;
}

CFrameDecoder::Status CFrameDecoder::Feed(uint8_t byte) {
    if (!m_inFrame) {
        if (byte == FRAME_START)
            Start(m_out, m_capacity); // whatever came before, this frame starts afresh
        m_inFrame = byte == FRAME_START;
        return Status::More;
    }
    if (byte == FRAME_END) {
        m_inFrame = false;
        // A frame with nothing between start and end has no checksum byte.
        if (!m_haveHeld)
            return Status::BadChecksum;
        return static_cast<uint8_t>(m_sum + m_held) == 0 ? Status::Complete : Status::BadChecksum;
    }
    if (byte == FRAME_ESCAPE) {
        m_escape = true;
        return Status::More;
    }
    if (m_escape) {
        byte = static_cast<uint8_t>(byte - FRAME_ESCAPE_OFFSET);
        m_escape = false;
    }
    if (m_haveHeld) {
        m_sum = static_cast<uint8_t>(m_sum + m_held);
        if (m_stored < m_capacity)
            m_out[m_stored++] = m_held;
        ++m_decoded;
    }
    m_held = byte;
    m_haveHeld = true;
    return Status::More;
}
