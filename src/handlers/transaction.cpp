// Register transactions: one request frame written, one reply frame collected
// within the deadline and decoded.
#include <cstdint>

#include "handlers/port_wait.h"
#include "handlers/table.h"
#include "protocol/codec.h"

namespace {

constexpr DWORD kReplyDeadlineMs = 1000;
constexpr size_t kWorkBufferSize = 1024;
// Longest single wait for reply bytes; the deadline bounds the total.
constexpr DWORD kWaitSliceMs = 50;

constexpr uint8_t kCommandRead = 'R';
constexpr uint8_t kCommandWrite = 'W';

// Writes the request after discarding whatever the receive queue already
// holds (a reply left by a send-only request or a late reply to a timed-out
// one), so that it cannot be taken for this request's reply. A reply that is
// still on its way when the queue is emptied can still be: replies carry no
// sequence number to tell them apart. Only the receive queue
// is emptied: the transmit queue may still hold an earlier request. The write
// is bounded too: a driver that holds it back (flow control) must not hold
// the caller past the deadline.
int32_t SendRequest(HandlerEntry &entry, uint8_t *buffer, uint8_t command, uint16_t address,
                    uint32_t value)
{
    entry.port->PurgeRx();
    const int32_t length = zorenc::protocol::EncodeFrame(command, address, value, buffer);
    entry.port->Write(buffer, static_cast<size_t>(length), nullptr, nullptr, kReplyDeadlineMs);
    if (entry.sendEvent != nullptr) {
        entry.sendEvent(buffer, length);
    }
    return length;
}

// Collects reply bytes until the last one received is the terminator. Wakes
// when bytes arrive; never waits past the deadline, counted from start.
// Returns the count, or 0 when the deadline passed first.
size_t CollectReply(CSerial &port, uint8_t *buffer, DWORD start)
{
    size_t received = 0;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed < kReplyDeadlineMs ? kReplyDeadlineMs - elapsed : 0;
        DWORD count = 0;
        if (received < kWorkBufferSize) {
            // Bounded even on drivers that let an immediate-return read pend.
            port.Read(buffer + received, kWorkBufferSize - received, &count, nullptr,
                      left > 0 ? left : 1);
            received += count;
        }
        if (received > 0 && buffer[received - 1] == zorenc::protocol::kEtx) {
            return received;
        }
        const DWORD spent = GetTickCount() - start;
        if (spent > kReplyDeadlineMs || received == kWorkBufferSize) {
            return 0; // no complete reply in time, or no room left for one
        }
        if (count == 0) {
            // What is left now: the read may have waited out most of it.
            const DWORD rest = spent < kReplyDeadlineMs ? kReplyDeadlineMs - spent : 1;
            WaitForInput(port, rest < kWaitSliceMs ? rest : kWaitSliceMs);
        }
    }
}

} // namespace

extern "C" {

ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendData(ZorEncHandle handle, unsigned char command,
                                                   unsigned short address, uint32_t value,
                                                   uint32_t *out)
{
    HandlerEntry *entry = FindOpenEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_NOT_OPEN;
    }
    uint8_t buffer[kWorkBufferSize];
    // The deadline covers the write as well as the reply.
    const DWORD start = GetTickCount();
    SendRequest(*entry, buffer, command, address, value);
    const size_t received = CollectReply(*entry->port, buffer, start);
    if (received == 0) {
        return ZORENC_ERR_TIMEOUT;
    }
    zorenc::protocol::EncReply reply{};
    try {
        reply = zorenc::protocol::DecodeReply(buffer, static_cast<int32_t>(received));
    } catch (...) {
        return ZORENC_ERR_FRAME;
    }
    if (out != nullptr) {
        *out = reply.value;
    }
    if (entry->recvEvent != nullptr) {
        entry->recvEvent(buffer, static_cast<int32_t>(received));
    }
    return reply.status;
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendOnly(ZorEncHandle handle, unsigned char command,
                                                   unsigned short address, uint32_t value)
{
    HandlerEntry *entry = FindOpenEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_NOT_OPEN;
    }
    uint8_t buffer[zorenc::protocol::kMaxFrame];
    SendRequest(*entry, buffer, command, address, value);
    return ZORENC_OK;
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendRead(ZorEncHandle handle, unsigned short address,
                                                   uint32_t value, uint32_t *out)
{
    return ZorEncSendData(handle, kCommandRead, address, value, out);
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendWrite(ZorEncHandle handle, unsigned short address,
                                                    uint32_t value, uint32_t *out)
{
    return ZorEncSendData(handle, kCommandWrite, address, value, out);
}

} // extern "C"
