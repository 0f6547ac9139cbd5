// The value encodings of the board's registers: pure conversions between a
// 32-bit register value and what the exported functions take and give.
//
// Conversions from doubles truncate toward zero after a multiplication in
// double precision, so 0.29 becomes 28 hundredths and 1.005 becomes 1004
// thousandths. They give the same results in every build, and they refuse
// (return false) what the register cannot represent instead of sending a
// substitute value.
#pragma once

#include <cstdint>

#include "device/registers.h"
#include "zorenc.h"

// ---- Integers ------------------------------------------------------------------------------

// Raw: the 32 bits unchanged.
constexpr int32_t DecodeRaw(uint32_t raw)
{
    return static_cast<int32_t>(raw);
}
constexpr uint32_t EncodeRaw(int32_t value)
{
    return static_cast<uint32_t>(value);
}

// Offset binary: register value = value + 0x80000000 modulo 2^32, so that 0 is
// 0x80000000 and the most negative value 0.
constexpr uint32_t EncodeOffsetBinary(int32_t value)
{
    return static_cast<uint32_t>(value) + 0x80000000u;
}
constexpr int32_t DecodeOffsetBinary(uint32_t raw)
{
    return static_cast<int32_t>(raw - 0x80000000u);
}

// ---- Doubles -------------------------------------------------------------------------------

// Hundredths, signed: delay and pulse width.
double DecodeHundredths(uint32_t raw);
// False for NaN, infinities and values whose hundredfold truncates outside
// the signed 32-bit range.
bool EncodeHundredths(double value, uint32_t &raw);

// Thousandths, unsigned: the encoder resolution.
double DecodeThousandths(uint32_t raw);
// False for NaN, negative values and values whose thousandfold is 2^32 or more.
bool EncodeThousandths(double value, uint32_t &raw);

// Versions: the firmware keeps version x 100 in the low 16 bits, the logic in
// all 32.
double DecodeFirmwareVersion(uint32_t raw);
double DecodeLogicVersion(uint32_t raw);

// ---- Trigger-control word ------------------------------------------------------------------

// Packs the fields of ZorEncSetTriggerControlsEachTrigger: each nibble from the
// low 4 bits of its argument, bits 8-11 from a code (2 gives 1, 4 gives 2,
// anything else 0), bits 30 and 31 from the low bit of theirs; bits 28-29
// stay 0.
uint32_t PackTriggerControls(int32_t nibble0, int32_t nibble1, int32_t nibble2Code, int32_t nibble3,
                             int32_t nibble4, int32_t nibble5, int32_t nibble6, int32_t bit30,
                             int32_t bit31);

// The word as handed to the application: bits 8-11 are kept only when they
// hold 2 or 4, and cleared otherwise.
constexpr uint32_t FixTriggerControlsRead(uint32_t raw)
{
    const uint32_t nibble2 = (raw >> 8) & 0xFu;
    return nibble2 == 2 || nibble2 == 4 ? raw : raw & 0xFFFFF0FFu;
}

// The word and the application's TriggerControls object, bit for bit.
TriggerControls ToTriggerControls(uint32_t word);
uint32_t FromTriggerControls(const TriggerControls &controls);

// ---- Trigger generator: two unsigned 16-bit halves -----------------------------------------

constexpr uint32_t PackGenerator(int32_t upperHalf, int32_t lowerHalf)
{
    return (static_cast<uint32_t>(upperHalf) & 0xFFFFu) << 16 |
           (static_cast<uint32_t>(lowerHalf) & 0xFFFFu);
}
constexpr int32_t GeneratorUpper(uint32_t raw)
{
    return static_cast<int32_t>(raw >> 16);
}
constexpr int32_t GeneratorLower(uint32_t raw)
{
    return static_cast<int32_t>(raw & 0xFFFFu);
}

// ---- Digital inputs and the clear register -------------------------------------------------

// The state of input n (0 to 6), 0 or 1.
constexpr int32_t DigitalInputState(uint32_t raw, int32_t input)
{
    return static_cast<int32_t>((raw >> input) & 1u);
}

// Single-item clear masks; the number must already be in range.
constexpr uint32_t ClearDiCountMask(int32_t input)
{
    return CLEAR_DI_COUNT << input;
}
constexpr uint32_t ClearTriggerCountMask(int32_t channel)
{
    return CLEAR_TRG_COUNT << channel;
}
constexpr uint32_t ClearEncoderPositionMask(int32_t channel)
{
    return CLEAR_ENC_POSITION << channel;
}
constexpr uint32_t ClearErrorCountMask(int32_t channel)
{
    return CLEAR_TRG_ERROR_COUNT << channel;
}

// ---- Position conversions ------------------------------------------------------------------

// Divisors of the encoder-position conversions: the analog one bounds the
// multiplier to 8..1023, the micrometre one takes 2 or 4 and 1 otherwise.
constexpr int32_t AnalogDivisor(int32_t multiplier)
{
    return multiplier < 8 ? 8 : multiplier > 1023 ? 1023 : multiplier;
}
constexpr int32_t MicrometerDivisor(int32_t multiplier)
{
    return multiplier == 2 || multiplier == 4 ? multiplier : 1;
}

// count x period / divisor, multiplied first, truncated toward zero. False
// when the quotient is not a number or truncates outside 32 bits.
bool CountsToLength(int32_t count, double period, int32_t divisor, int32_t &length);

// position x multiplier (in 64 bits, without wrapping) / period, truncated
// toward zero: the counts of a trigger position given in micrometres. False
// for a period of 0 or not finite, and for a quotient outside 32 bits.
bool LengthToCounts(int32_t position, int32_t multiplier, double period, int32_t &counts);
