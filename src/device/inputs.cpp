// Digital inputs, the input, trigger and trigger-error counters, and the
// clear register.
#include "device/access.h"

namespace {

ZorEncResult Clear(ZorEncHandle handle, uint32_t mask)
{
    return WriteRegister(handle, REG_CLEAR, mask);
}

// Clears the item of one channel: mask is the channel-0 bit of its group.
ZorEncResult ClearChannelItem(ZorEncHandle handle, int32_t channel, uint32_t (*mask)(int32_t))
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    return Clear(handle, mask(channel));
}

} // namespace

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDI(ZorEncHandle handle, int32_t *input0,
                                                           int32_t *input1, int32_t *input2,
                                                           int32_t *input3, int32_t *input4,
                                                           int32_t *input5,
                                                           int32_t *input6) noexcept
{
    uint32_t raw = 0;
    const ZorEncResult result = ReadRegister(handle, REG_DI_STATE, raw);
    int32_t *const inputs[BOARD_DIGITAL_INPUTS] = {input0, input1, input2, input3,
                                                   input4, input5, input6};
    for (int32_t n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
        if (inputs[n] != nullptr) {
            *inputs[n] = DigitalInputState(raw, n);
        }
    }
    return result;
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDIState(ZorEncHandle handle, int32_t input,
                                                                int32_t *state) noexcept
{
    if (!IsDigitalInput(input)) {
        return ZORENC_ERR_CHANNEL;
    }
    return ReadDecoded(handle, REG_DI_STATE, state,
                       [input](uint32_t raw) { return DigitalInputState(raw, input); });
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetDiCount(ZorEncHandle handle, int32_t input,
                                                                int32_t *count) noexcept
{
    if (!IsDigitalInput(input)) {
        return ZORENC_ERR_CHANNEL;
    }
    return ReadDecoded(handle, GlobalRegister(REG_DI_COUNT, input), count, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerCount(ZorEncHandle handle,
                                                                     int32_t channel,
                                                                     int32_t *count) noexcept
{
    return ReadGlobal(handle, channel, REG_TRG_COUNT, count, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerErrorCount(ZorEncHandle handle,
                                                                          int32_t channel,
                                                                          int32_t *count) noexcept
{
    return ReadGlobal(handle, channel, REG_TRG_ERROR_COUNT, count, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearAll(ZorEncHandle handle) noexcept
{
    return Clear(handle, CLEAR_EVERYTHING);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearDiAll(ZorEncHandle handle) noexcept
{
    return Clear(handle, CLEAR_DI_COUNT_ALL);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearDiCount(ZorEncHandle handle,
                                                                  int32_t input) noexcept
{
    if (!IsDigitalInput(input)) {
        return ZORENC_ERR_CHANNEL;
    }
    return Clear(handle, ClearDiCountMask(input));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearTriggerAll(ZorEncHandle handle) noexcept
{
    return Clear(handle, CLEAR_TRG_COUNT_ALL);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearTriggerCount(ZorEncHandle handle,
                                                                       int32_t channel) noexcept
{
    return ClearChannelItem(handle, channel, ClearTriggerCountMask);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncClearEncoderPositionAll(ZorEncHandle handle) noexcept
{
    return Clear(handle, CLEAR_ENC_POSITION_ALL);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearEncoderPosition(ZorEncHandle handle,
                                                                          int32_t channel) noexcept
{
    return ClearChannelItem(handle, channel, ClearEncoderPositionMask);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncClearErrorCountAll(ZorEncHandle handle) noexcept
{
    return Clear(handle, CLEAR_TRG_ERROR_ALL);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncClearErrorCount(ZorEncHandle handle,
                                                                     int32_t channel) noexcept
{
    return ClearChannelItem(handle, channel, ClearErrorCountMask);
}
