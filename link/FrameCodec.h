// The frame on the wire: 0x05, the escaped payload, the escaped checksum, 0x0A.
// A byte below 0x20 travels as 0x09 followed by the byte + 0x20; the checksum makes the
// 8-bit sum of payload and checksum zero.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr uint8_t FRAME_START = 0x05;
inline constexpr uint8_t FRAME_END = 0x0A;
inline constexpr uint8_t FRAME_ESCAPE = 0x09;
inline constexpr uint8_t FRAME_ESCAPE_OFFSET = 0x20;

// Largest frame of a payload of n bytes: start, every byte and the checksum escaped, end.
constexpr size_t MaxFrameSize(size_t payloadSize) {
    return 1 + 2 * payloadSize + 2 + 1;
}

// A payload of up to 254 bytes always fits a 512-byte frame buffer.
inline constexpr size_t FRAME_BUFFER_SIZE = 512;
static_assert(MaxFrameSize(254) == FRAME_BUFFER_SIZE);

// The two's complement of the 8-bit sum of the payload.
uint8_t FrameChecksum(const uint8_t* payload, size_t size);

// Builds the frame of a payload into `out`, which must hold MaxFrameSize(size) bytes.
// Returns the frame's length.
size_t EncodeFrame(const uint8_t* payload, size_t size, uint8_t* out);
std::vector<uint8_t> EncodeFrame(const std::vector<uint8_t>& payload);

// Decodes a frame one received byte at a time, without knowing its length in advance: the
// last byte before the terminator is the checksum, so each decoded byte is held back until
// the next one arrives. Bytes before the start byte are ignored; a 0x05 inside a frame is an
// ordinary data byte. Payload bytes beyond the capacity are summed but not stored.
class CFrameDecoder {
public:
    enum class Status {
        More,        // the frame is not complete yet
        Complete,    // terminator seen, checksum sound
        BadChecksum, // terminator seen, checksum wrong (or no checksum byte at all)
    };

    CFrameDecoder() = default;
    CFrameDecoder(uint8_t* out, uint32_t capacity) { Start(out, capacity); }

    // Starts hunting for a new frame, storing its payload into `out`. After a frame has ended
    // the decoder hunts again by itself, for the next frame into the same output.
    void Start(uint8_t* out, uint32_t capacity);

    Status Feed(uint8_t byte);

    // Payload bytes stored into the output (at most the capacity).
    uint32_t Stored() const { return m_stored; }
    // Payload bytes decoded, including those beyond the capacity.
    uint32_t Decoded() const { return m_decoded; }
    // True once the start byte has been seen.
    bool InFrame() const { return m_inFrame; }

private:
    uint8_t* m_out = nullptr;
    uint32_t m_capacity = 0;
    uint32_t m_stored = 0;
    uint32_t m_decoded = 0;
    uint8_t m_sum = 0;
    uint8_t m_held = 0;
    bool m_haveHeld = false;
    bool m_escape = false;
    bool m_inFrame = false;
};
