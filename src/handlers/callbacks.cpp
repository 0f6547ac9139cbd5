// Registration of the frame callbacks.
#include "handlers/table.h"

namespace {

ZorEncResult Register(ZorEncHandle handle, ZorEncEventCallback HandlerEntry::*slot,
                      ZorEncEventCallback callback)
{
    HandlerEntry *entry = FindEntry(handle);
    if (entry == nullptr) {
        return ZORENC_ERR_PARAM;
    }
    entry->*slot = callback;
    return ZORENC_OK;
}

} // namespace

extern "C" {

ZORENC_API ZorEncResult ZORENC_CALL ZorEncRegisterSendEvent(ZorEncHandle handle,
                                                            ZorEncEventCallback callback) noexcept
{
    return Register(handle, &HandlerEntry::sendEvent, callback);
}

ZORENC_API ZorEncResult ZORENC_CALL ZorEncRegisterRecvEvent(ZorEncHandle handle,
                                                            ZorEncEventCallback callback) noexcept
{
    return Register(handle, &HandlerEntry::recvEvent, callback);
}

// Stored for the application's sake; no operation of the library calls it.
ZORENC_API ZorEncResult ZORENC_CALL ZorEncRegisterErrorEvent(ZorEncHandle handle,
                                                             ZorEncEventCallback callback) noexcept
{
    return Register(handle, &HandlerEntry::errorEvent, callback);
}

} // extern "C"
