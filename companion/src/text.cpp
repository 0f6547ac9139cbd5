#include "text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace zorenc::companion {

std::string FormatReal(double value)
{
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "nan" : (value > 0 ? "inf" : "-inf");
    }
    if (value == 0) {
        return "0";
    }
    // The fewest significant digits that read back as the same double, as
    // d.ddde+X; then written out as a plain decimal.
    char text[40];
    for (int precision = 1; precision <= 17; ++precision) {
        std::snprintf(text, sizeof text, "%.*e", precision - 1, value);
        if (std::strtod(text, nullptr) == value) {
            break;
        }
    }
    std::string digits;
    const char *p = text;
    const bool negative = *p == '-';
    p += negative ? 1 : 0;
    for (; *p != 'e'; ++p) {
        if (*p != '.') {
            digits += *p;
        }
    }
    const int exponent = std::atoi(p + 1); // value = 0.digits x 10^(exponent + 1)
    // Beyond these the plain form grows long: keep the exponent there, as
    // JavaScript's number to string does.
    if (exponent < -7 || exponent >= 21) {
        std::string mantissa = digits.substr(0, 1);
        if (digits.size() > 1) {
            mantissa += "." + digits.substr(1);
        }
        return (negative ? "-" : "") + mantissa + "e" + (exponent < 0 ? "-" : "+") +
               std::to_string(std::abs(exponent));
    }
    std::string plain;
    const int point = exponent + 1; // digits before the decimal point
    if (point <= 0) {
        plain = "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        plain = digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        plain = digits.substr(0, static_cast<size_t>(point)) + "." +
                digits.substr(static_cast<size_t>(point));
    }
    return (negative ? "-" : "") + plain;
}

std::string FormatHex(uint32_t value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, static_cast<unsigned>(value));
    return text;
}

std::string EscapeNonUtf8(const std::string &text)
{
    std::string out;
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
        const unsigned char lead = byte(i);
        // The length of the sequence lead starts, and the range its second
        // byte must lie in (no overlong forms, no surrogates, at most
        // U+10FFFF).
        size_t length = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        }
        bool valid = length > 0 && i + length <= n;
        for (size_t k = 1; valid && k < length; ++k) {
            const unsigned char next = byte(i + k);
            valid = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
        }
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", lead);
            out += escaped;
            ++i;
        }
    }
    return out;
}

} // namespace zorenc::companion
