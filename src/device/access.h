// The two shapes of every device function: read one register and decode it
// into the caller's output, or encode a value and write it to one register.
#pragma once

#include <cstdint>

#include "device/encodings.h"
#include "device/registers.h"
#include "zorenc.h"

// Whether a transaction's reply delivered a register value: a reply with a
// status byte or a bad checksum did (codes up to 0xFF); a closed handle, a
// time-out or a malformed frame (the library's own codes) did not.
constexpr bool Delivered(ZorEncResult result)
{
    return result <= 0xFFu;
}

// Reads a register. When no value was delivered, raw is 0, so that a getter
// then stores the decoded form of a zero register.
inline ZorEncResult ReadRegister(ZorEncHandle handle, uint16_t address, uint32_t &raw)
{
    uint32_t value = 0;
    const ZorEncResult result = ZorEncSendRead(handle, address, 0, &value);
    raw = Delivered(result) ? value : 0;
    return result;
}

inline ZorEncResult WriteRegister(ZorEncHandle handle, uint16_t address, uint32_t value)
{
    return ZorEncSendWrite(handle, address, value, nullptr);
}

// Reads a register and stores decode(raw) through out unless it is null,
// whatever the transaction's result.
template <typename T, typename Decode>
ZorEncResult ReadDecoded(ZorEncHandle handle, uint16_t address, T *out, Decode decode)
{
    uint32_t raw = 0;
    const ZorEncResult result = ReadRegister(handle, address, raw);
    if (out != nullptr) {
        *out = decode(raw);
    }
    return result;
}

// The same for a register of a channel's block (offset) or of the global block
// (base + channel); a channel outside 0..3 is answered ZORENC_ERR_CHANNEL with
// nothing sent and out untouched.
template <typename T, typename Decode>
ZorEncResult ReadChannel(ZorEncHandle handle, int32_t channel, uint16_t offset, T *out,
                         Decode decode)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    return ReadDecoded(handle, ChannelRegister(channel, offset), out, decode);
}

template <typename T, typename Decode>
ZorEncResult ReadGlobal(ZorEncHandle handle, int32_t channel, uint16_t base, T *out, Decode decode)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    return ReadDecoded(handle, GlobalRegister(base, channel), out, decode);
}

inline ZorEncResult WriteChannel(ZorEncHandle handle, int32_t channel, uint16_t offset,
                                 uint32_t value)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    return WriteRegister(handle, ChannelRegister(channel, offset), value);
}

inline ZorEncResult WriteGlobal(ZorEncHandle handle, int32_t channel, uint16_t base, uint32_t value)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    return WriteRegister(handle, GlobalRegister(base, channel), value);
}

// Writes a double through a checked encoding: ZORENC_ERR_PARAM, with nothing
// sent, when the encoding refuses the value.
template <typename Encode>
ZorEncResult WriteEncoded(ZorEncHandle handle, uint16_t address, double value, Encode encode)
{
    uint32_t raw = 0;
    if (!encode(value, raw)) {
        return ZORENC_ERR_PARAM;
    }
    return WriteRegister(handle, address, raw);
}
