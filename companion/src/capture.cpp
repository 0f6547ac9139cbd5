#include "capture.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "failure.h"
#include "pcapng.h"
#include "threads.h"
#include "toolkit.h"
#include "zorenc_codes.h"

namespace zorenc::companion {

namespace {

using Steady = std::chrono::steady_clock;

// A request without a reply that took at least this long ran into the
// library's 1000 ms deadline (its clock starts just before the write that
// precedes the send callback).
constexpr auto kTimeoutSeen = std::chrono::milliseconds(990);

uint64_t NowMicros()
{
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
}

class Recorder {
public:
    explicit Recorder(const CaptureOptions &options)
        : writer_(options.path, options.port.empty() ? "zorenc" : options.port,
                  std::string("zorenc ") + Version())
    {
        summary_.path = options.path;
    }

    void Sent(const uint8_t *data, int32_t length)
    {
        Settle("");
        pending_.micros = NowMicros();
        pending_.at = Steady::now();
        pending_.bytes.assign(data, data + (length > 0 ? length : 0));
        hasPending_ = true;
        ++summary_.requests;
    }

    void Received(const uint8_t *data, int32_t length)
    {
        const uint64_t micros = NowMicros();
        if (hasPending_) {
            Write(pending_.micros, pending_.bytes, pcapng::Direction::kOutbound, "");
            hasPending_ = false;
        }
        Write(micros, std::vector<uint8_t>(data, data + (length > 0 ? length : 0)),
              pcapng::Direction::kInbound, "");
        ++summary_.replies;
    }

    void Note(ZorEncResult result)
    {
        const std::string comment = CaptureComment(result);
        if (hasPending_ && !comment.empty()) {
            Settle(comment);
        }
    }

    CaptureSummary Finish()
    {
        Settle("");
        return summary_;
    }

private:
    struct Pending {
        uint64_t micros = 0;
        Steady::time_point at;
        std::vector<uint8_t> bytes;
    };

    // Writes the request in hand, which got no decoded reply, with comment or
    // else with what the time it waited tells.
    void Settle(std::string comment)
    {
        if (!hasPending_) {
            return;
        }
        hasPending_ = false;
        if (comment.empty()) {
            comment = Steady::now() - pending_.at >= kTimeoutSeen
                          ? "no reply decoded within 1000 ms (a time-out)"
                          : "no reply decoded: a malformed reply, or a request sent without "
                            "waiting for one";
        }
        Write(pending_.micros, pending_.bytes, pcapng::Direction::kOutbound, comment);
        ++summary_.annotated;
    }

    void Write(uint64_t micros, const std::vector<uint8_t> &bytes, pcapng::Direction direction,
               const std::string &comment)
    {
        try {
            writer_.Packet(micros, bytes.data(), bytes.size(), direction, comment);
        } catch (const std::exception &error) {
            if (summary_.error.empty()) {
                summary_.error = error.what();
            }
        }
    }

    pcapng::Writer writer_;
    Pending pending_;
    bool hasPending_ = false;
    CaptureSummary summary_;
};

struct Slot {
    bool used = false;
    uint32_t handle = 0; // the low 32 bits, which name the handler
    std::unique_ptr<Recorder> recorder;
    ZorEncEventCallback alsoSent = nullptr;
    ZorEncEventCallback alsoReceived = nullptr;
};

Mutex slotLock;
std::array<Slot, kMaxCaptures> slots;

uint32_t HandleKey(ZorEncHandle handle)
{
    return static_cast<uint32_t>(handle);
}

Slot *FindSlot(ZorEncHandle handle)
{
    for (Slot &slot : slots) {
        if (slot.used && slot.handle == HandleKey(handle)) {
            return &slot;
        }
    }
    return nullptr;
}

// Runs on the thread of the call that sent or received the frame. Nothing
// may escape into the library.
void Deliver(size_t index, bool sent, const unsigned char *data, int32_t length) noexcept
{
    ZorEncEventCallback also = nullptr;
    {
        std::lock_guard<Mutex> guard(slotLock);
        Slot &slot = slots[index];
        if (slot.recorder == nullptr || data == nullptr) {
            return;
        }
        try {
            if (sent) {
                slot.recorder->Sent(data, length);
            } else {
                slot.recorder->Received(data, length);
            }
        } catch (...) {
            // Out of memory: the frame is lost from the capture, not the call.
        }
        also = sent ? slot.alsoSent : slot.alsoReceived;
    }
    if (also != nullptr) {
        also(data, length);
    }
}

template <size_t N> void ZORENC_CALL SentTo(const unsigned char *data, int32_t length)
{
    Deliver(N, true, data, length);
}

template <size_t N> void ZORENC_CALL ReceivedBy(const unsigned char *data, int32_t length)
{
    Deliver(N, false, data, length);
}

template <size_t... N>
constexpr std::array<std::pair<ZorEncEventCallback, ZorEncEventCallback>, sizeof...(N)>
MakeCallbacks(std::index_sequence<N...>)
{
    return {{{&SentTo<N>, &ReceivedBy<N>}...}};
}

// The pair of functions that lead to each slot.
constexpr auto kCallbacks = MakeCallbacks(std::make_index_sequence<kMaxCaptures>{});

void Release(size_t index)
{
    std::lock_guard<Mutex> guard(slotLock);
    slots[index] = Slot{};
}

} // namespace

std::string CaptureComment(ZorEncResult result)
{
    if (result != ZORENC_ERR_TIMEOUT && result != ZORENC_ERR_FRAME) {
        return "";
    }
    const ZorEncCodeInfo info = ZorEncDescribe(result);
    return std::string(info.name) + ": " + info.meaning;
}

void StartCapture(ZorEncHandle handle, const CaptureOptions &options)
{
    if (options.path.empty()) {
        throw UsageFailure("a capture needs the path of the file to write");
    }
    size_t index = kMaxCaptures;
    {
        std::lock_guard<Mutex> guard(slotLock);
        if (FindSlot(handle) != nullptr) {
            throw UsageFailure("this handle is already being captured");
        }
        for (size_t i = 0; i < slots.size(); ++i) {
            if (!slots[i].used) {
                index = i;
                break;
            }
        }
        if (index == kMaxCaptures) {
            throw UsageFailure("at most " + std::to_string(kMaxCaptures) +
                               " captures can run at once");
        }
        slots[index].used = true;
        slots[index].handle = HandleKey(handle);
    }
    std::unique_ptr<Recorder> recorder;
    try {
        recorder = std::make_unique<Recorder>(options);
    } catch (const std::exception &error) {
        Release(index);
        throw UsageFailure(error.what());
    }
    {
        std::lock_guard<Mutex> guard(slotLock);
        slots[index].recorder = std::move(recorder);
        slots[index].alsoSent = options.alsoSent;
        slots[index].alsoReceived = options.alsoReceived;
    }
    if (ZorEncRegisterSendEvent(handle, kCallbacks[index].first) != ZORENC_OK ||
        ZorEncRegisterRecvEvent(handle, kCallbacks[index].second) != ZORENC_OK) {
        Release(index);
        std::remove(options.path.c_str());
        throw UsageFailure("not a valid handle");
    }
}

CaptureSummary StopCapture(ZorEncHandle handle)
{
    std::unique_ptr<Recorder> recorder;
    size_t index = 0;
    {
        std::lock_guard<Mutex> guard(slotLock);
        Slot *slot = FindSlot(handle);
        if (slot == nullptr || slot->recorder == nullptr) {
            throw NotFoundFailure("this handle is not being captured");
        }
        index = static_cast<size_t>(slot - slots.data());
        recorder = std::move(slot->recorder);
    }
    // Outside the lock: a call on another thread may be inside a callback
    // that waits for it. A handler already closed refuses, which is fine.
    ZorEncRegisterSendEvent(handle, nullptr);
    ZorEncRegisterRecvEvent(handle, nullptr);
    Release(index);
    return recorder->Finish();
}

bool Capturing(ZorEncHandle handle)
{
    std::lock_guard<Mutex> guard(slotLock);
    return FindSlot(handle) != nullptr;
}

bool ForwardCapturedFrames(ZorEncHandle handle, ZorEncEventCallback sent,
                           ZorEncEventCallback received)
{
    std::lock_guard<Mutex> guard(slotLock);
    Slot *slot = FindSlot(handle);
    if (slot == nullptr || slot->recorder == nullptr) {
        return false;
    }
    slot->alsoSent = sent;
    slot->alsoReceived = received;
    return true;
}

void NoteCaptureResult(ZorEncHandle handle, ZorEncResult result) noexcept
{
    std::lock_guard<Mutex> guard(slotLock);
    Slot *slot = FindSlot(handle);
    if (slot != nullptr && slot->recorder != nullptr) {
        try {
            slot->recorder->Note(result);
        } catch (...) {
        }
    }
}

} // namespace zorenc::companion
