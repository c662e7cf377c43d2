#include "link/FrameCodec.h"

#include <gtest/gtest.h>

#include <random>

using Bytes = std::vector<uint8_t>;

namespace {

struct Decoded {
    CFrameDecoder::Status status = CFrameDecoder::Status::More;
    Bytes payload;
    uint32_t decoded = 0;
};

Decoded DecodeAll(const Bytes& wire, uint32_t capacity = 512) {
    Bytes out(capacity, 0xEE);
    CFrameDecoder d(out.data(), capacity);
    Decoded r;
    for (uint8_t b : wire) {
        r.status = d.Feed(b);
        if (r.status != CFrameDecoder::Status::More)
            break;
    }
    out.resize(d.Stored());
    r.payload = out;
    r.decoded = d.Decoded();
    return r;
}

} // namespace

TEST(FrameCodec, LogoutRequestFrame) {
    EXPECT_EQ(EncodeFrame(Bytes{0x80, 0x22, 0x01, 0xFF}),
              (Bytes{0x05, 0x80, 0x22, 0x09, 0x21, 0xFF, 0x5E, 0x0A}));
}

TEST(FrameCodec, BytesBelow0x20AreEscaped) {
    const Bytes frame = EncodeFrame(Bytes{0x00, 0x05, 0x09, 0x0A, 0x1F, 0x20});
    // Without start, checksum (0xA9, unescaped) and end.
    ASSERT_EQ(frame[frame.size() - 2], 0xA9);
    const Bytes body(frame.begin() + 1, frame.end() - 2);
    EXPECT_EQ(body, (Bytes{0x09, 0x20, 0x09, 0x25, 0x09, 0x29, 0x09, 0x2A, 0x09, 0x3F, 0x20}));
}

TEST(FrameCodec, ChecksumBelow0x20IsEscapedToo) {
    const Bytes frame = EncodeFrame(Bytes{0x80, 0x00, 0x01, 0x7F});
    EXPECT_EQ(FrameChecksum(frame.data() + 1, 0), 0x00);
    ASSERT_GE(frame.size(), 3u);
    EXPECT_EQ(Bytes(frame.end() - 3, frame.end()), (Bytes{0x09, 0x20, 0x0A}));
}

TEST(FrameCodec, EveryPayloadDecodesToItself) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 500; ++round) {
        Bytes payload(rng() % 255);
        for (auto& b : payload)
            b = static_cast<uint8_t>(rng());
        const Bytes frame = EncodeFrame(payload);
        ASSERT_LE(frame.size(), MaxFrameSize(payload.size()));
        // Inside the frame only the start and the end byte are unescaped control bytes.
        for (size_t i = 1; i + 1 < frame.size(); ++i) {
            ASSERT_NE(frame[i], FRAME_START);
            ASSERT_NE(frame[i], FRAME_END);
        }
        const Decoded d = DecodeAll(frame);
        if (payload.empty()) {
            // Only a checksum byte: the decoder holds it back and stores nothing.
            EXPECT_EQ(d.status, CFrameDecoder::Status::Complete);
            EXPECT_TRUE(d.payload.empty());
            continue;
        }
        ASSERT_EQ(d.status, CFrameDecoder::Status::Complete);
        ASSERT_EQ(d.payload, payload);
    }
}

TEST(FrameCodec, NoiseBeforeTheStartByteIsIgnored) {
    Bytes wire{0x0A, 0x09, 0xFF, 0x41, 0x00};
    const Bytes frame = EncodeFrame(Bytes{0x80, 0x20, 0x01, 0x00, 0x12});
    wire.insert(wire.end(), frame.begin(), frame.end());
    const Decoded d = DecodeAll(wire);
    EXPECT_EQ(d.status, CFrameDecoder::Status::Complete);
    EXPECT_EQ(d.payload, (Bytes{0x80, 0x20, 0x01, 0x00, 0x12}));
}

TEST(FrameCodec, LongerReplyIsCutToTheCapacityButStillChecked) {
    const Bytes frame = EncodeFrame(Bytes{1, 2, 3, 4, 5, 6, 7, 8});
    const Decoded d = DecodeAll(frame, 4);
    EXPECT_EQ(d.status, CFrameDecoder::Status::Complete);
    EXPECT_EQ(d.payload, (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(d.decoded, 8u);
}

TEST(FrameCodec, WrongChecksumIsReported) {
    Bytes frame = EncodeFrame(Bytes{0x80, 0x24, 0x01, 0x00});
    frame[frame.size() - 2] ^= 0x01;
    EXPECT_EQ(DecodeAll(frame).status, CFrameDecoder::Status::BadChecksum);
}

TEST(FrameCodec, AFrameWithNothingInsideFailsItsCheck) {
    EXPECT_EQ(DecodeAll(Bytes{0x05, 0x0A}).status, CFrameDecoder::Status::BadChecksum);
}

TEST(FrameCodec, StartByteInsideAFrameIsData) {
    // 80 05 01 -> sum 0x86, checksum 0x7A; the raw 05 is taken as a data byte.
    const Bytes wire{0x05, 0x80, 0x05, 0x09, 0x21, 0x7A, 0x0A};
    const Decoded d = DecodeAll(wire);
    EXPECT_EQ(d.status, CFrameDecoder::Status::Complete);
    EXPECT_EQ(d.payload, (Bytes{0x80, 0x05, 0x01}));
}

TEST(FrameCodec, TheNextFrameStartsAfreshWithoutARestart) {
    Bytes out(16, 0);
    CFrameDecoder d(out.data(), static_cast<uint32_t>(out.size()));
    Bytes wire = EncodeFrame(Bytes{0x80, 0x24, 0x01, 0x00, 0x11});
    const Bytes second = EncodeFrame(Bytes{0x80, 0x26, 0x01, 0x00});
    wire.insert(wire.end(), second.begin(), second.end());
    std::vector<CFrameDecoder::Status> ends;
    for (uint8_t b : wire) {
        const auto s = d.Feed(b);
        if (s != CFrameDecoder::Status::More)
            ends.push_back(s);
    }
    EXPECT_EQ(ends, (std::vector<CFrameDecoder::Status>{CFrameDecoder::Status::Complete,
                                                        CFrameDecoder::Status::Complete}));
    EXPECT_EQ(d.Stored(), 4u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{0x80, 0x26, 0x01, 0x00}));
}
