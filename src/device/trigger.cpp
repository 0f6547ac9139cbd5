// Trigger channels: control word, generator, output mode, trigger positions
// (also from micrometres), pulse width, delay and the index-trigger table.
#include "device/access.h"

namespace {

TriggerControls DecodeTriggerControls(uint32_t raw)
{
    return ToTriggerControls(FixTriggerControlsRead(raw));
}

// Delay and pulse width: hundredths; ZORENC_ERR_PARAM for what they cannot hold.
ZorEncResult WriteHundredths(ZorEncHandle handle, int32_t channel, uint16_t offset, double value)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    return WriteEncoded(handle, ChannelRegister(channel, offset), value, EncodeHundredths);
}

// A trigger position given in micrometres when convert is not 0, in counts
// otherwise (multiplier and period then unused).
ZorEncResult WriteMicrometerPosition(ZorEncHandle handle, int32_t channel, uint16_t offset,
                                     int32_t position, int32_t multiplier, double period,
                                     int32_t convert)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    int32_t counts = position;
    if (convert != 0 && !LengthToCounts(position, multiplier, period, counts)) {
        return ZORENC_ERR_PARAM;
    }
    return WriteRegister(handle, ChannelRegister(channel, offset), EncodeOffsetBinary(counts));
}

} // namespace

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetTriggerControls(ZorEncHandle handle, int32_t channel, TriggerControls *controls) noexcept
{
    return ReadChannel(handle, channel, REG_TRG_CONTROL, controls, DecodeTriggerControls);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerControls(
    ZorEncHandle handle, int32_t channel, const TriggerControls *controls) noexcept
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    if (controls == nullptr) {
        return ZORENC_ERR_PARAM;
    }
    return WriteRegister(handle, ChannelRegister(channel, REG_TRG_CONTROL),
                         FromTriggerControls(*controls));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerControlsEachTrigger(
    ZorEncHandle handle, int32_t channel, int32_t nibble0, int32_t nibble1, int32_t nibble2Code,
    int32_t nibble3, int32_t nibble4, int32_t nibble5, int32_t nibble6, int32_t bit30,
    int32_t bit31) noexcept
{
    return WriteChannel(handle, channel, REG_TRG_CONTROL,
                        PackTriggerControls(nibble0, nibble1, nibble2Code, nibble3, nibble4,
                                            nibble5, nibble6, bit30, bit31));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerGenerator(
    ZorEncHandle handle, int32_t channel, int32_t *upperHalf, int32_t *lowerHalf) noexcept
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    uint32_t raw = 0;
    const ZorEncResult result =
        ReadRegister(handle, ChannelRegister(channel, REG_TRG_GENERATOR), raw);
    // Lower first: when both point to one integer, it ends up with the upper half.
    if (lowerHalf != nullptr) {
        *lowerHalf = GeneratorLower(raw);
    }
    if (upperHalf != nullptr) {
        *upperHalf = GeneratorUpper(raw);
    }
    return result;
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerGenerator(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t upperHalf,
                                                                         int32_t lowerHalf) noexcept
{
    return WriteChannel(handle, channel, REG_TRG_GENERATOR, PackGenerator(upperHalf, lowerHalf));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetTriggerGeneratorRoll(ZorEncHandle handle, int32_t channel, int32_t *value) noexcept
{
    return ReadChannel(handle, channel, REG_TRG_GENERATOR, value, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerGeneratorRoll(ZorEncHandle handle,
                                                                             int32_t channel,
                                                                             int32_t value) noexcept
{
    return WriteChannel(handle, channel, REG_TRG_GENERATOR, EncodeRaw(value));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerOutputMode(ZorEncHandle handle,
                                                                          int32_t channel,
                                                                          int32_t *mode) noexcept
{
    return ReadChannel(handle, channel, REG_TRG_OUTPUT_MODE, mode, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerOutputMode(ZorEncHandle handle,
                                                                          int32_t channel,
                                                                          int32_t mode) noexcept
{
    return WriteChannel(handle, channel, REG_TRG_OUTPUT_MODE, EncodeRaw(mode));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerPosition0(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t *position) noexcept
{
    return ReadChannel(handle, channel, REG_TRG_POSITION0, position, DecodeOffsetBinary);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPosition0(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t position) noexcept
{
    return WriteChannel(handle, channel, REG_TRG_POSITION0, EncodeOffsetBinary(position));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerPosition1(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t *position) noexcept
{
    return ReadChannel(handle, channel, REG_TRG_POSITION1, position, DecodeOffsetBinary);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerPosition1(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t position) noexcept
{
    return WriteChannel(handle, channel, REG_TRG_POSITION1, EncodeOffsetBinary(position));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetTriggerPositionMicrometer0(ZorEncHandle handle, int32_t channel, int32_t position,
                                    int32_t multiplier, double period, int32_t convert) noexcept
{
    return WriteMicrometerPosition(handle, channel, REG_TRG_POSITION0, position, multiplier, period,
                                   convert);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetTriggerPositionMicrometer1(ZorEncHandle handle, int32_t channel, int32_t position,
                                    int32_t multiplier, double period, int32_t convert) noexcept
{
    return WriteMicrometerPosition(handle, channel, REG_TRG_POSITION1, position, multiplier, period,
                                   convert);
}

// The one getter whose result code comes back as a double.
extern "C" ZORENC_API double ZORENC_CALL ZorEncGetTriggerPulseWidth(ZorEncHandle handle,
                                                                    int32_t channel,
                                                                    double *pulseWidth) noexcept
{
    return static_cast<double>(
        ReadChannel(handle, channel, REG_TRG_PULSE_WIDTH, pulseWidth, DecodeHundredths));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetTriggerPulseWidth(ZorEncHandle handle, int32_t channel, double pulseWidth) noexcept
{
    return WriteHundredths(handle, channel, REG_TRG_PULSE_WIDTH, pulseWidth);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTriggerDelay(ZorEncHandle handle,
                                                                     int32_t channel,
                                                                     double *delay) noexcept
{
    return ReadChannel(handle, channel, REG_TRG_DELAY, delay, DecodeHundredths);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTriggerDelay(ZorEncHandle handle,
                                                                     int32_t channel,
                                                                     double delay) noexcept
{
    return WriteHundredths(handle, channel, REG_TRG_DELAY, delay);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetIndexTriggerLastIndex(ZorEncHandle handle, int32_t channel, int32_t *lastIndex) noexcept
{
    return ReadChannel(handle, channel, REG_IDX_TRG_LAST_INDEX, lastIndex, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetIndexTriggerLastIndex(ZorEncHandle handle, int32_t channel, int32_t lastIndex) noexcept
{
    return WriteChannel(handle, channel, REG_IDX_TRG_LAST_INDEX, EncodeRaw(lastIndex));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetIndexTriggerPosition(
    ZorEncHandle handle, int32_t channel, int32_t index, int32_t *position) noexcept
{
    if (!IsChannel(channel) || !IsIndexTrigger(index)) {
        return ZORENC_ERR_CHANNEL;
    }
    return ReadDecoded(handle, IndexTriggerRegister(channel, index), position, DecodeOffsetBinary);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetIndexTriggerPosition(
    ZorEncHandle handle, int32_t channel, int32_t index, int32_t position) noexcept
{
    if (!IsChannel(channel) || !IsIndexTrigger(index)) {
        return ZORENC_ERR_CHANNEL;
    }
    return WriteRegister(handle, IndexTriggerRegister(channel, index),
                         EncodeOffsetBinary(position));
}
