// Numbers as text, the same in every front end's output.
#pragma once

#include <cstdint>
#include <string>

namespace zorenc::companion {

// The shortest decimal that reads back as the same double, written out as
// people write numbers: 100, 1.5, 0.29, -21474836.47, 4294967.295. Only
// magnitudes below 1e-7 or from 1e21 keep an exponent (1e-8, 1e+21), as
// JavaScript writes them; "nan", "inf" and "-inf" for those.
std::string FormatReal(double value);

// text with every byte that is not part of valid UTF-8 written as \xNN
// (four characters), so that it can go into JSON and be read as it was:
// descriptions and serial numbers the system gives as raw bytes.
std::string EscapeNonUtf8(const std::string &text);

// 0x0000F00A style, with the given number of hex digits.
std::string FormatHex(uint32_t value, int digits = 8);

} // namespace zorenc::companion
