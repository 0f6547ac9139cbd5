// Numbers as people write them: integers (decimal or 0x hexadecimal) and
// decimals, parsed exactly. A malformed or out-of-range number is a usage
// Failure whose message names the argument ("what").
#pragma once

#include <cstdint>
#include <string>

namespace zorenc::companion {

int64_t ParseInteger(const std::string &text, const std::string &what, int64_t min, int64_t max);
// Any 32-bit value, signed or unsigned (-2147483648..4294967295), as its bits.
int32_t ParseWord(const std::string &text, const std::string &what);
// A finite number, as strtod reads it.
double ParseReal(const std::string &text, const std::string &what);

// A decimal read exactly as a count of units of 10^-places: "0.29" with 2
// places is 29, "-1.239" is -123 (truncated toward zero; exact is then
// false). Takes [+-]digits[.digits][e[+-]digits] and 0x integers. False when
// the text is not such a number; a magnitude beyond 2^62 saturates there.
bool ParseDecimal(const std::string &text, int places, int64_t &count, bool &exact);

// The double to hand a library setter that stores value x 10^places
// truncated toward zero, so that it stores exactly count: the middle of the
// count's interval, far from either edge whatever the binary rounding.
double MiddleOf(int64_t count, int places);

} // namespace zorenc::companion
