// Board-wide settings and maintenance: encoder resolution, versions, runs,
// trigger mode, virtual-encoder frequencies, defaults and flash.
#include "device/access.h"

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetEncoderResolution(ZorEncHandle handle, double *resolution) noexcept
{
    return ReadDecoded(handle, REG_ENC_RESOLUTION, resolution, DecodeThousandths);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetEncoderResolution(ZorEncHandle handle, double resolution) noexcept
{
    return WriteEncoded(handle, REG_ENC_RESOLUTION, resolution, EncodeThousandths);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetFirmwareVersion(ZorEncHandle handle,
                                                                        double *version) noexcept
{
    return ReadDecoded(handle, REG_FIRMWARE_VERSION, version, DecodeFirmwareVersion);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetLogicVersion(ZorEncHandle handle,
                                                                     double *version) noexcept
{
    return ReadDecoded(handle, REG_LOGIC_VERSION, version, DecodeLogicVersion);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetPositiveRun(ZorEncHandle handle,
                                                                    int32_t *run) noexcept
{
    return ReadDecoded(handle, REG_POSITIVE_RUN, run, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetPositiveRun(ZorEncHandle handle,
                                                                    int32_t run) noexcept
{
    return WriteRegister(handle, REG_POSITIVE_RUN, EncodeRaw(run));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetNegativeRun(ZorEncHandle handle,
                                                                    int32_t *run) noexcept
{
    return ReadDecoded(handle, REG_NEGATIVE_RUN, run, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetNegativeRun(ZorEncHandle handle,
                                                                    int32_t run) noexcept
{
    return WriteRegister(handle, REG_NEGATIVE_RUN, EncodeRaw(run));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncGetTrgMode(ZorEncHandle handle,
                                                                int32_t *trgMode) noexcept
{
    return ReadDecoded(handle, REG_TRG_MODE, trgMode, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSetTrgMode(ZorEncHandle handle,
                                                                int32_t trgMode) noexcept
{
    return WriteRegister(handle, REG_TRG_MODE, EncodeRaw(trgMode));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncGetVirtualEncoderFrequency(ZorEncHandle handle, int32_t channel, int32_t *frequency) noexcept
{
    return ReadGlobal(handle, channel, REG_VENC_FREQUENCY, frequency, DecodeRaw);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncSetVirtualEncoderFrequency(ZorEncHandle handle, int32_t channel, int32_t frequency) noexcept
{
    return WriteGlobal(handle, channel, REG_VENC_FREQUENCY, EncodeRaw(frequency));
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL
ZorEncLoadDefaultParameters(ZorEncHandle handle) noexcept
{
    return WriteRegister(handle, REG_LOAD_DEFAULTS, CMD_EXECUTE);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncSaveFlash(ZorEncHandle handle) noexcept
{
    return WriteRegister(handle, REG_SAVE_FLASH, CMD_EXECUTE);
}

extern "C" ZORENC_API ZorEncResult ZORENC_CALL ZorEncLoadFlash(ZorEncHandle handle) noexcept
{
    return WriteRegister(handle, REG_LOAD_FLASH, CMD_EXECUTE);
}
