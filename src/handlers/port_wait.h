// Bounded waits on a handler's port, shared by the transactions and the raw
// reads: they wake when bytes arrive instead of sleeping in fixed steps.
#pragma once

#include "handlers/table.h"
#include "serial/serial.h"

// Puts the port back into immediate-return reads if a switch back to them
// failed earlier. True when its reads return at once with what has come; when
// false, a read must bound its wait itself.
inline bool ImmediateReads(HandlerEntry &entry)
{
    if (entry.readsMayWait &&
        entry.port->SetupReadTimeouts(CSerial::ReadNonBlocking) == ERROR_SUCCESS) {
        entry.readsMayWait = false;
    }
    return !entry.readsMayWait;
}

// Waits at most ms for the port to receive bytes. A wait that ends at once
// without received bytes (a driver error, a line that has gone away) is not
// repeated in a tight loop: the caller then rests a little instead.
inline void WaitForInput(CSerial &port, DWORD ms)
{
    if (ms == 0) {
        return;
    }
    const DWORD before = GetTickCount();
    const int32_t result = port.WaitEvent(nullptr, ms);
    const bool data = result == ERROR_SUCCESS && (port.ReceivedEvents() & EV_RXCHAR) != 0;
    if (!data && result != ERROR_TIMEOUT && GetTickCount() - before < 2) {
        Sleep(ms < 5 ? ms : 5);
    }
}
