// Encoder channels: positions (as counts or converted to lengths), direction
// and inversion (one register), multiplier for analog encoders, reset value
// and calibration.
#include <cmath>

#include "device/access.h"

namespace {

// The position of a channel as count x period / divisor. A period that is not
// finite is refused before the read; a quotient that does not fit in 32 bits
// is refused after a read that delivered a count, leaving position untouched.
// A read that delivered no count stores 0, whatever the period.
ZorEncResult ReadPositionAsLength(ZorEncHandle handle, int32_t channel, double period,
                                  int32_t divisor, int32_t *position)
{
    if (!IsChannel(channel)) {
        return ZORENC_ERR_CHANNEL;
    }
    if (!std::isfinite(period)) {
        return ZORENC_ERR_PARAM;
    }
    uint32_t raw = 0;
    const ZorEncResult result =
        ReadRegister(handle, GlobalRegister(REG_ENC_POSITION, channel), raw);
    if (position == nullptr) {
        return result;
    }
    if (!Delivered(result)) {
        *position = 0;
        return result;
    }
    int32_t length = 0;
    if (!CountsToLength(DecodeOffsetBinary(raw), period, divisor, length)) {
        return ZORENC_ERR_PARAM;
    }
    *position = length;
    return result;
}

} // namespace

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetEncoderPosition(ZorEncHandle handle,
                                                                        int32_t channel,
                                                                        int32_t *position) noexcept
{
    return ReadGlobal(handle, channel, REG_ENC_POSITION, position, DecodeOffsetBinary);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderPositionForAnalog(ZorEncHandle handle, int32_t channel, int32_t multiplier,
                                  double period, int32_t *position) noexcept
{
    return ReadPositionAsLength(handle, channel, period, AnalogDivisor(multiplier), position);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderPositionMicrometer(ZorEncHandle handle, int32_t channel, int32_t multiplier,
                                   double period, int32_t *position) noexcept
{
    return ReadPositionAsLength(handle, channel, period, MicrometerDivisor(multiplier), position);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderDirection(ZorEncHandle handle, int32_t channel, int32_t *direction) noexcept
{
    return ReadChannel(handle, channel, REG_ENC_DIRECTION, direction, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderDirection(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t direction) noexcept
{
    return WriteChannel(handle, channel, REG_ENC_DIRECTION, EncodeRaw(direction));
}

// The inversion is the direction register under another name.
extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderInversion(ZorEncHandle handle, int32_t channel, int32_t *inversion) noexcept
{
    return ReadChannel(handle, channel, REG_ENC_DIRECTION, inversion, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetEncoderInversion(ZorEncHandle handle,
                                                                         int32_t channel,
                                                                         int32_t inversion) noexcept
{
    return WriteChannel(handle, channel, REG_ENC_DIRECTION, EncodeRaw(inversion));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderMultiForAnalog(ZorEncHandle handle, int32_t channel, int32_t *multiplier) noexcept
{
    return ReadChannel(handle, channel, REG_ENC_MULTI_ANALOG, multiplier, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetEncoderMultiForAnalog(ZorEncHandle handle, int32_t channel, int32_t multiplier) noexcept
{
    return WriteChannel(handle, channel, REG_ENC_MULTI_ANALOG, EncodeRaw(multiplier));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderResetValue(ZorEncHandle handle, int32_t channel, int32_t *resetValue) noexcept
{
    return ReadChannel(handle, channel, REG_ENC_RESET_VALUE, resetValue, DecodeOffsetBinary);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetEncoderResetValue(ZorEncHandle handle, int32_t channel, int32_t resetValue) noexcept
{
    return WriteChannel(handle, channel, REG_ENC_RESET_VALUE, EncodeOffsetBinary(resetValue));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncStartCalibration(ZorEncHandle handle,
                                                                      int32_t channel) noexcept
{
    return WriteChannel(handle, channel, REG_ENC_CALIBRATION, CMD_CALIBRATION_START);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncStopCalibration(ZorEncHandle handle,
                                                                     int32_t channel) noexcept
{
    return WriteChannel(handle, channel, REG_ENC_CALIBRATION, CMD_CALIBRATION_STOP);
}
