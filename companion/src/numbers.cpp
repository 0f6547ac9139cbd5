#include "numbers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "failure.h"

namespace zorenc::companion {

namespace {

std::string Quote(const std::string &text)
{
    return "'" + text + "'";
}

constexpr int64_t kHuge = int64_t{1} << 62;

// Text read through c_str() would end at a NUL and take what stands before
// it for the whole.
bool HasNul(const std::string &text)
{
    return text.find('\0') != std::string::npos;
}

} // namespace

int64_t ParseInteger(const std::string &text, const std::string &what, int64_t min, int64_t max)
{
    if (HasNul(text)) {
        throw UsageFailure(Quote(text) + " is not a valid " + what + " (it holds a NUL character)");
    }
    const char *p = text.c_str();
    bool negative = false;
    if (*p == '-' || *p == '+') {
        negative = *p == '-';
        ++p;
    }
    int base = 10;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        base = 16;
        p += 2;
    }
    const bool digit = base == 16 ? std::isxdigit(static_cast<unsigned char>(*p)) != 0
                                  : std::isdigit(static_cast<unsigned char>(*p)) != 0;
    if (!digit) {
        throw UsageFailure(Quote(text) + " is not a valid " + what +
                           " (expected an integer, decimal or 0x hexadecimal)");
    }
    errno = 0;
    char *end = nullptr;
    const unsigned long long magnitude = std::strtoull(p, &end, base);
    if (*end != '\0') {
        throw UsageFailure(Quote(text) + " is not a valid " + what +
                           " (expected an integer, decimal or 0x hexadecimal)");
    }
    // Anything beyond 2^62 is out of every range the tools take.
    const bool huge = errno == ERANGE || magnitude > static_cast<unsigned long long>(kHuge);
    const int64_t value =
        huge ? 0 : (negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude));
    if (huge || value < min || value > max) {
        throw UsageFailure(what + " " + text + " is out of range " + std::to_string(min) + ".." +
                           std::to_string(max));
    }
    return value;
}

int32_t ParseWord(const std::string &text, const std::string &what)
{
    const int64_t value = ParseInteger(text, what, INT32_MIN, UINT32_MAX);
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

double ParseReal(const std::string &text, const std::string &what)
{
    if (HasNul(text)) {
        throw UsageFailure(Quote(text) + " is not a valid " + what + " (it holds a NUL character)");
    }
    errno = 0;
    char *end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || std::isspace(static_cast<unsigned char>(text[0])) ||
        !std::isfinite(value)) {
        throw UsageFailure(Quote(text) + " is not a valid " + what + " (expected a number)");
    }
    return value;
}

bool ParseDecimal(const std::string &text, int places, int64_t &count, bool &exact)
{
    if (HasNul(text)) {
        return false;
    }
    const char *p = text.c_str();
    const bool negative = *p == '-';
    p += *p == '-' || *p == '+' ? 1 : 0;
    if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        try {
            const int64_t value = ParseInteger(text, "number", -kHuge, kHuge);
            int64_t scaled = value;
            for (int i = 0; i < places; ++i) {
                scaled =
                    std::llabs(scaled) < kHuge / 10 ? scaled * 10 : (value < 0 ? -kHuge : kHuge);
            }
            count = scaled;
            exact = true;
            return true;
        } catch (const Failure &) {
            return false;
        }
    }
    // The digits, and where the decimal point stands among them.
    std::string digits;
    long point = -1;
    for (; std::isdigit(static_cast<unsigned char>(*p)) || (*p == '.' && point < 0); ++p) {
        if (*p == '.') {
            point = static_cast<long>(digits.size());
        } else {
            digits += *p;
        }
    }
    if (digits.empty()) {
        return false;
    }
    if (point < 0) {
        point = static_cast<long>(digits.size());
    }
    if (*p == 'e' || *p == 'E') {
        ++p;
        const bool down = *p == '-';
        p += *p == '-' || *p == '+' ? 1 : 0;
        if (!std::isdigit(static_cast<unsigned char>(*p))) {
            return false;
        }
        long exponent = 0;
        for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) {
            exponent = exponent < 100000 ? exponent * 10 + (*p - '0') : exponent;
        }
        point += down ? -exponent : exponent;
    }
    if (*p != '\0') {
        return false;
    }
    // Digits before point + places make the count; the rest are dropped.
    const long keep = point + places;
    int64_t magnitude = 0;
    exact = true;
    for (long i = 0; i < static_cast<long>(digits.size()); ++i) {
        const int digit = digits[static_cast<size_t>(i)] - '0';
        if (i >= keep) {
            exact = exact && digit == 0;
        } else {
            magnitude = magnitude < kHuge / 10 ? magnitude * 10 + digit : kHuge;
        }
    }
    for (long i = static_cast<long>(digits.size()); i < keep && magnitude < kHuge; ++i) {
        magnitude = magnitude < kHuge / 10 ? magnitude * 10 : kHuge;
    }
    count = negative ? -magnitude : magnitude;
    return true;
}

double MiddleOf(int64_t count, int places)
{
    if (count == 0) {
        return 0.0;
    }
    const double half = count > 0 ? 0.5 : -0.5;
    return (static_cast<double>(count) + half) / std::pow(10.0, places);
}

} // namespace zorenc::companion
