// libFuzzer target for the reply decoder and the stream scanner. Each input
// is handed over as an exact-size heap copy, so that any read past the
// received count trips AddressSanitizer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "protocol/codec.h"

namespace zp = zorenc::protocol;

namespace {

void Check(bool ok)
{
    if (!ok) {
        __builtin_trap();
    }
}

bool Same(const zp::EncReply &a, const zp::EncReply &b)
{
    return a.command == b.command && a.address == b.address && a.value == b.value &&
           a.status == b.status;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size > 4096) {
        return 0; // replies are collected into 1024 bytes; longer inputs add nothing
    }
    std::unique_ptr<uint8_t[]> copy(new uint8_t[size]);
    if (size > 0) {
        std::memcpy(copy.get(), data, size);
    }
    const uint8_t *bytes = copy.get();
    const auto count = static_cast<int32_t>(size);

    bool decoded = false;
    zp::EncReply reply{};
    try {
        reply = zp::DecodeReply(bytes, count);
        decoded = true;
    } catch (const zp::FrameError &) {
    }
    if (decoded) {
        // Only a frame with a 0x02 and a final 0x03 is accepted, and its
        // fields encode and decode back to themselves.
        Check(size >= 11 && bytes[size - 1] == zp::kEtx);
        Check(std::memchr(bytes, zp::kStx, size) != nullptr);
        uint8_t again[zp::kMaxFrame];
        const int32_t n =
            zp::EncodeFrame(reply.command, reply.address, reply.value, reply.status, again);
        Check(n >= zp::kFrameSize && n <= zp::kMaxFrame);
        Check(Same(zp::DecodeReply(again, n), reply));
    }

    const zp::ScanResult scan = zp::ScanFrame(bytes, count);
    Check(scan.begin >= 0 && scan.begin <= scan.end && scan.end <= count);
    if (scan.status == zp::ScanStatus::kFrame) {
        Check(scan.end - scan.begin >= zp::kFrameSize && scan.end - scan.begin <= zp::kMaxFrame);
        Check(bytes[scan.end - 1] == zp::kEtx);
        // A frame the scanner finds at the end of the input, the decoder takes too.
        if (scan.end == count) {
            Check(decoded && Same(reply, scan.frame));
        }
    }
    return 0;
}
