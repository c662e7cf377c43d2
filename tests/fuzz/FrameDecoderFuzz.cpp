// The frame receiver fed whatever a line can deliver. The first two bytes choose the reply
// buffer's capacity (0 ... 1023 bytes, allocated to the byte so that any write past it is
// caught; with bit 15 set the buffer is missing); the rest are the received bytes.
//
// Every status is compared with a plain model of the protocol: hunt for 0x05, undo the
// escapes, and at 0x0A the last byte is the checksum of the ones before it. A frame that
// completes is encoded again and must decode to the same payload.
#include "tests/fuzz/FuzzCheck.h"

#include "link/FrameCodec.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Status = CFrameDecoder::Status;

struct Model {
    bool inFrame = false;
    bool escape = false;
    std::vector<uint8_t> bytes; // unescaped bytes of the frame so far, checksum included

    // The status the receiver must give for this byte.
    Status Feed(uint8_t b) {
        if (!inFrame) {
            inFrame = b == FRAME_START;
            return Status::More;
        }
        if (b == FRAME_END) {
            inFrame = false;
            if (bytes.empty())
                return Status::BadChecksum;
            uint8_t sum = 0;
            for (uint8_t x : bytes)
                sum = static_cast<uint8_t>(sum + x);
            return sum == 0 ? Status::Complete : Status::BadChecksum;
        }
        if (b == FRAME_ESCAPE) {
            escape = true;
            return Status::More;
        }
        if (escape) {
            b = static_cast<uint8_t>(b - FRAME_ESCAPE_OFFSET);
            escape = false;
        }
        bytes.push_back(b);
        return Status::More;
    }

    size_t PayloadSize() const { return bytes.empty() ? 0 : bytes.size() - 1; }
};

// Encodes a payload and decodes it again with a receiver of exactly its size.
void CheckRoundTrip(const uint8_t* payload, size_t size) {
    const size_t max = MaxFrameSize(size);
    std::unique_ptr<uint8_t[]> frame(new uint8_t[max]);
    const size_t len = EncodeFrame(payload, size, frame.get());
    FUZZ_CHECK(len <= max);
    FUZZ_CHECK(frame[0] == FRAME_START && frame[len - 1] == FRAME_END);
    for (size_t i = 1; i + 1 < len; ++i)
        FUZZ_CHECK(frame[i] != FRAME_START && frame[i] != FRAME_END);
    if (size <= 254)
        FUZZ_CHECK(len <= FRAME_BUFFER_SIZE);

    std::unique_ptr<uint8_t[]> again(size ? new uint8_t[size] : nullptr);
    CFrameDecoder d(again.get(), static_cast<uint32_t>(size));
    for (size_t i = 0; i + 1 < len; ++i)
        FUZZ_CHECK(d.Feed(frame[i]) == Status::More);
    FUZZ_CHECK(d.Feed(frame[len - 1]) == Status::Complete);
    FUZZ_CHECK(d.Stored() == size && d.Decoded() == size);
    FUZZ_CHECK(size == 0 || std::memcmp(again.get(), payload, size) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    const bool noBuffer = (data[1] & 0x80) != 0;
    const uint32_t requested = (data[0] | static_cast<uint32_t>(data[1]) << 8) & 0x3FF;
    data += 2;
    size -= 2;
    std::unique_ptr<uint8_t[]> out(requested ? new uint8_t[requested] : nullptr);
    uint8_t* const buffer = noBuffer ? nullptr : out.get();
    const uint32_t capacity = buffer ? requested : 0;

    CFrameDecoder d(buffer, requested);
    Model model;
    for (size_t i = 0; i < size; ++i) {
        const Status expected = model.Feed(data[i]);
        const Status status = d.Feed(data[i]);
        FUZZ_CHECK(status == expected);
        const size_t decoded = model.PayloadSize();
        FUZZ_CHECK(d.Decoded() == decoded);
        FUZZ_CHECK(d.Stored() <= capacity);
        FUZZ_CHECK(d.Stored() == std::min<size_t>(decoded, capacity));
        if (status == Status::More) {
            FUZZ_CHECK(d.InFrame() == model.inFrame);
            continue;
        }
        // The bytes stored are the payload's first ones; checksum and surplus are not.
        FUZZ_CHECK(d.Stored() == 0 || std::memcmp(buffer, model.bytes.data(), d.Stored()) == 0);
        if (status == Status::Complete)
            CheckRoundTrip(model.bytes.data(), decoded);
        // The exchange starts every reception afresh.
        d.Start(buffer, requested);
        model = Model{};
    }
    return 0;
}
