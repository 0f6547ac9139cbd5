// The board functions through their exported entries: the request each setter
// puts on the line, the decoding of each getter, the range checks and the
// refused conversions. Runs in every build, so that both DLLs convert alike.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "capture.h"
#include "device/registers.h"
#include "protocol/codec.h"
#include "test_board.h"

using namespace testboard;

namespace {

std::string WriteFrame(uint16_t address, uint32_t value)
{
    uint8_t frame[zorenc::protocol::kMaxFrame];
    const int32_t n = zorenc::protocol::EncodeFrame('W', address, value, frame);
    return Hex(std::vector<uint8_t>(frame, frame + n));
}

class Device : public ::testing::Test {
protected:
    void SetUp() override { h = OpenFresh(); }
    void TearDown() override
    {
        StdoutCapture quiet;
        ZorEncRelease();
    }
    ZorEncHandle h = 0;
};

struct SetterCase {
    const char *name;
    std::function<ZorEncResult(ZorEncHandle)> call;
    uint16_t address;
    uint32_t value;
};

TEST_F(Device, SettersPutOneExactWriteOnTheLine)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    (void)nan;
    const SetterCase cases[] = {
        {"reset value", [](ZorEncHandle x) { return ZorEncSetEncoderResetValue(x, 1, -5); }, 0x010B,
         0x7FFFFFFB},
        {"trigger position 0", [](ZorEncHandle x) { return ZorEncSetTriggerPosition0(x, 1, 0); },
         0x0102, 0x80000000},
        {"index trigger", [](ZorEncHandle x) { return ZorEncSetIndexTriggerPosition(x, 3, 5, -1); },
         0x0315, 0x7FFFFFFF},
        {"generator", [](ZorEncHandle x) { return ZorEncSetTriggerGenerator(x, 2, 0x12345, -1); },
         0x0201, 0x2345FFFF},
        {"controls each",
         [](ZorEncHandle x) {
             return ZorEncSetTriggerControlsEachTrigger(x, 0, 0x1F, 2, 2, 0xF, 0, 0, 3, 1, 0);
         },
         0x0000, 0x4300F12F},
        {"delay 0.29", [](ZorEncHandle x) { return ZorEncSetTriggerDelay(x, 0, 0.29); }, 0x000A,
         28},
        {"delay -1.239", [](ZorEncHandle x) { return ZorEncSetTriggerDelay(x, 0, -1.239); }, 0x000A,
         0xFFFFFF85},
        {"pulse width", [](ZorEncHandle x) { return ZorEncSetTriggerPulseWidth(x, 3, 1.5); },
         0x0309, 150},
        {"resolution 1.005", [](ZorEncHandle x) { return ZorEncSetEncoderResolution(x, 1.005); },
         0xF006, 1004},
        {"resolution max",
         [](ZorEncHandle x) { return ZorEncSetEncoderResolution(x, 4294967.295); }, 0xF006,
         0xFFFFFFFF},
        {"micrometre",
         [](ZorEncHandle x) { return ZorEncSetTriggerPositionMicrometer0(x, 0, 1000, 4, 20.0, 1); },
         0x0002, 0x800000C8},
        {"micrometre -7",
         [](ZorEncHandle x) { return ZorEncSetTriggerPositionMicrometer1(x, 2, -7, 1, 2.0, 1); },
         0x0203, 0x7FFFFFFD},
        {"frequency", [](ZorEncHandle x) { return ZorEncSetVirtualEncoderFrequency(x, 3, 5000); },
         0x0403, 5000},
        {"save flash", [](ZorEncHandle x) { return ZorEncSaveFlash(x); }, 0xF003, 1},
        {"clear all", [](ZorEncHandle x) { return ZorEncClearAll(x); }, 0xF005, 0xFFFFFFFF},
        {"clear di 6", [](ZorEncHandle x) { return ZorEncClearDiCount(x, 6); }, 0xF005, 0x40},
        {"clear errors 3", [](ZorEncHandle x) { return ZorEncClearErrorCount(x, 3); }, 0xF005,
         0x40000},
        {"calibration", [](ZorEncHandle x) { return ZorEncStartCalibration(x, 2); }, 0x0205, 1},
    };
    for (const SetterCase &c : cases) {
        EXPECT_EQ(c.call(h), ZORENC_OK) << c.name;
        EXPECT_EQ(Hex(Request(h)), WriteFrame(c.address, c.value)) << c.name;
    }
}

TEST_F(Device, GettersDecodeTheStoredRegister)
{
    Poke(h, 0x050E, 0x800003E8);
    int32_t position = 0;
    EXPECT_EQ(ZorEncGetEncoderPosition(h, 2, &position), ZORENC_OK);
    EXPECT_EQ(position, 1000);

    Poke(h, 0xF000, 0x12340096);
    Poke(h, 0xF001, 0xFFFFFFFF);
    double firmware = 0, logic = 0;
    EXPECT_EQ(ZorEncGetFirmwareVersion(h, &firmware), ZORENC_OK);
    EXPECT_EQ(ZorEncGetLogicVersion(h, &logic), ZORENC_OK);
    EXPECT_DOUBLE_EQ(firmware, 1.5);
    EXPECT_DOUBLE_EQ(logic, 42949672.95);

    Poke(h, 0xF006, 0xFFFFFFFF);
    double resolution = 0;
    EXPECT_EQ(ZorEncGetEncoderResolution(h, &resolution), ZORENC_OK);
    EXPECT_DOUBLE_EQ(resolution, 4294967.295);

    Poke(h, 0x010A, 0xFFFFFF9C);
    double delay = 0, width = 0;
    EXPECT_EQ(ZorEncGetTriggerDelay(h, 1, &delay), ZORENC_OK);
    EXPECT_DOUBLE_EQ(delay, -1.0);
    Poke(h, 0x0109, 250);
    EXPECT_EQ(ZorEncGetTriggerPulseWidth(h, 1, &width), 0.0);
    EXPECT_DOUBLE_EQ(width, 2.5);

    Poke(h, 0x0301, 0xABCD1234);
    int32_t upper = 0, lower = 0;
    EXPECT_EQ(ZorEncGetTriggerGenerator(h, 3, &upper, &lower), ZORENC_OK);
    EXPECT_EQ(upper, 43981);
    EXPECT_EQ(lower, 4660);

    Poke(h, 0x0000, 0xFFFFFFFF);
    TriggerControls controls{};
    EXPECT_EQ(ZorEncGetTriggerControls(h, 0, &controls), ZORENC_OK);
    uint32_t word = 0;
    static_assert(sizeof controls == 4, "the control word is 32 bits");
    std::memcpy(&word, &controls, 4);
    EXPECT_EQ(word, 0xFFFFF0FFu);

    SetInputs(h, 0x55);
    int32_t in[7] = {};
    EXPECT_EQ(ZorEncGetDI(h, &in[0], &in[1], &in[2], &in[3], &in[4], &in[5], &in[6]), ZORENC_OK);
    EXPECT_EQ(in[0] + in[2] + in[4] + in[6], 4);
    EXPECT_EQ(in[1] + in[3] + in[5], 0);
    int32_t state = -1;
    EXPECT_EQ(ZorEncGetDIState(h, 6, &state), ZORENC_OK);
    EXPECT_EQ(state, 1);

    Poke(h, 0x050C, 0x80000000u + 1000);
    int32_t microns = 0, analog = 0;
    EXPECT_EQ(ZorEncGetEncoderPositionMicrometer(h, 0, 4, 20.0, &microns), ZORENC_OK);
    EXPECT_EQ(microns, 5000);
    EXPECT_EQ(ZorEncGetEncoderPositionForAnalog(h, 0, 1024, 20.0, &analog), ZORENC_OK);
    EXPECT_EQ(analog, 19);
}

TEST_F(Device, OutOfRangeArgumentsSendNothing)
{
    const uint32_t before = RequestCount(h);
    int32_t out = 12345;
    double real = 0.5;
    const std::vector<std::pair<const char *, ZorEncResult>> calls = {
        {"direction 4", ZorEncGetEncoderDirection(h, 4, &out)},
        {"direction -1", ZorEncSetEncoderDirection(h, -1, 1)},
        {"position 4", ZorEncGetEncoderPosition(h, 4, &out)},
        {"trigger position 256", ZorEncSetTriggerPosition0(h, 256, 1)},
        {"controls 4", ZorEncSetTriggerControlsEachTrigger(h, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0)},
        {"index 0xF0", ZorEncSetIndexTriggerPosition(h, 0, 0xF0, 1)},
        {"index -1", ZorEncGetIndexTriggerPosition(h, 0, -1, &out)},
        {"input 7", ZorEncGetDIState(h, 7, &out)},
        {"count input -1", ZorEncGetDiCount(h, -1, &out)},
        {"clear input 7", ZorEncClearDiCount(h, 7)},
        {"clear channel 4", ZorEncClearTriggerCount(h, 4)},
        {"frequency 4", ZorEncGetVirtualEncoderFrequency(h, 4, &out)},
        {"delay 4", ZorEncGetTriggerDelay(h, 4, &real)},
    };
    for (const auto &c : calls) {
        EXPECT_EQ(c.second, ZORENC_ERR_CHANNEL) << c.first;
    }
    EXPECT_EQ(ZorEncGetTriggerPulseWidth(h, 9, &real), static_cast<double>(ZORENC_ERR_CHANNEL));
    EXPECT_EQ(out, 12345);
    EXPECT_EQ(real, 0.5);
    EXPECT_EQ(RequestCount(h), before);
}

TEST_F(Device, UnrepresentableValuesAreRefusedAndSendNothing)
{
    const uint32_t before = RequestCount(h);
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    int32_t out = 77;
    const std::vector<std::pair<const char *, ZorEncResult>> calls = {
        {"delay nan", ZorEncSetTriggerDelay(h, 0, nan)},
        {"delay inf", ZorEncSetTriggerDelay(h, 0, inf)},
        {"delay too big", ZorEncSetTriggerDelay(h, 0, 3e7)},
        {"width -inf", ZorEncSetTriggerPulseWidth(h, 0, -inf)},
        {"resolution negative", ZorEncSetEncoderResolution(h, -0.5)},
        {"resolution 2^32", ZorEncSetEncoderResolution(h, 4294967.296)},
        {"resolution nan", ZorEncSetEncoderResolution(h, nan)},
        {"micrometre period 0", ZorEncSetTriggerPositionMicrometer0(h, 0, 1000, 4, 0.0, 1)},
        {"micrometre overflow", ZorEncSetTriggerPositionMicrometer1(h, 0, INT32_MAX, 4, 1.0, 1)},
        {"null controls", ZorEncSetTriggerControls(h, 0, nullptr)},
        {"analog nan period", ZorEncGetEncoderPositionForAnalog(h, 0, 8, nan, &out)},
    };
    for (const auto &c : calls) {
        EXPECT_EQ(c.second, ZORENC_ERR_PARAM) << c.first;
    }
    EXPECT_EQ(out, 77);
    EXPECT_EQ(RequestCount(h), before);
    // Without conversion the period is not used at all.
    EXPECT_EQ(ZorEncSetTriggerPositionMicrometer0(h, 0, 1000, 4, 0.0, 0), ZORENC_OK);
    EXPECT_EQ(Hex(Request(h)), WriteFrame(0x0002, 0x800003E8));
}

TEST_F(Device, AGetterAfterATimeOutStoresTheZeroRegister)
{
    int32_t position = 5;
    Fault(h, zorsim::Fault::kSilence);
    EXPECT_EQ(ZorEncGetTriggerPosition1(h, 0, &position), ZORENC_ERR_TIMEOUT);
    EXPECT_EQ(position, INT32_MIN);
}

} // namespace
