// The register encodings, without a port: the numeric edge cases that the
// tests against the simulated board do not reach.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "device/encodings.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();

TEST(Encodings, OffsetBinaryBothWays)
{
    struct Case {
        int32_t value;
        uint32_t raw;
    };
    const Case cases[] = {
        {0, 0x80000000u},    {-1, 0x7FFFFFFFu}, {kMin, 0x00000000u}, {kMax, 0xFFFFFFFFu},
        {1000, 0x800003E8u}, {-5, 0x7FFFFFFBu}, {200, 0x800000C8u},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(EncodeOffsetBinary(c.value), c.raw) << c.value;
        EXPECT_EQ(DecodeOffsetBinary(c.raw), c.value) << c.value;
    }
}

TEST(Encodings, HundredthsTruncateTowardZero)
{
    struct Case {
        double value;
        int32_t hundredths;
    };
    const Case cases[] = {
        {1.5, 150},
        {-1.5, -150},
        {0.29, 28}, // 28.999999999999996 in double precision
        {-1.239, -123},
        {-0.0, 0},
        {21474836.47, kMax},
        {-21474836.48, kMin},
        {2147483647.9 / 100.0, kMax},  // truncates into range
        {-2147483648.9 / 100.0, kMin}, // likewise below
    };
    for (const Case &c : cases) {
        uint32_t raw = 0xDEADBEEF;
        ASSERT_TRUE(EncodeHundredths(c.value, raw)) << c.value;
        EXPECT_EQ(static_cast<int32_t>(raw), c.hundredths) << c.value;
    }
}

TEST(Encodings, HundredthsRefuseWhatTheRegisterCannotHold)
{
    for (double value : {kNaN, kInf, -kInf, 21474836.48, -21474836.49, 1e300}) {
        uint32_t raw = 0xDEADBEEF;
        EXPECT_FALSE(EncodeHundredths(value, raw)) << value;
        EXPECT_EQ(raw, 0xDEADBEEFu);
    }
}

TEST(Encodings, HundredthsDecodeSigned)
{
    EXPECT_EQ(DecodeHundredths(0xFFFFFF9Cu), -1.0);
    EXPECT_EQ(DecodeHundredths(150), 1.5);
    EXPECT_EQ(DecodeHundredths(0x80000000u), -21474836.48);
    EXPECT_EQ(DecodeHundredths(0), 0.0);
}

TEST(Encodings, ThousandthsTruncateTowardZero)
{
    struct Case {
        double value;
        uint32_t raw;
    };
    const Case cases[] = {
        {0.5, 500},
        {1.005, 1004}, // 1004.9999999999999 in double precision
        {0.0015, 1},
        {0.00025, 0},
        {0.0, 0},
        {-0.0, 0},
        {4294967.295, 0xFFFFFFFFu},
        {std::nextafter(4294967.296, 0.0), 0xFFFFFFFFu}, // product 4294967295.999999
    };
    for (const Case &c : cases) {
        uint32_t raw = 0xDEADBEEF;
        ASSERT_TRUE(EncodeThousandths(c.value, raw)) << c.value;
        EXPECT_EQ(raw, c.raw) << c.value;
    }
}

TEST(Encodings, ThousandthsRefuseNegativeAndTooLarge)
{
    // -0.0001 would truncate to 0 thousandths; it is refused all the same.
    for (double value : {-0.5, -0.0001, 4294967.296, 1e16, kNaN, kInf, -kInf}) {
        uint32_t raw = 0xDEADBEEF;
        EXPECT_FALSE(EncodeThousandths(value, raw)) << value;
        EXPECT_EQ(raw, 0xDEADBEEFu);
    }
}

TEST(Encodings, UnsignedDecodingsNeverGoNegative)
{
    struct Case {
        double (*decode)(uint32_t);
        uint32_t raw;
        double expected;
    };
    const Case cases[] = {
        {DecodeThousandths, 500, 0.5},
        {DecodeThousandths, 0xFFFFFFFFu, 4294967.295},
        {DecodeFirmwareVersion, 0x00000096u, 1.5},
        {DecodeFirmwareVersion, 0x12340096u, 1.5}, // high half ignored
        {DecodeFirmwareVersion, 0x0000FFFFu, 655.35},
        {DecodeLogicVersion, 0x00000096u, 1.5},
        {DecodeLogicVersion, 0x80000000u, 21474836.48},
        {DecodeLogicVersion, 0xFFFFFFFFu, 42949672.95},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.decode(c.raw), c.expected) << std::hex << c.raw;
    }
}

TEST(Encodings, TriggerControlsPacking)
{
    struct Case {
        int32_t n0, n1, n2Code, n3, n4, n5, n6, b30, b31;
        uint32_t word;
    };
    const Case cases[] = {
        {0x1F, 2, 2, 0xF, 0, 0, 3, 1, 0, 0x4300F12Fu},
        {0, 0, 4, 0, 0, 0, 0, 0, 0, 0x00000200u},
        {0, 0, 1, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 3, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 8, 0, 0, 0, 0, 0, 0, 0},
        {1, 2, 0, 3, 4, 5, 6, 0, 1, 0x86543021u},
        // Every bit of every argument set: the masks drop the excess, and
        // bits 28-29 stay clear.
        {-1, -1, -1, -1, -1, -1, -1, -1, -1, 0xCFFFF0FFu},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(PackTriggerControls(c.n0, c.n1, c.n2Code, c.n3, c.n4, c.n5, c.n6, c.b30, c.b31),
                  c.word)
            << std::hex << c.word;
    }
}

TEST(Encodings, TriggerControlsReadKeepsNibble2OnlyWhenTwoOrFour)
{
    struct Case {
        uint32_t raw, handed;
    };
    const Case cases[] = {
        {0x00000100u, 0},           {0x00000200u, 0x00000200u}, {0x00000400u, 0x00000400u},
        {0x00000300u, 0},           {0x00000F00u, 0},           {0xFFFFFFFFu, 0xFFFFF0FFu},
        {0x4300F12Fu, 0x4300F02Fu}, {0xFFFFF4FFu, 0xFFFFF4FFu},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(FixTriggerControlsRead(c.raw), c.handed) << std::hex << c.raw;
    }
}

TEST(Encodings, PositionDivisors)
{
    const struct {
        int32_t multiplier, analog, micrometer;
    } cases[] = {
        {kMin, 8, 1}, {-7, 8, 1}, {-4, 8, 1},    {0, 8, 1},       {2, 8, 2},       {3, 8, 1},
        {4, 8, 4},    {8, 8, 1},  {100, 100, 1}, {1023, 1023, 1}, {1024, 1023, 1}, {5000, 1023, 1},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(AnalogDivisor(c.multiplier), c.analog) << c.multiplier;
        EXPECT_EQ(MicrometerDivisor(c.multiplier), c.micrometer) << c.multiplier;
    }
}

TEST(Encodings, CountsToLengthMultipliesBeforeDividing)
{
    struct Case {
        int32_t count;
        double period;
        int32_t divisor, length;
    };
    const Case cases[] = {
        {1000, 20.0, 1023, 19}, // 19.55...
        {100, 0.7, 10, 7},      // 70 / 10; dividing first would give 6
        {1000, 20.0, 4, 5000},  {3, 1.0, 2, 1},
        {-3, 1.0, 2, -1}, // toward zero, not downward
        {kMin, 1.0, 1, kMin},   {kMax, -1.0, 1, -kMax},
        {12345, 0.0, 8, 0},
    };
    for (const Case &c : cases) {
        int32_t length = 0;
        ASSERT_TRUE(CountsToLength(c.count, c.period, c.divisor, length)) << c.count;
        EXPECT_EQ(length, c.length) << c.count << " x " << c.period << " / " << c.divisor;
    }
    for (double period : {kNaN, kInf, -kInf, 2.0}) {
        int32_t length = 77;
        EXPECT_FALSE(CountsToLength(kMax, period, 1, length)) << period;
        EXPECT_EQ(length, 77);
    }
}

TEST(Encodings, LengthToCounts)
{
    struct Case {
        int32_t position, multiplier;
        double period;
        int32_t counts;
    };
    const Case cases[] = {
        {1000, 4, 20.0, 200},
        {7, 1, 2.0, 3},
        {-7, 1, 2.0, -3},
        {kMax, 2, 2.0, kMax},            // the product does not wrap to -2
        {65536, 65536, 4.0, 1073741824}, // nor to 0
        {1000, -3, 0.5, -6000},
    };
    for (const Case &c : cases) {
        int32_t counts = 0;
        ASSERT_TRUE(LengthToCounts(c.position, c.multiplier, c.period, counts)) << c.position;
        EXPECT_EQ(counts, c.counts) << c.position << " x " << c.multiplier << " / " << c.period;
    }
    const Case refused[] = {
        {1000, 4, 0.0, 0}, {1000, 4, -0.0, 0},   {1000, 4, kNaN, 0}, {1000, 4, kInf, 0},
        {1, 1, 1e-300, 0}, {kMax, kMax, 1.0, 0}, {kMin, 1, 0.5, 0},
    };
    for (const Case &c : refused) {
        int32_t counts = 77;
        EXPECT_FALSE(LengthToCounts(c.position, c.multiplier, c.period, counts)) << c.period;
        EXPECT_EQ(counts, 77);
    }
}

} // namespace
