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

// Bytes that must still come before the frame begun in buffer can be whole:
// a frame runs at least kFrameSize bytes from its 0x02 (stuffing only
// lengthens it, and never puts a 0x02 inside it), and before any 0x02 has
// come it is all still to come. Reading no more than this can never take a
// byte beyond the end of a frame.
size_t StillToCome(const uint8_t *buffer, size_t received)
{
    const size_t frameSize = static_cast<size_t>(zorenc::protocol::kFrameSize);
    size_t start = received;
    while (start > 0 && buffer[start - 1] != zorenc::protocol::kStx) {
        --start;
    }
    if (start == 0) {
        return frameSize;
    }
    const size_t have = received - (start - 1);
    return have < frameSize ? frameSize - have : 1;
}

// Reads length bytes in one request, so that the driver completes it once
// they have all come instead of waking the caller for each byte; at most ms.
// True when it took bytes or waited out its time; false when it could not
// wait (blocking reads refused, or a read that failed at once), so that the
// caller waits on the port instead of asking again at once. A failed switch
// back to immediate-return reads is remembered in the entry.
bool ReadLength(HandlerEntry &entry, uint8_t *buffer, size_t length, DWORD *count, DWORD ms)
{
    CSerial &port = *entry.port;
    if (port.SetupReadTimeouts(CSerial::ReadBlocking) != ERROR_SUCCESS) {
        return false;
    }
    const int32_t result = port.Read(buffer, length, count, nullptr, ms);
    if (port.SetupReadTimeouts(CSerial::ReadNonBlocking) != ERROR_SUCCESS) {
        entry.readsMayWait = true;
    }
    return *count > 0 || result == ERROR_TIMEOUT;
}

// Collects reply bytes until the last one received is the terminator. Wakes
// when bytes arrive; once a reply has begun, asks for the rest of the
// shortest frame in one read. Never waits past the deadline, counted from
// start; such a read waits one slice at most, so that a reply that lost
// bytes on the way but ends in 0x03 is soon a frame error, not a time-out.
// Returns the count, or 0 when the deadline passed first or the port was
// closed under the read (its driver kept a cancelled operation, or a network
// connection ended: no reply can come any more).
size_t CollectReply(HandlerEntry &entry, uint8_t *buffer, DWORD start)
{
    CSerial &port = *entry.port;
    size_t received = 0;
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        const DWORD left = elapsed < kReplyDeadlineMs ? kReplyDeadlineMs - elapsed : 1;
        const size_t room = kWorkBufferSize - received;
        const size_t missing = StillToCome(buffer, received);
        DWORD count = 0;
        bool waited = false;
        if (received > 0 && missing > 1) {
            waited = ReadLength(entry, buffer + received, missing < room ? missing : room, &count,
                                left < kWaitSliceMs ? left : kWaitSliceMs);
        }
        if (!waited && ImmediateReads(entry)) {
            // What has come so far; bounded even on drivers that let an
            // immediate-return read pend.
            port.Read(buffer + received, room, &count, nullptr, left);
        } else if (!waited) {
            // Reads still wait for their count: ask for no more than the
            // frame can still take, for one slice at most.
            const int32_t result =
                port.Read(buffer + received, missing < room ? missing : room, &count, nullptr,
                          left < kWaitSliceMs ? left : kWaitSliceMs);
            waited = count > 0 || result == ERROR_TIMEOUT;
        }
        received += count;
        if (received > 0 && buffer[received - 1] == zorenc::protocol::kEtx) {
            return received;
        }
        if (!port.IsOpen()) {
            return 0;
        }
        const DWORD spent = GetTickCount() - start;
        if (spent > kReplyDeadlineMs || received == kWorkBufferSize) {
            return 0; // no complete reply in time, or no room left for one
        }
        if (count == 0 && !waited) {
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
                                                   uint32_t *out) noexcept
{
    HandlerEntry *entry = FindOpenEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_NOT_OPEN;
    }
    uint8_t buffer[kWorkBufferSize];
    // The deadline covers the write as well as the reply.
    const DWORD start = GetTickCount();
    SendRequest(*entry, buffer, command, address, value);
    const size_t received = CollectReply(*entry, buffer, start);
    if (received == 0) {
        // A port closed on the way (a driver that kept a cancelled
        // operation, a network connection that ended) is not open any more.
        return entry->port->IsOpen() ? ZORENC_ERR_TIMEOUT : ZORENC_ERR_NOT_OPEN;
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
                                                   unsigned short address, uint32_t value) noexcept
{
    HandlerEntry *entry = FindOpenEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_NOT_OPEN;
    }
    uint8_t buffer[zorenc::protocol::kMaxFrame];
    SendRequest(*entry, buffer, command, address, value);
    return entry->port->IsOpen() ? ZORENC_OK : ZORENC_ERR_NOT_OPEN;
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendRead(ZorEncHandle handle, unsigned short address,
                                                   uint32_t value, uint32_t *out) noexcept
{
    return ZorEncSendData(handle, kCommandRead, address, value, out);
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncSendWrite(ZorEncHandle handle, unsigned short address,
                                                    uint32_t value, uint32_t *out) noexcept
{
    return ZorEncSendData(handle, kCommandWrite, address, value, out);
}

} // extern "C"
