// The process-wide table of handlers. A handle is a 1-based slot number;
// only its low 32 bits count. Creating, closing, releasing and looking up
// handlers are safe from any thread; calls on one handle must not overlap.
#pragma once

#include "serial/serial.h"
#include "zorenc.h"

struct HandlerEntry {
    CSerial *port = nullptr; // owned; null marks a free slot
    ZorEncEventCallback sendEvent = nullptr;
    ZorEncEventCallback recvEvent = nullptr;
    ZorEncEventCallback errorEvent = nullptr;
    // The port's reads may wait for their full count: a switch back to
    // immediate-return reads failed, and is tried again before the next read
    // that relies on it (ImmediateReads).
    bool readsMayWait = false;
};

// The slot index a handle names: the low 32 bits as a signed number, minus 1.
inline long long SlotIndex(ZorEncHandle handle)
{
    return static_cast<long long>(static_cast<int32_t>(static_cast<uint32_t>(handle))) - 1;
}

// The entry of a valid handle, or null. The entry stays where it is while
// other threads create and close other handlers; it is good until its own
// handle is closed (ZorEncCloseHandler, ZorEncRelease).
HandlerEntry *FindEntry(ZorEncHandle handle);

// The entry of a valid handle whose port is open, or null.
HandlerEntry *FindOpenEntry(ZorEncHandle handle);

// Puts port (owned from now on) in place of the entry's port object, which is
// destroyed.
void ReplacePort(HandlerEntry &entry, CSerial *port);
