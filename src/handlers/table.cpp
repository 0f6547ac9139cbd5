#include "handlers/table.h"
#include "handlers/diagnostics.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <new>
#include <vector>

namespace {

// The slots, guarded by g_lock. Each entry lives on the heap from the first
// time its slot is taken until ZorEncRelease (or the library's unloading), so
// that an entry a call has found stays put while other threads create and
// close handlers and the array of slots grows. A slot is free while its entry
// holds no port; an entry does not own its port.
std::vector<std::unique_ptr<HandlerEntry>> g_slots;
SRWLOCK g_lock = SRWLOCK_INIT;

class TableLock {
public:
    TableLock() { AcquireSRWLockExclusive(&g_lock); }
    ~TableLock() { ReleaseSRWLockExclusive(&g_lock); }
    TableLock(const TableLock &) = delete;
    TableLock &operator=(const TableLock &) = delete;
};

// The entry of a slot index, or null beyond the table; with the lock held.
HandlerEntry *SlotEntry(long long index)
{
    if (index < 0 || index >= static_cast<long long>(g_slots.size())) {
        return nullptr;
    }
    return g_slots[static_cast<size_t>(index)].get();
}

} // namespace

HandlerEntry *FindEntry(ZorEncHandle handle)
{
    TableLock lock;
    HandlerEntry *entry = SlotEntry(SlotIndex(handle));
    return entry != nullptr && entry->port != nullptr ? entry : nullptr;
}

HandlerEntry *FindOpenEntry(ZorEncHandle handle)
{
    HandlerEntry *entry = FindEntry(handle);
    return entry != nullptr && entry->port->IsOpen() ? entry : nullptr;
}

// Under the lock, as ZorEncCloseHandler destroys ports.
void ReplacePort(HandlerEntry &entry, CSerial *port)
{
    TableLock lock;
    delete entry.port;
    entry.port = port;
}

extern "C" {

ZORENC_API ZorEncHandle ZORENC_CALL ZorEncCreateHandler(void) noexcept
{
    CSerial *port = new (std::nothrow) CSerial();
    if (port == nullptr) {
        return 0;
    }
    TableLock lock;
    for (size_t i = 0; i < g_slots.size(); ++i) {
        if (g_slots[i]->port == nullptr) {
            *g_slots[i] = HandlerEntry{};
            g_slots[i]->port = port;
            return static_cast<ZorEncHandle>(i + 1);
        }
    }
    std::unique_ptr<HandlerEntry> entry(new (std::nothrow) HandlerEntry());
    if (entry == nullptr) {
        delete port;
        return 0;
    }
    entry->port = port;
    try {
        g_slots.push_back(std::move(entry)); // leaves entry as it was if it throws
    } catch (...) {
        delete port;
        return 0;
    }
    return static_cast<ZorEncHandle>(g_slots.size());
}

ZORENC_API bool ZORENC_CALL ZorEncIsValidHandle(ZorEncHandle handle) noexcept
{
    return FindEntry(handle) != nullptr;
}

// The port is destroyed with the lock held, so that the slot is handed out
// again only after its port has been closed.
ZORENC_API void ZORENC_CALL ZorEncCloseHandler(ZorEncHandle handle) noexcept
{
    const bool say = !DiagnosticsQuiet();
    TableLock lock;
    const long long index = SlotIndex(handle);
    HandlerEntry *entry = SlotEntry(index);
    if (entry == nullptr) {
        if (say) {
            std::printf("close_handle()\n");
            std::fflush(stdout);
        }
        return;
    }
    if (say) {
        std::printf("close_handle() - Index=%d, Pointer=%p\n", static_cast<int>(index),
                    static_cast<void *>(entry->port));
    }
    if (entry->port == nullptr) {
        if (say) {
            std::fflush(stdout);
        }
        return;
    }
    delete entry->port;
    if (say) {
        std::printf("close_handle() - delete Serial\n");
        std::fflush(stdout);
        std::cout << "close_handle() - delete Serial\n" << std::flush;
    }
    *entry = HandlerEntry{};
}

ZORENC_API void ZORENC_CALL ZorEncRelease(void) noexcept
{
    const bool say = !DiagnosticsQuiet();
    TableLock lock;
    for (size_t i = 0; i < g_slots.size(); ++i) {
        if (g_slots[i]->port != nullptr) {
            delete g_slots[i]->port;
            g_slots[i]->port = nullptr;
            if (say) {
                std::printf("release() - delete Serial[%d]\n", static_cast<int>(i));
            }
        }
    }
    if (say) {
        std::fflush(stdout);
    }
    g_slots.clear();
}

} // extern "C"
