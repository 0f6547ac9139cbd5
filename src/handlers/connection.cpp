// Opening and closing a handler's port.
#include <cstdio>

#include "handlers/diagnostics.h"
#include "handlers/table.h"
#include "serial/net_serial.h"

extern "C" {

ZORENC_API bool ZORENC_CALL ZorEncOpen(ZorEncHandle handle, const char *portName) noexcept
{
    HandlerEntry *entry = FindEntry(handle);
    if (entry == nullptr || portName == nullptr) {
        if (!DiagnosticsQuiet()) {
            std::printf("connecting failed.\n");
            std::fflush(stdout);
        }
        return false;
    }
    // A network name (rfc2217://, socket://) needs a port object of its own,
    // and a local name the serial one: a closed port of the other kind is
    // replaced. An open port is kept.
    bool failed = false;
    CSerial *fresh =
        entry->port->IsOpen() ? nullptr : zorenc::PortForName(*entry->port, portName, &failed);
    if (fresh != nullptr) {
        ReplacePort(*entry, fresh);
    }
    // An open port stays open on its first name: Open then only reports
    // ERROR_ALREADY_INITIALIZED, and the line format is set again.
    const int32_t opened = entry->port->Open(portName, 0, 0, true);
    entry->port->Setup(CBR_115200, 8, NOPARITY, ONESTOPBIT);
    const bool open = entry->port->IsOpen();
    if (opened != ERROR_ALREADY_INITIALIZED) {
        // A port that opened but refused immediate-return reads is put into
        // them before its first read.
        entry->readsMayWait = open && opened != ERROR_SUCCESS;
    }
    if (!DiagnosticsQuiet()) {
        std::printf(open ? "connected!!!!!\n" : "connecting failed.\n");
        std::fflush(stdout);
    }
    return open;
}

ZORENC_API int32_t ZORENC_CALL ZorEncClose(ZorEncHandle handle) noexcept
{
    HandlerEntry *entry = FindEntry(handle);
    if (entry == nullptr) {
        return static_cast<int32_t>(ZORENC_ERR_NOT_OPEN);
    }
    return entry->port->Close();
}

ZORENC_API bool ZORENC_CALL ZorEncIsOpen(ZorEncHandle handle) noexcept
{
    return FindOpenEntry(handle) != nullptr;
}

} // extern "C"
