#include "protocol/codec.h"

namespace zorenc {
namespace protocol {

namespace {

// Bytes 0x02 through the checksum: what a frame must decode to.
constexpr int32_t kDecodedFields = kFrameSize - 1;

bool NeedsEscape(uint8_t b)
{
    return b == kStx || b == kEtx || b == kEscByte;
}

// Fields of the decoded bytes 0 to 9 of a frame.
EncReply Fields(const uint8_t *frame)
{
    EncReply reply;
    reply.command = frame[1];
    reply.address = static_cast<uint16_t>(frame[2] | (frame[3] << 8));
    reply.value = static_cast<uint32_t>(frame[4]) | (static_cast<uint32_t>(frame[5]) << 8) |
                  (static_cast<uint32_t>(frame[6]) << 16) | (static_cast<uint32_t>(frame[7]) << 24);
    reply.checksum = frame[9];
    reply.status = Checksum(frame) == frame[9] ? frame[8] : kChecksumStatus;
    return reply;
}

int32_t FindStx(const uint8_t *data, int32_t count)
{
    int32_t i = 0;
    while (i < count && data[i] != kStx) {
        ++i;
    }
    return i;
}

} // namespace

const char *FrameError::what() const noexcept
{
    return "malformed frame";
}

uint8_t Checksum(const uint8_t *frame)
{
    uint8_t sum = 0;
    for (int i = 1; i <= 8; ++i) {
        sum = static_cast<uint8_t>(sum + frame[i]);
    }
    return sum;
}

int32_t StuffFrame(const uint8_t *frame, uint8_t *dest)
{
    int32_t n = 0;
    dest[n++] = kStx;
    for (int i = 1; i <= 9; ++i) {
        if (NeedsEscape(frame[i])) {
            dest[n++] = kEscByte;
            dest[n++] = static_cast<uint8_t>(frame[i] ^ kEscXor);
        } else {
            dest[n++] = frame[i];
        }
    }
    dest[n++] = kEtx;
    return n;
}

int32_t EncodeFrame(uint8_t command, uint16_t address, uint32_t value, uint8_t status,
                    uint8_t *dest)
{
    uint8_t frame[kFrameSize] = {kStx,
                                 command,
                                 static_cast<uint8_t>(address),
                                 static_cast<uint8_t>(address >> 8),
                                 static_cast<uint8_t>(value),
                                 static_cast<uint8_t>(value >> 8),
                                 static_cast<uint8_t>(value >> 16),
                                 static_cast<uint8_t>(value >> 24),
                                 status,
                                 0,
                                 kEtx};
    frame[9] = Checksum(frame);
    return StuffFrame(frame, dest);
}

int32_t EncodeFrame(uint8_t command, uint16_t address, uint32_t value, uint8_t *dest)
{
    return EncodeFrame(command, address, value, 0, dest);
}

EncReply DecodeReply(const uint8_t *data, int32_t count)
{
    if (data == nullptr || count <= 0) {
        throw FrameError();
    }
    const int32_t start = FindStx(data, count);
    if (start == count || data[count - 1] != kEtx) {
        throw FrameError();
    }
    // The last byte is 0x03, so the 0x02 is not last and start + 1 < count.
    uint8_t frame[kDecodedFields];
    frame[0] = kStx;
    int32_t decoded = 1;
    int32_t i = start + 1;
    for (;;) {
        if (i >= count) {
            throw FrameError(); // an escape took the final 0x03
        }
        uint8_t b = data[i++];
        if (b == kEtx) {
            break;
        }
        if (b == kEscByte) {
            if (i >= count) {
                throw FrameError();
            }
            b = static_cast<uint8_t>(data[i++] ^ kEscXor);
        }
        if (decoded < kDecodedFields) {
            frame[decoded] = b;
        }
        ++decoded;
    }
    if (decoded < kDecodedFields) {
        throw FrameError();
    }
    return Fields(frame);
}

ScanResult ScanFrame(const uint8_t *data, int32_t count)
{
    ScanResult result{ScanStatus::kNeedMore, 0, 0, EncReply{}, false};
    if (data == nullptr || count <= 0) {
        return result;
    }
    const int32_t begin = FindStx(data, count);
    result.begin = begin;
    result.end = begin;
    if (begin == count) {
        return result;
    }
    auto malformed = [&result](int32_t end) {
        result.status = ScanStatus::kMalformed;
        result.end = end;
        return result;
    };
    uint8_t frame[kDecodedFields];
    frame[0] = kStx;
    int32_t decoded = 1;
    int32_t i = begin + 1;
    while (i < count) {
        if (i - begin >= kMaxFrame) {
            return malformed(i); // no terminator where a frame must have one
        }
        uint8_t b = data[i];
        if (b == kStx) {
            return malformed(i); // a new frame starts here
        }
        if (b == kEtx) {
            if (decoded < kDecodedFields) {
                return malformed(i + 1);
            }
            result.status = ScanStatus::kFrame;
            result.end = i + 1;
            result.frame = Fields(frame);
            result.checksumOk = Checksum(frame) == frame[9];
            return result;
        }
        if (b == kEscByte) {
            if (i + 1 >= count) {
                break; // the escaped byte has not arrived yet
            }
            const uint8_t next = data[i + 1];
            if (next == kStx) {
                return malformed(i + 1);
            }
            if (next == kEtx) {
                return malformed(i + 2); // the terminator was escaped away
            }
            b = static_cast<uint8_t>(next ^ kEscXor);
            i += 2;
        } else {
            ++i;
        }
        if (decoded < kDecodedFields) {
            frame[decoded] = b;
        }
        ++decoded;
    }
    return result;
}

} // namespace protocol
} // namespace zorenc
