// The register model with a clock of the test's own: motion, crossings and
// clears are exact here; the pty tests only check them loosely.
#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "sim/model.h"

namespace zorsim {
namespace {

using std::chrono::milliseconds;

constexpr uint32_t Ob(int32_t position)
{
    return static_cast<uint32_t>(position) + kOffsetBinaryZero;
}

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override { model.PowerUp(t0, 0); }
    uint32_t Read(uint16_t address, Clock::time_point at)
    {
        uint32_t value = 0;
        EXPECT_EQ(model.Read(address, value, at), kStatusOk) << address;
        return value;
    }
    uint8_t Write(uint16_t address, uint32_t value, Clock::time_point at)
    {
        return model.Write(address, value, at);
    }

    Clock::time_point t0 = Clock::now();
    Model model{""};
};

TEST_F(ModelTest, EncoderMovesAtItsFrequencyInItsDirection)
{
    Write(reg::kVencFrequency + 1, 1000, t0);
    Write(reg::kVencFrequency + 2, 1000, t0);
    Write(reg::Channel(2, reg::kEncDirection), 1, t0);
    EXPECT_EQ(Read(reg::kEncPosition + 1, t0 + milliseconds(1500)), Ob(1500));
    EXPECT_EQ(Read(reg::kEncPosition + 2, t0 + milliseconds(1500)), Ob(-1500));
    EXPECT_EQ(Read(reg::kEncPosition + 0, t0 + milliseconds(1500)), Ob(0));
    // A new frequency applies from the moment it is written.
    Write(reg::kVencFrequency + 1, 4000, t0 + milliseconds(2000));
    EXPECT_EQ(Read(reg::kEncPosition + 1, t0 + milliseconds(2500)), Ob(4000));
    // Turning round keeps the position reached.
    Write(reg::Channel(1, reg::kEncDirection), 7, t0 + milliseconds(2500));
    EXPECT_EQ(Read(reg::kEncPosition + 1, t0 + milliseconds(3000)), Ob(2000));
}

TEST_F(ModelTest, TriggersCountArrivalsInBothDirectionsAndAcrossTheWrap)
{
    const uint16_t count = reg::kTrgCount + 3;
    Write(reg::Channel(3, reg::kTrgPosition0), Ob(100), t0);
    Write(reg::Channel(3, reg::kTrgPosition1), Ob(-50), t0);
    Write(reg::kVencFrequency + 3, 1000, t0);
    EXPECT_EQ(Read(count, t0 + milliseconds(99)), 0u);
    EXPECT_EQ(Read(count, t0 + milliseconds(100)), 1u); // arrives at 100
    Write(reg::Channel(3, reg::kEncDirection), 1, t0 + milliseconds(200));
    EXPECT_EQ(Read(count, t0 + milliseconds(450)), 3u); // 100 again and -50
    // Positions wrap: from just below the top, 1000 counts up pass both ends.
    const Clock::time_point t1 = t0 + milliseconds(450);
    Write(reg::Channel(3, reg::kTrgPosition0), Ob(INT32_MAX), t1);
    Write(reg::Channel(3, reg::kTrgPosition1), Ob(INT32_MIN), t1);
    model.Poke(reg::kEncPosition + 3, Ob(0x7FFFFF00), t1);
    Write(reg::Channel(3, reg::kEncDirection), 0, t1);
    Write(reg::kVencFrequency + 3, 1000000, t1);
    EXPECT_EQ(Read(count, t1 + milliseconds(1)), 5u);
    EXPECT_EQ(Read(reg::kEncPosition + 3, t1 + milliseconds(1)),
              Ob(static_cast<int32_t>(0x7FFFFF00u + 1000u)));
}

TEST_F(ModelTest, ClearMaskClearsExactlyWhatItNames)
{
    struct Case {
        uint32_t mask;
        std::vector<uint16_t> cleared;
    };
    const Case cases[] = {
        {1u << 3, {reg::kDiCount + 3}},
        {0x7F, {0x0501, 0x0502, 0x0503, 0x0504, 0x0505, 0x0506, 0x0507}},
        {0x80u << 2, {reg::kTrgCount + 2}},
        {0x800u << 1, {reg::kEncPosition + 1}},
        {0x8000u << 3, {reg::kTrgErrorCount + 3}},
        {0x78000, {0x0510, 0x0511, 0x0512, 0x0513}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mask);
        model.PowerUp(t0, 0);
        model.Poke(reg::Channel(1, reg::kEncResetValue), Ob(-5), t0);
        std::vector<uint16_t> all;
        for (uint16_t a = reg::kDiCount; a < reg::kTrgErrorCount + kChannels; ++a) {
            model.Poke(a, a == reg::kEncPosition + 1 ? Ob(1234) : 9, t0);
            all.push_back(a);
        }
        EXPECT_EQ(Write(reg::kClear, c.mask, t0), kStatusOk);
        for (uint16_t a : all) {
            const bool cleared =
                std::find(c.cleared.begin(), c.cleared.end(), a) != c.cleared.end();
            const uint32_t before = a == reg::kEncPosition + 1 ? Ob(1234) : 9;
            const uint32_t after = a == reg::kEncPosition + 1 ? Ob(-5) : 0;
            EXPECT_EQ(model.Peek(a, t0), cleared ? after : before) << std::hex << a;
        }
    }
}

TEST_F(ModelTest, InputsCountRisingEdges)
{
    model.SetInputs(0x55);
    model.SetInputs(0x00);
    model.SetInputs(0xFF); // bit 7 is no input
    EXPECT_EQ(model.Peek(reg::kDiState, t0), 0x7Fu);
    for (int n = 0; n < kInputs; ++n) {
        EXPECT_EQ(model.Peek(reg::kDiCount + n, t0), n % 2 == 0 ? 2u : 1u) << n;
    }
}

TEST_F(ModelTest, FlashAndDefaultsKeepCounters)
{
    Write(reg::kTrgMode, 3, t0);
    EXPECT_EQ(Write(reg::kSaveFlash, 1, t0), kStatusOk);
    Write(reg::kTrgMode, 4, t0);
    model.Poke(reg::kTrgCount, 5, t0);
    EXPECT_EQ(Write(reg::kLoadFlash, 1, t0), kStatusOk);
    EXPECT_EQ(Read(reg::kTrgMode, t0), 3u);
    EXPECT_EQ(Read(reg::kTrgCount, t0), 5u);
    EXPECT_EQ(Write(reg::kLoadDefaults, 1, t0), kStatusOk);
    EXPECT_EQ(Read(reg::kTrgMode, t0), 0u);
    EXPECT_EQ(Read(reg::Channel(3, reg::kTrgPulseWidth), t0), 100u);
    EXPECT_EQ(Read(reg::kTrgCount, t0), 5u);
    model.PowerUp(t0, 0); // in-memory flash survives a power cycle
    EXPECT_EQ(Read(reg::kTrgMode, t0), 3u);
    EXPECT_EQ(Read(reg::kTrgCount, t0), 0u);

    Model unwritable("/nonexistent-dir/flash");
    unwritable.PowerUp(t0, 0);
    uint32_t one = 1;
    EXPECT_EQ(unwritable.Write(reg::kSaveFlash, one, t0), kStatusFlashError);
}

// The simulated board answers every register as the register table says: a
// read of a write-only register and a write of a read-only one are refused,
// addresses between the registers are unknown.
TEST_F(ModelTest, AnswersEveryRegisterAsTheTableSays)
{
    for (const RegisterSpec &desc : kRegisterTable) {
        ForEachInstance(desc.placement, desc.address, [&](uint16_t address, int32_t, int32_t) {
            SCOPED_TRACE(std::string(desc.name) + " at " + std::to_string(address));
            uint32_t value = 0;
            EXPECT_EQ(model.Read(address, value, t0),
                      Readable(desc.access) ? kStatusOk : kStatusWriteOnly);
            if (!Writable(desc.access)) {
                EXPECT_EQ(Write(address, 0, t0), kStatusReadOnly);
            }
        });
    }
    for (uint16_t address : {0x0006, 0x030D, 0x0404, 0x0514, 0x04FF, 0xF007, 0xF00B, 0xFFFF}) {
        uint32_t value = 0;
        EXPECT_EQ(model.Read(address, value, t0), kStatusUnknownAddress) << address;
        EXPECT_EQ(Write(address, 0, t0), kStatusUnknownAddress) << address;
    }
}

TEST_F(ModelTest, PowersUpWithTheDocumentedDefaults)
{
    const struct {
        uint16_t address;
        uint32_t value;
    } cases[] = {
        {reg::Channel(2, reg::kEncMultiAnalog), 4},
        {reg::Channel(1, reg::kTrgPulseWidth), 100},
        {reg::Channel(3, reg::kTrgPosition0), kOffsetBinaryZero},
        {reg::Channel(0, reg::kEncResetValue), kOffsetBinaryZero},
        {IndexTriggerRegister(3, BOARD_INDEX_TRIGGERS - 1), kOffsetBinaryZero},
        {reg::Channel(2, reg::kTrgDelay), 0},
        {reg::Channel(2, reg::kEncDirection), 0},
        {reg::kVencFrequency + 3, 0},
        {reg::kEncResolution, 1000},
        {reg::kTrgMode, 0},
        {reg::kEncPosition + 1, kOffsetBinaryZero},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(Read(c.address, t0), c.value) << c.address;
    }
}

} // namespace
} // namespace zorsim
