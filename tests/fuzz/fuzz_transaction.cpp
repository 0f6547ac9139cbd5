// libFuzzer target for the transaction path. The input scripts the board's
// side of the line: the bytes it sends back, in which pieces and when they
// arrive, how the port's driver lets overlapped operations pend, and which
// platform call fails. The library runs one register transaction or device
// function against the scripted fake platform (compiled in), on whose clock
// no real time passes, and every outcome is checked against what the same
// bytes decode to here:
//
//   - the result is a documented code: 0 to 255 or one of the ZORENC_ERR_ set;
//   - a reply (a status, 0xFA included) is the first run of received bytes
//     read that ends in 0x03 within the deadline (reads stop at the length
//     of the shortest frame once one has begun), and its value is what was
//     stored;
//   - a malformed reply, a time-out or a refused argument stores nothing;
//   - the request on the line is the one asked for, or nothing when refused;
//   - the call ends within the 1000 ms deadline on the fake clock (plus the
//     grace period of a cancel when the driver keeps cancelled operations),
//     makes a bounded number of platform calls and never waits without a
//     limit; a cancelled operation that the driver keeps closes the port
//     (ZORENC_ERR_NOT_OPEN), and its late completion, after the handler is
//     gone, writes into nothing the library has freed.
//
// Input layout (missing bytes read as 0):
//   0      operation (modulo the number of operations)
//   1      driver: bits 0-1 pend mode, bits 2-4 failing platform call
//          (0: none), bits 5-6 how often it fails, less one, bit 7 the
//          driver never completes a cancel
//   2      channel (value % 6 - 1, so -1 to 4) or the command byte
//   3-4    register address, little-endian (raw transactions)
//   5-8    register value, little-endian (raw writes; scale of conversions)
//   9      pieces of the reply stream, less one (low 3 bits)
//   then per piece: its length and its arrival (units of 5 ms after the
//          previous piece; 0 for the first piece means it was already in the
//          receive queue before the request), the last piece's length unused
//   rest   the reply stream
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/fake.h"
#include "protocol/codec.h"
#include "serial/serial.h"
#include "zorenc.h"

namespace zp = zorenc::protocol;

namespace {

constexpr uint64_t kDeadlineMs = 1000;
// Tolerance around the deadline: a reply arriving this close to it may be
// taken or timed out, and the call may end this much after it.
constexpr uint64_t kEdgeMs = 10;
constexpr uint64_t kOverrunMs = 60;
// A transaction polls in bounded slices; far more calls than this mean a loop
// that does not wait.
constexpr size_t kMaxPlatformCalls = 4000;
constexpr size_t kWorkBuffer = 1024;
constexpr size_t kMaxStream = 1600;
constexpr int kMaxPieces = 8;
constexpr uint64_t kPieceStepMs = 5;

void Check(bool ok)
{
    if (!ok) {
        __builtin_trap();
    }
}

bool IsDocumented(uint64_t code)
{
    return code <= 0xFF || code == ZORENC_ERR_PARAM || code == ZORENC_ERR_NOT_OPEN ||
           code == ZORENC_ERR_ABORTED || code == ZORENC_ERR_CHANNEL || code == ZORENC_ERR_FRAME ||
           code == ZORENC_ERR_TIMEOUT;
}

// What the callbacks saw.
struct Seen {
    int sends = 0;
    int receives = 0;
    std::vector<uint8_t> sent;
    std::vector<uint8_t> received;
} g_seen;

void ZORENC_CALL OnSend(const unsigned char *data, int32_t length)
{
    ++g_seen.sends;
    g_seen.sent.assign(data, data + length);
}

void ZORENC_CALL OnReceive(const unsigned char *data, int32_t length)
{
    ++g_seen.receives;
    g_seen.received.assign(data, data + length);
}

class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}
    uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    uint32_t Word(int bytes)
    {
        uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value |= static_cast<uint32_t>(Byte()) << (8 * i);
        }
        return value;
    }
    std::vector<uint8_t> Rest()
    {
        const size_t n = pos_ < size_ ? size_ - pos_ : 0;
        std::vector<uint8_t> rest(data_ + pos_, data_ + pos_ + (n < kMaxStream ? n : kMaxStream));
        pos_ = size_;
        return rest;
    }

private:
    const uint8_t *data_;
    size_t size_;
    size_t pos_ = 0;
};

// A piece of the reply stream and its arrival, in ms after the request.
struct Piece {
    uint64_t at;
    std::vector<uint8_t> bytes;
};

// Platform calls that may fail. A CancelIo that fails leaves the operation
// pending, as the driver of bit 7 does.
const char *const kFailing[] = {
    nullptr,     "ReadFile",  "WaitCommEvent", "WaitForSingleObject", "GetOverlappedResult",
    "WriteFile", "PurgeComm", "SetEvent"};
const fake::Pend kModes[] = {fake::Pend::Never, fake::Pend::WhenEmpty, fake::Pend::Always,
                             fake::Pend::Stall};

enum Op {
    kSendRead,
    kSendWrite,
    kSendData,
    kSendDataNoOut,
    kSendOnly,
    kEncoderPosition,
    kTriggerControls,
    kResolution,
    kPulseWidth,
    kGenerator,
    kDigitalInputs,
    kPositionMicrometer,
    kSetDelay,
    kOpCount,
};

// What the call asked the board for; none when it refused its arguments.
struct Request {
    bool sent = false;
    uint8_t command = 0;
    uint16_t address = 0;
    uint32_t value = 0;
};

Request Read(uint16_t address)
{
    return Request{true, zp::kCommandRead, address, 0};
}

int32_t AsSigned(uint32_t raw)
{
    int32_t value;
    std::memcpy(&value, &raw, sizeof value);
    return value;
}

// Truncation toward zero into 32 bits, or false when it does not fit.
bool Truncate(double x, int32_t &out)
{
    if (!(x > -2147483649.0 && x < 2147483648.0)) {
        return false;
    }
    out = static_cast<int32_t>(x);
    return true;
}

// The reply the stream should give, by the transaction's rule: stale bytes
// are discarded before the request; until a reply has begun, each read takes
// what has arrived (the work buffer holds 1024 bytes); once one has, a read
// asks for just the bytes the shortest frame still lacks and ends when they
// have come, or after a slice of 50 ms with what it has; the first read after
// which the last byte received is 0x03 completes the reply.
struct Expected {
    bool reply = false; // else a time-out
    uint64_t at = 0;    // when the reply or the full buffer came
    std::vector<uint8_t> bytes;
};

constexpr uint64_t kSliceMs = 50;

// Bytes a frame begun in `bytes` still needs: 11 from its last 0x02, a whole
// frame before any 0x02, and at least one.
size_t Lacking(const std::vector<uint8_t> &bytes)
{
    size_t start = bytes.size();
    while (start > 0 && bytes[start - 1] != zp::kStx) {
        --start;
    }
    if (start == 0) {
        return 11;
    }
    const size_t have = bytes.size() - (start - 1);
    return have < 11 ? 11 - have : 1;
}

Expected Expect(const std::vector<Piece> &pieces)
{
    // The bytes that outlive the discard, each with its arrival.
    std::vector<std::pair<uint64_t, uint8_t>> stream;
    for (const Piece &piece : pieces) {
        for (uint8_t b : piece.bytes) {
            if (piece.at != 0) {
                stream.emplace_back(piece.at, b);
            }
        }
    }
    Expected expected;
    uint64_t now = 0;
    size_t next = 0;
    while (next < stream.size() && now <= kDeadlineMs) {
        const size_t room = kWorkBuffer - expected.bytes.size();
        const size_t lacking = Lacking(expected.bytes);
        if (!expected.bytes.empty() && lacking > 1) {
            const uint64_t left = now < kDeadlineMs ? kDeadlineMs - now : 1;
            const uint64_t until = now + (left < kSliceMs ? left : kSliceMs);
            size_t want = lacking < room ? lacking : room;
            while (want > 0 && next < stream.size() && stream[next].first <= until) {
                now = stream[next].first > now ? stream[next].first : now;
                expected.bytes.push_back(stream[next++].second);
                --want;
            }
            if (want > 0) {
                now = until;
            }
        } else {
            // Woken by the next arrival, then takes everything that has come.
            now = stream[next].first > now ? stream[next].first : now;
            for (; next < stream.size() && stream[next].first <= now &&
                   expected.bytes.size() < kWorkBuffer;
                 ++next) {
                expected.bytes.push_back(stream[next].second);
            }
        }
        if (!expected.bytes.empty() && expected.bytes.back() == zp::kEtx) {
            expected.reply = true;
            expected.at = now;
            return expected;
        }
        if (expected.bytes.size() == kWorkBuffer) {
            expected.at = now;
            return expected; // full without a reply
        }
    }
    expected.at = UINT64_MAX;
    return expected;
}

bool IsPrefix(const std::vector<uint8_t> &prefix, const std::vector<uint8_t> &of)
{
    return prefix.size() <= of.size() && std::equal(prefix.begin(), prefix.end(), of.begin());
}

bool IsSubsequence(const std::vector<uint8_t> &part, const std::vector<uint8_t> &of)
{
    size_t i = 0;
    for (size_t k = 0; k < of.size() && i < part.size(); ++k) {
        if (of[k] == part[i]) {
            ++i;
        }
    }
    return i == part.size();
}

std::vector<uint8_t> Frame(const Request &request)
{
    uint8_t frame[zp::kMaxFrame];
    const int32_t n = zp::EncodeFrame(request.command, request.address, request.value, frame);
    return std::vector<uint8_t>(frame, frame + n);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // The library prints its connection lines on standard output.
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
    return 0;
}

namespace {

void RunOne(const uint8_t *data, size_t size)
{
    Input in(data, size);
    const auto op = static_cast<Op>(in.Byte() % kOpCount);
    const uint8_t driver = in.Byte();
    const fake::Pend mode = kModes[driver & 3];
    const char *failing = kFailing[(driver >> 2) & 7];
    const int failures = ((driver >> 5) & 3) + 1;
    const bool keepsCancelled = (driver & 0x80) != 0;
    const uint8_t arg = in.Byte();
    const int32_t channel = arg % 6 - 1;
    const auto address = static_cast<uint16_t>(in.Word(2));
    const uint32_t value = in.Word(4);
    const int pieceCount = (in.Byte() & (kMaxPieces - 1)) + 1;
    std::vector<size_t> lengths;
    std::vector<uint64_t> steps;
    for (int i = 0; i < pieceCount; ++i) {
        lengths.push_back(in.Byte());
        steps.push_back(in.Byte() * kPieceStepMs);
    }
    const std::vector<uint8_t> stream = in.Rest();
    std::vector<Piece> pieces;
    size_t offset = 0;
    uint64_t at = 0;
    for (int i = 0; i < pieceCount && offset < stream.size(); ++i) {
        const size_t n = i + 1 == pieceCount ? stream.size() - offset
                                             : std::min(lengths[i], stream.size() - offset);
        at += steps[i];
        pieces.push_back(
            Piece{at, std::vector<uint8_t>(stream.begin() + offset, stream.begin() + offset + n)});
        offset += n;
    }

    // A fresh handler on a fresh device.
    fake::Reset();
    const ZorEncHandle handle = ZorEncCreateHandler();
    Check(handle == 1 && ZorEncOpen(handle, "COM1"));
    Check(ZorEncRegisterSendEvent(handle, OnSend) == ZORENC_OK);
    Check(ZorEncRegisterRecvEvent(handle, OnReceive) == ZORENC_OK);
    g_seen = Seen{};
    fake::SetPendMode(mode);
    fake::SetKeepsCancelled(keepsCancelled);
    if (failing != nullptr) {
        fake::FailNext(failing, ERROR_GEN_FAILURE, failures);
    }
    for (const Piece &piece : pieces) {
        fake::QueueRx(piece.bytes, static_cast<DWORD>(piece.at));
    }
    fake::TakeTx();
    fake::ClearCalls();
    const uint64_t start = fake::Now();

    // The call, what it should have asked for, and what it handed back.
    Request request;
    uint64_t result = 0;
    bool storedRight = true;   // the outputs hold what the reply carried
    bool refusedAfter = false; // PARAM after a delivered value that does not convert
    uint32_t delivered = 0;    // the reply's value, known once the reply is checked

    // Outputs start with a pattern that no conversion below produces by chance
    // in all bytes at once; untouched outputs keep it.
    constexpr uint32_t kUntouched = 0xA5A5A5A5u;
    uint32_t word = kUntouched;
    int32_t ints[7];
    for (int32_t &v : ints) {
        v = static_cast<int32_t>(kUntouched);
    }
    double real = -12345.678;
    TriggerControls controls;
    std::memcpy(&controls, &kUntouched, sizeof controls);
    const bool inRange = channel >= 0 && channel <= 3;
    const auto channelRegister = [&](uint16_t offset) {
        return static_cast<uint16_t>(channel * 0x100 + offset);
    };
    int32_t multiplier = 0;
    double scale = 0;

    switch (op) {
    case kSendRead:
        request = Request{true, zp::kCommandRead, address, value};
        result = ZorEncSendRead(handle, address, value, &word);
        break;
    case kSendWrite:
        request = Request{true, zp::kCommandWrite, address, value};
        result = ZorEncSendWrite(handle, address, value, &word);
        break;
    case kSendData:
        request = Request{true, arg, address, value};
        result = ZorEncSendData(handle, arg, address, value, &word);
        break;
    case kSendDataNoOut:
        request = Request{true, arg, address, value};
        result = ZorEncSendData(handle, arg, address, value, nullptr);
        break;
    case kSendOnly:
        request = Request{true, arg, address, value};
        result = ZorEncSendOnly(handle, arg, address, value);
        break;
    case kEncoderPosition:
        if (inRange) {
            request = Read(static_cast<uint16_t>(0x050C + channel));
        }
        result = ZorEncGetEncoderPosition(handle, channel, &ints[0]);
        break;
    case kTriggerControls:
        if (inRange) {
            request = Read(channelRegister(0x00));
        }
        result = ZorEncGetTriggerControls(handle, channel, &controls);
        break;
    case kResolution:
        request = Read(0xF006);
        result = ZorEncGetEncoderResolution(handle, &real);
        break;
    case kPulseWidth: {
        if (inRange) {
            request = Read(channelRegister(0x09));
        }
        const double code = ZorEncGetTriggerPulseWidth(handle, channel, &real);
        Check(code >= 0 && code < 4294967296.0 && code == std::floor(code));
        result = static_cast<uint64_t>(code);
        break;
    }
    case kGenerator:
        if (inRange) {
            request = Read(channelRegister(0x01));
        }
        result = ZorEncGetTriggerGenerator(handle, channel, &ints[0], &ints[1]);
        break;
    case kDigitalInputs:
        request = Read(0x0500);
        result = ZorEncGetDI(handle, &ints[0], &ints[1], &ints[2], &ints[3], &ints[4], &ints[5],
                             &ints[6]);
        break;
    case kPositionMicrometer:
        multiplier = static_cast<int32_t>(address % 6);
        scale = AsSigned(value) / 1000.0;
        if (inRange) {
            request = Read(static_cast<uint16_t>(0x050C + channel));
        }
        result = ZorEncGetEncoderPositionMicrometer(handle, channel, multiplier, scale, &ints[0]);
        break;
    case kSetDelay: {
        scale = AsSigned(value) / 10.0; // beyond what hundredths hold for large values
        int32_t hundredths = 0;
        if (inRange && Truncate(scale * 100.0, hundredths)) {
            request = Request{true, zp::kCommandWrite, channelRegister(0x0A),
                              static_cast<uint32_t>(hundredths)};
        }
        result = ZorEncSetTriggerDelay(handle, channel, scale);
        break;
    }
    case kOpCount:
        break;
    }
    const uint64_t elapsed = fake::Now() - start;
    const size_t calls = fake::Calls().size();
    const std::vector<uint8_t> tx = fake::TakeTx();
    if (std::getenv("ZORENC_FUZZ_TRACE") != nullptr) {
        // For replaying a finding: what the library did, on the fake clock.
        std::fprintf(stderr,
                     "op %d, mode %d, failing %s x%d: result 0x%llX after %llu ms, %zu calls\n",
                     static_cast<int>(op), driver & 3, failing != nullptr ? failing : "-", failures,
                     static_cast<unsigned long long>(result),
                     static_cast<unsigned long long>(elapsed), calls);
        for (const fake::Call &call : fake::Calls()) {
            std::fprintf(stderr, "  %s", call.fn.c_str());
            for (uint64_t a : call.args) {
                std::fprintf(stderr, " %llu", static_cast<unsigned long long>(a));
            }
            std::fprintf(stderr, "\n");
        }
    }

    // Always: a documented code, within the deadline, in bounded work, no
    // unlimited wait.
    const bool overlappedFails =
        failing != nullptr && std::strcmp(failing, "GetOverlappedResult") == 0;
    Check(IsDocumented(result));
    Check(calls <= kMaxPlatformCalls);
    Check(elapsed <= kDeadlineMs + kOverrunMs + (keepsCancelled ? CSerial::CancelGraceMs : 0));
    Check(!fake::Stalled());

    if (!request.sent) {
        // Refused before the line: a channel out of range, or a delay that
        // hundredths cannot hold.
        Check(result == (inRange ? ZORENC_ERR_PARAM : ZORENC_ERR_CHANNEL));
        Check(tx.empty() && g_seen.sends == 0 && g_seen.receives == 0 && elapsed == 0);
        uint32_t controlsWord;
        std::memcpy(&controlsWord, &controls, sizeof controlsWord);
        Check(word == kUntouched && ints[0] == static_cast<int32_t>(kUntouched) &&
              ints[1] == static_cast<int32_t>(kUntouched) && real == -12345.678 &&
              controlsWord == kUntouched);
        return;
    }

    // The request went out as asked (unless the write itself failed), and the
    // send callback saw it either way.
    const std::vector<uint8_t> frame = Frame(request);
    Check(tx.empty() || tx == frame);
    Check(g_seen.sends == 1 && g_seen.sent == frame);

    // A cancelled operation that the driver kept closed the port.
    const bool closed = result == ZORENC_ERR_NOT_OPEN;
    Check(!closed || (keepsCancelled && !ZorEncIsOpen(handle)));
    if (op == kSendOnly) {
        Check((result == ZORENC_OK || closed) && g_seen.receives == 0);
        return;
    }

    const bool strict = failing == nullptr && mode != fake::Pend::Stall && !keepsCancelled;
    const Expected expected = Expect(pieces);
    if (result == ZORENC_ERR_TIMEOUT) {
        Check(g_seen.receives == 0);
        if (strict) {
            Check(!expected.reply || expected.at + kEdgeMs > kDeadlineMs);
        }
    }

    // Everything the board sent, and what was left of it after the discard.
    std::vector<uint8_t> all;
    std::vector<uint8_t> live;
    for (const Piece &piece : pieces) {
        all.insert(all.end(), piece.bytes.begin(), piece.bytes.end());
        if (piece.at != 0) {
            live.insert(live.end(), piece.bytes.begin(), piece.bytes.end());
        }
    }
    bool decoded = false;
    zp::EncReply reply{};
    if (result <= 0xFF || result == ZORENC_ERR_FRAME) {
        if (strict) {
            // The first complete reply in time, and nothing else.
            Check(expected.reply && expected.at <= kDeadlineMs + kEdgeMs);
        }
        if (g_seen.receives == 1) {
            // The bytes handed to the receive callback are the ones received:
            // the start of the stream, less what was discarded before the
            // request. A failed GetOverlappedResult after a read that took
            // bytes loses them, so then only their order is certain.
            Check(!strict || g_seen.received == expected.bytes);
            Check(IsPrefix(g_seen.received, live) || IsPrefix(g_seen.received, all) ||
                  (overlappedFails && IsSubsequence(g_seen.received, all)));
        }
        const std::vector<uint8_t> &bytes = g_seen.receives == 1 ? g_seen.received : expected.bytes;
        if (g_seen.receives == 1 || strict) {
            try {
                reply = zp::DecodeReply(bytes.data(), static_cast<int32_t>(bytes.size()));
                decoded = true;
            } catch (const zp::FrameError &) {
            }
        }
    }
    if (result == ZORENC_ERR_FRAME) {
        Check(g_seen.receives == 0);
        if (strict) {
            Check(!decoded);
        }
    } else if (result <= 0xFF) {
        // A reply: its status, and (below) its value in the outputs.
        Check(g_seen.receives == 1 && decoded);
        delivered = reply.value;
        refusedAfter = false;
        Check(result == reply.status);
    } else if (result == ZORENC_ERR_PARAM) {
        // Only a conversion that does not fit the delivered count refuses late.
        Check(op == kPositionMicrometer && g_seen.receives == 1);
        refusedAfter = true;
        try {
            reply = zp::DecodeReply(g_seen.received.data(),
                                    static_cast<int32_t>(g_seen.received.size()));
            decoded = true;
        } catch (const zp::FrameError &) {
        }
        Check(decoded);
        delivered = reply.value;
    } else {
        Check(result == ZORENC_ERR_TIMEOUT || closed);
    }
    const bool gotValue = result <= 0xFF || refusedAfter;

    // What each function stored.
    switch (op) {
    case kSendRead:
    case kSendWrite:
    case kSendData:
        storedRight = gotValue ? word == delivered : word == kUntouched;
        break;
    case kSendDataNoOut:
    case kSendOnly:
    case kSetDelay:
        storedRight = word == kUntouched;
        break;
    case kEncoderPosition:
        storedRight = !gotValue || ints[0] == AsSigned(delivered - 0x80000000u);
        break;
    case kTriggerControls: {
        uint32_t got;
        std::memcpy(&got, &controls, sizeof got);
        uint32_t want = delivered;
        const uint32_t nibble2 = (want >> 8) & 0xF;
        if (nibble2 != 2 && nibble2 != 4) {
            want &= ~0xF00u;
        }
        storedRight = !gotValue || got == want;
        break;
    }
    case kResolution:
        storedRight = !gotValue || real == delivered / 1000.0;
        break;
    case kPulseWidth:
        storedRight = !gotValue || real == AsSigned(delivered) / 100.0;
        break;
    case kGenerator:
        storedRight = !gotValue || (ints[0] == static_cast<int32_t>(delivered >> 16) &&
                                    ints[1] == static_cast<int32_t>(delivered & 0xFFFF));
        break;
    case kDigitalInputs:
        for (int n = 0; n < 7 && gotValue; ++n) {
            storedRight = storedRight && ints[n] == static_cast<int32_t>((delivered >> n) & 1);
        }
        break;
    case kPositionMicrometer: {
        const int32_t divisor = multiplier == 2 || multiplier == 4 ? multiplier : 1;
        const int32_t count = AsSigned(delivered - 0x80000000u);
        int32_t length = 0;
        const bool fits = Truncate(static_cast<double>(count) * scale / divisor, length);
        if (gotValue) {
            storedRight = fits ? !refusedAfter && ints[0] == length
                               : refusedAfter && ints[0] == static_cast<int32_t>(kUntouched);
        }
        break;
    }
    case kOpCount:
        break;
    }
    Check(storedRight);
    return;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    RunOne(data, size);
    ZorEncRelease();    // the handler owns its port object until then
    fake::FinishKept(); // late completions of what a driver kept
    return 0;
}
