// The handler's port as a plain byte stream: purge, read a count, read up to
// a terminator. The reads have no time-out of their own: the caller's abort
// flag bounds them, and it is looked at after every port read and at least
// every kAbortPollMs while nothing arrives.
#include <cstring>
#include <memory>
#include <new>

#include "handlers/port_wait.h"
#include "handlers/table.h"

namespace {

constexpr DWORD kAbortPollMs = 50;
constexpr size_t kLineBufferSize = 128;

bool Raised(const volatile unsigned char *abortFlag)
{
    return __atomic_load_n(abortFlag, __ATOMIC_ACQUIRE) != 0;
}

// One bounded port read of at most length bytes, in immediate-return mode
// where the port can be put back into it. Returns the count read; afterwards
// the port may be closed (its driver kept the cancelled read).
DWORD ReadSome(HandlerEntry &entry, uint8_t *destination, size_t length)
{
    ImmediateReads(entry);
    DWORD count = 0;
    entry.port->Read(destination, length, &count, nullptr, kAbortPollMs);
    return count;
}

} // namespace

extern "C" {

ZORENC_API bool ZORENC_CALL ZorEncPurge(ZorEncHandle handle) noexcept
{
    HandlerEntry *entry = FindEntry(handle);
    return entry != nullptr && entry->port->Purge() == ERROR_SUCCESS;
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncRead(ZorEncHandle handle, unsigned char *buffer,
                                               int32_t /*reserved*/, int32_t length,
                                               const volatile unsigned char *abortFlag) noexcept
{
    HandlerEntry *entry = FindOpenEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_NOT_OPEN;
    }
    if (buffer == nullptr || length <= 0 || abortFlag == nullptr) {
        return ZORENC_ERR_PARAM;
    }
    // Gathered apart, so that an aborted read leaves the caller's buffer as it was.
    std::unique_ptr<uint8_t[]> gathered(new (std::nothrow) uint8_t[static_cast<size_t>(length)]);
    if (!gathered) {
        return ZORENC_ERR_PARAM;
    }
    size_t done = 0;
    const size_t wanted = static_cast<size_t>(length);
    for (;;) {
        const DWORD count = ReadSome(*entry, gathered.get() + done, wanted - done);
        if (!entry->port->IsOpen()) {
            return ZORENC_ERR_NOT_OPEN;
        }
        done += count;
        if (Raised(abortFlag)) {
            return ZORENC_ERR_ABORTED;
        }
        if (done == wanted) {
            break;
        }
        if (count == 0) {
            WaitForInput(*entry->port, kAbortPollMs);
        }
    }
    std::memcpy(buffer, gathered.get(), wanted);
    return ZORENC_OK;
}

ZORENC_API ZorEncResult ZORENC_CALL
ZorEncReadUntil(ZorEncHandle handle, unsigned char *buffer, unsigned char terminator,
                const volatile unsigned char *abortFlag) noexcept
{
    HandlerEntry *entry = FindOpenEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_NOT_OPEN;
    }
    if (buffer == nullptr || abortFlag == nullptr) {
        return ZORENC_ERR_PARAM;
    }
    uint8_t line[kLineBufferSize];
    size_t total = 0;
    for (;;) {
        if (total == kLineBufferSize) {
            // Longer than the interface can carry: hand over what fits.
            std::memcpy(buffer, line, total);
            return ZORENC_ERR_FRAME;
        }
        // One byte at a time, so that nothing behind the terminator is taken.
        const DWORD count = ReadSome(*entry, line + total, 1);
        if (!entry->port->IsOpen()) {
            return ZORENC_ERR_NOT_OPEN;
        }
        if (count == 1 && line[total++] == terminator) {
            break;
        }
        if (Raised(abortFlag)) {
            return ZORENC_ERR_ABORTED;
        }
        if (count == 0) {
            WaitForInput(*entry->port, kAbortPollMs);
        }
    }
    std::memcpy(buffer, line, total);
    return ZORENC_OK;
}

} // extern "C"
