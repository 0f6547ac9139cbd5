#include "handlers/table.h"

#include <cstdio>
#include <iostream>
#include <new>

namespace {
HandlerTable g_table;
} // namespace

HandlerEntry *FindEntry(ZorEncHandle handle)
{
    const long long index = SlotIndex(handle);
    if (index < 0 || index >= static_cast<long long>(g_table.size())) {
        return nullptr;
    }
    HandlerEntry &entry = g_table[static_cast<size_t>(index)];
    return entry.port != nullptr ? &entry : nullptr;
}

HandlerEntry *FindOpenEntry(ZorEncHandle handle)
{
    HandlerEntry *entry = FindEntry(handle);
    return entry != nullptr && entry->port->IsOpen() ? entry : nullptr;
}

extern "C" {

ZORENC_API ZorEncHandle ZORENC_CALL ZorEncCreateHandler(void) noexcept
{
    CSerial *port = new (std::nothrow) CSerial();
    if (port == nullptr) {
        return 0;
    }
    for (size_t i = 0; i < g_table.size(); ++i) {
        if (g_table[i].port == nullptr) {
            g_table[i] = HandlerEntry{};
            g_table[i].port = port;
            return static_cast<ZorEncHandle>(i + 1);
        }
    }
    try {
        HandlerEntry entry;
        entry.port = port;
        g_table.push_back(entry);
    } catch (...) {
        delete port;
        return 0;
    }
    return static_cast<ZorEncHandle>(g_table.size());
}

ZORENC_API bool ZORENC_CALL ZorEncIsValidHandle(ZorEncHandle handle) noexcept
{
    return FindEntry(handle) != nullptr;
}

ZORENC_API void ZORENC_CALL ZorEncCloseHandler(ZorEncHandle handle) noexcept
{
    const long long index = SlotIndex(handle);
    if (index < 0 || index >= static_cast<long long>(g_table.size())) {
        std::printf("close_handle()\n");
        std::fflush(stdout);
        return;
    }
    HandlerEntry &entry = g_table[static_cast<size_t>(index)];
    std::printf("close_handle() - Index=%d, Pointer=%p\n", static_cast<int>(index),
                static_cast<void *>(entry.port));
    if (entry.port == nullptr) {
        std::fflush(stdout);
        return;
    }
    delete entry.port;
    std::printf("close_handle() - delete Serial\n");
    std::fflush(stdout);
    std::cout << "close_handle() - delete Serial\n" << std::flush;
    entry = HandlerEntry{};
}

ZORENC_API void ZORENC_CALL ZorEncRelease(void) noexcept
{
    for (size_t i = 0; i < g_table.size(); ++i) {
        if (g_table[i].port != nullptr) {
            delete g_table[i].port;
            g_table[i].port = nullptr;
            std::printf("release() - delete Serial[%d]\n", static_cast<int>(i));
        }
    }
    std::fflush(stdout);
    g_table.clear();
}

} // extern "C"
