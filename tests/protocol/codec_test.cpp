#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

#include "protocol/codec.h"

namespace zp = zorenc::protocol;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes Encode(uint8_t command, uint16_t address, uint32_t value, uint8_t status = 0)
{
    uint8_t buffer[zp::kMaxFrame];
    const int32_t n = zp::EncodeFrame(command, address, value, status, buffer);
    return Bytes(buffer, buffer + n);
}

zp::EncReply Decode(const Bytes &bytes)
{
    return zp::DecodeReply(bytes.data(), static_cast<int32_t>(bytes.size()));
}

Bytes Concat(Bytes a, const Bytes &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Example {
    uint8_t command;
    uint16_t address;
    uint32_t value;
    Bytes wire;
};

const Example kExamples[] = {
    {'R', 0xF000, 0, {0x02, 0x52, 0x00, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x42, 0x03}},
    {'R', 0x050E, 0, {0x02, 0x52, 0x0E, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x65, 0x03}},
    {'W',
     0x0203,
     0x7D,
     {0x02, 0x57, 0x7D, 0x23, 0x7D, 0x22, 0x7D, 0x5D, 0x00, 0x00, 0x00, 0x00, 0xD9, 0x03}},
    {'W',
     0x0102,
     0x80000000,
     {0x02, 0x57, 0x7D, 0x22, 0x01, 0x00, 0x00, 0x00, 0x80, 0x00, 0xDA, 0x03}},
    {'W', 0xF005, 0xFFFFFFFF, {0x02, 0x57, 0x05, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x48, 0x03}},
    // Checksums that are themselves escaped: 0x7D, 0x03 and 0x02.
    {'R', 0x0000, 0x2B, {0x02, 0x52, 0x00, 0x00, 0x2B, 0x00, 0x00, 0x00, 0x00, 0x7D, 0x5D, 0x03}},
    {'R', 0x0000, 0xB1, {0x02, 0x52, 0x00, 0x00, 0xB1, 0x00, 0x00, 0x00, 0x00, 0x7D, 0x23, 0x03}},
    {'R', 0x0000, 0xB0, {0x02, 0x52, 0x00, 0x00, 0xB0, 0x00, 0x00, 0x00, 0x00, 0x7D, 0x22, 0x03}},
};

TEST(Codec, EncodesAndDecodesKnownFrames)
{
    for (const Example &e : kExamples) {
        SCOPED_TRACE(e.address);
        EXPECT_EQ(Encode(e.command, e.address, e.value), e.wire);
        const zp::EncReply r = Decode(e.wire);
        EXPECT_EQ(r.command, e.command);
        EXPECT_EQ(r.address, e.address);
        EXPECT_EQ(r.value, e.value);
        EXPECT_EQ(r.status, 0);
    }
}

TEST(Codec, RoundTripsAcrossEscapedBytes)
{
    // Every field byte drawn from values that need escaping and some that do not.
    const uint8_t pick[] = {0x00, 0x02, 0x03, 0x7D, 0x22, 0x5D, 0xFA, 0xFF};
    uint32_t seed = 12345;
    for (int i = 0; i < 20000; ++i) {
        uint8_t b[8];
        for (uint8_t &x : b) {
            seed = seed * 1103515245u + 12345u;
            x = pick[(seed >> 16) % sizeof pick];
        }
        const uint16_t address = static_cast<uint16_t>(b[1] | b[2] << 8);
        const uint32_t value = static_cast<uint32_t>(b[3] | b[4] << 8 | b[5] << 16) |
                               static_cast<uint32_t>(b[6]) << 24;
        const Bytes wire = Encode(b[0], address, value, b[7]);
        ASSERT_GE(wire.size(), 11u);
        ASSERT_LE(wire.size(), static_cast<size_t>(zp::kMaxFrame));
        for (size_t k = 1; k + 1 < wire.size(); ++k) {
            ASSERT_NE(wire[k], zp::kStx);
            ASSERT_NE(wire[k], zp::kEtx);
        }
        const zp::EncReply r = Decode(wire);
        ASSERT_EQ(r.command, b[0]);
        ASSERT_EQ(r.address, address);
        ASSERT_EQ(r.value, value);
        // A status that happens to equal 0xFA still comes through with a good checksum.
        ASSERT_EQ(r.status, b[7]);
    }
}

TEST(Codec, ChecksumMismatchIsAStatusNotAnError)
{
    Bytes wire = Encode('R', 0xF000, 0x1234);
    const uint8_t sent = wire[9];
    wire[9] = static_cast<uint8_t>(sent + 1);
    const zp::EncReply r = Decode(wire);
    EXPECT_EQ(r.status, zp::kChecksumStatus);
    EXPECT_EQ(r.value, 0x1234u);
    EXPECT_EQ(r.checksum, static_cast<uint8_t>(sent + 1));
}

TEST(Codec, SkipsGarbageAheadAndIgnoresWhatFollows)
{
    const Bytes first = Encode('R', 0xF000, 0x1234, 5);
    const Bytes second = Encode('W', 0x0203, 0x7D);
    EXPECT_EQ(Decode(Concat({0x00, 0xFF}, first)).value, 0x1234u);
    const zp::EncReply r = Decode(Concat(first, second));
    EXPECT_EQ(r.address, 0xF000);
    EXPECT_EQ(r.status, 5);
    EXPECT_EQ(Decode(Concat({0x7D, 0x03, 0x41}, second)).value, 0x7Du);
}

TEST(Codec, MalformedFramesThrow)
{
    const Bytes good = Encode('R', 0xF000, 0);
    const struct {
        const char *what;
        Bytes bytes;
    } cases[] = {
        {"empty", {}},
        {"no 0x02", {0x00, 0x52, 0x03}},
        {"last byte not 0x03", Concat(good, {0x00})},
        {"last byte is the 0x02", {0x03, 0x02}},
        {"cut before the end", Bytes(good.begin(), good.end() - 1)},
        {"escape swallows the final 0x03", {0x02, 0x52, 0, 0xF0, 0, 0, 0, 0, 0, 0x42, 0x7D, 0x03}},
        {"only 0x02 0x03", {0x02, 0x03}},
        {"nine bytes decoded", {0x02, 0x52, 0x00, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03}},
        {"short by an escape pair",
         {0x02, 0x52, 0x00, 0xF0, 0x00, 0x00, 0x00, 0x00, 0x7D, 0x5D, 0x03}},
    };
    for (const auto &c : cases) {
        EXPECT_THROW(Decode(c.bytes), zp::FrameError) << c.what;
    }
    EXPECT_THROW(zp::DecodeReply(nullptr, 5), zp::FrameError);
    EXPECT_THROW(zp::DecodeReply(good.data(), -1), zp::FrameError);
}

TEST(Scan, FindsFramesInAStream)
{
    const Bytes a = Encode('R', 0xF000, 0);
    const Bytes b = Encode('W', 0x0203, 0x7D);
    const Bytes stream = Concat(Concat(Concat({0x11, 0x03}, a), {0x7D, 0x00}), b);
    std::vector<uint16_t> found;
    size_t pos = 0;
    for (int guard = 0; guard < 10 && pos < stream.size(); ++guard) {
        const zp::ScanResult s =
            zp::ScanFrame(stream.data() + pos, static_cast<int32_t>(stream.size() - pos));
        if (s.status == zp::ScanStatus::kNeedMore) {
            break;
        }
        ASSERT_EQ(s.status, zp::ScanStatus::kFrame);
        EXPECT_TRUE(s.checksumOk);
        found.push_back(s.frame.address);
        pos += static_cast<size_t>(s.end);
    }
    EXPECT_EQ(found, (std::vector<uint16_t>{0xF000, 0x0203}));
    EXPECT_EQ(pos, stream.size());
}

TEST(Scan, ReportsPartialBrokenAndBadChecksumFrames)
{
    const Bytes good = Encode('W', 0x0203, 0x7D); // 14 bytes
    const struct {
        const char *what;
        Bytes bytes;
        zp::ScanStatus status;
        int32_t begin;
        int32_t end;
    } cases[] = {
        {"garbage only", {0x00, 0x03, 0x7D}, zp::ScanStatus::kNeedMore, 3, 3},
        {"partial", Bytes(good.begin(), good.end() - 1), zp::ScanStatus::kNeedMore, 0, 0},
        {"ends on an escape", Bytes(good.begin(), good.begin() + 3), zp::ScanStatus::kNeedMore, 0,
         0},
        {"bare 0x02 restarts", Concat({0x01, 0x02, 0x52, 0x00}, good), zp::ScanStatus::kMalformed,
         1, 4},
        {"too short", {0x02, 0x52, 0x00, 0x03, 0x02}, zp::ScanStatus::kMalformed, 0, 4},
        {"escaped terminator", {0x02, 0x52, 0x7D, 0x03, 0x00}, zp::ScanStatus::kMalformed, 0, 4},
        {"no terminator in 20 bytes", Concat({0x02}, Bytes(25, 0x41)), zp::ScanStatus::kMalformed,
         0, 20},
    };
    for (const auto &c : cases) {
        const zp::ScanResult s =
            zp::ScanFrame(c.bytes.data(), static_cast<int32_t>(c.bytes.size()));
        EXPECT_EQ(s.status, c.status) << c.what;
        EXPECT_EQ(s.begin, c.begin) << c.what;
        EXPECT_EQ(s.end, c.end) << c.what;
    }

    Bytes bad = good;
    bad[12] ^= 1; // checksum 0xD9
    const zp::ScanResult s = zp::ScanFrame(bad.data(), static_cast<int32_t>(bad.size()));
    ASSERT_EQ(s.status, zp::ScanStatus::kFrame);
    EXPECT_FALSE(s.checksumOk);
    EXPECT_EQ(s.frame.status, zp::kChecksumStatus);
}

} // namespace
