#include "device/encodings.h"

#include <cmath>
#include <cstring>

// The 32-bit x86 build would otherwise do this file's arithmetic on the x87
// unit, whose registers carry 64-bit mantissas: a product or quotient rounded
// first to 64 and then to 53 bits can differ from one rounded once, and a
// truncation can then end one unit apart from the 64-bit build. SSE2 rounds
// every operation to double, as the other builds do.
#if defined(__i386__) && !defined(__SSE2_MATH__)
#pragma GCC target("sse2", "fpmath=sse")
#endif

namespace {

// Truncates toward zero into a signed 32-bit integer; false when the result
// would not fit (NaN and infinities included).
bool TruncateToInt32(double x, int32_t &out)
{
    if (!(x > -2147483649.0 && x < 2147483648.0)) {
        return false;
    }
    out = static_cast<int32_t>(x);
    return true;
}

} // namespace

double DecodeHundredths(uint32_t raw)
{
    return static_cast<int32_t>(raw) / 100.0;
}

bool EncodeHundredths(double value, uint32_t &raw)
{
    int32_t hundredths = 0;
    if (!TruncateToInt32(value * 100.0, hundredths)) {
        return false;
    }
    raw = static_cast<uint32_t>(hundredths);
    return true;
}

double DecodeThousandths(uint32_t raw)
{
    return raw / 1000.0;
}

bool EncodeThousandths(double value, uint32_t &raw)
{
    const double thousandths = value * 1000.0;
    // Negative values are refused even when they would truncate to 0 (-0.0001).
    if (!(value >= 0.0 && thousandths < 4294967296.0)) {
        return false;
    }
    raw = static_cast<uint32_t>(thousandths);
    return true;
}

double DecodeFirmwareVersion(uint32_t raw)
{
    return (raw & 0xFFFFu) / 100.0;
}

double DecodeLogicVersion(uint32_t raw)
{
    return raw / 100.0;
}

uint32_t PackTriggerControls(int32_t nibble0, int32_t nibble1, int32_t nibble2Code, int32_t nibble3,
                             int32_t nibble4, int32_t nibble5, int32_t nibble6, int32_t bit30,
                             int32_t bit31)
{
    const auto field = [](int32_t value, uint32_t mask, int shift) {
        return (static_cast<uint32_t>(value) & mask) << shift;
    };
    const int32_t nibble2 = nibble2Code == 2 ? 1 : nibble2Code == 4 ? 2 : 0;
    return field(nibble0, 0xF, 0) | field(nibble1, 0xF, 4) | field(nibble2, 0xF, 8) |
           field(nibble3, 0xF, 12) | field(nibble4, 0xF, 16) | field(nibble5, 0xF, 20) |
           field(nibble6, 0xF, 24) | field(bit30, 1, 30) | field(bit31, 1, 31);
}

static_assert(sizeof(TriggerControls) == sizeof(uint32_t), "TriggerControls is one 32-bit word");

TriggerControls ToTriggerControls(uint32_t word)
{
    TriggerControls controls;
    std::memcpy(&controls, &word, sizeof controls);
    return controls;
}

uint32_t FromTriggerControls(const TriggerControls &controls)
{
    uint32_t word = 0;
    std::memcpy(&word, &controls, sizeof word);
    return word;
}

bool CountsToLength(int32_t count, double period, int32_t divisor, int32_t &length)
{
    return TruncateToInt32(static_cast<double>(count) * period / static_cast<double>(divisor),
                           length);
}

bool LengthToCounts(int32_t position, int32_t multiplier, double period, int32_t &counts)
{
    if (period == 0.0 || !std::isfinite(period)) {
        return false;
    }
    const int64_t product = static_cast<int64_t>(position) * multiplier;
    return TruncateToInt32(static_cast<double>(product) / period, counts);
}
