// Every device function through its exported entry, against the simulated
// board: the register and value each one sends, the decoding of what each one
// reads, and the arguments that must not reach the line at all.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/codec.h"
#include "sim/board.h"
#include "zorenc.h"

namespace {

using H = ZorEncHandle;
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TriggerControls ControlsOf(uint32_t word)
{
    TriggerControls controls;
    std::memcpy(&controls, &word, sizeof controls);
    return controls;
}

uint32_t WordOf(const TriggerControls &controls)
{
    uint32_t word = 0;
    std::memcpy(&word, &controls, sizeof word);
    return word;
}

class DeviceFunctions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(board_.Start());
        handle_ = ZorEncCreateHandler();
        ASSERT_NE(handle_, 0);
        ASSERT_TRUE(ZorEncOpen(handle_, board_.SlavePath().c_str()));
    }
    void TearDown() override
    {
        ZorEncCloseHandler(handle_);
        board_.Stop();
    }

    // The requests the board received since the last call, decoded.
    std::vector<zorenc::protocol::EncReply> Sent()
    {
        std::vector<zorenc::protocol::EncReply> sent;
        for (const std::vector<uint8_t> &frame : board_.Requests()) {
            sent.push_back(
                zorenc::protocol::DecodeReply(frame.data(), static_cast<int32_t>(frame.size())));
        }
        board_.ClearRequests();
        return sent;
    }

    // Asserts that exactly one request went out: command, address and value.
    void ExpectOneRequest(char command, uint16_t address, uint32_t value, const char *name)
    {
        const auto sent = Sent();
        ASSERT_EQ(sent.size(), 1u) << name;
        EXPECT_EQ(sent[0].command, command) << name;
        EXPECT_EQ(sent[0].address, address) << name;
        EXPECT_EQ(sent[0].value, value) << name;
    }

    zorsim::Board board_;
    H handle_ = 0;
};

TEST_F(DeviceFunctions, SettersSendOneWriteOfTheEncodedValue)
{
    struct Case {
        const char *name;
        ZorEncResult (*call)(H);
        uint16_t address;
        uint32_t value;
    };
    const Case cases[] = {
        {"EncoderDirection", [](H h) { return ZorEncSetEncoderDirection(h, 1, 1); }, 0x0107, 1},
        {"EncoderInversion", [](H h) { return ZorEncSetEncoderInversion(h, 0, 1); }, 0x0007, 1},
        {"MultiForAnalog", [](H h) { return ZorEncSetEncoderMultiForAnalog(h, 2, 512); }, 0x0204,
         512},
        {"ResetValue", [](H h) { return ZorEncSetEncoderResetValue(h, 1, -5); }, 0x010B,
         0x7FFFFFFB},
        {"StartCalibration", [](H h) { return ZorEncStartCalibration(h, 3); }, 0x0305, 1},
        {"StopCalibration", [](H h) { return ZorEncStopCalibration(h, 3); }, 0x0305, 0},
        {"Resolution", [](H h) { return ZorEncSetEncoderResolution(h, 1.005); }, 0xF006, 1004},
        {"PositiveRun", [](H h) { return ZorEncSetPositiveRun(h, 7); }, 0xF008, 7},
        {"NegativeRun", [](H h) { return ZorEncSetNegativeRun(h, -7); }, 0xF009, 0xFFFFFFF9},
        {"TrgMode", [](H h) { return ZorEncSetTrgMode(h, 2); }, 0xF00A, 2},
        {"VirtualEncoderFrequency",
         [](H h) { return ZorEncSetVirtualEncoderFrequency(h, 3, 1000); }, 0x0403, 1000},
        {"LoadDefaultParameters", [](H h) { return ZorEncLoadDefaultParameters(h); }, 0xF002, 1},
        {"SaveFlash", [](H h) { return ZorEncSaveFlash(h); }, 0xF003, 1},
        {"LoadFlash", [](H h) { return ZorEncLoadFlash(h); }, 0xF004, 1},
        {"TriggerControls",
         [](H h) {
             const TriggerControls controls = ControlsOf(0xF300F12F); // bits 28-29 kept
             return ZorEncSetTriggerControls(h, 1, &controls);
         },
         0x0100, 0xF300F12F},
        {"TriggerControlsEachTrigger",
         [](H h) {
             return ZorEncSetTriggerControlsEachTrigger(h, 2, 0x1F, 2, 2, 0xF, 0, 0, 3, 1, 0);
         },
         0x0200, 0x4300F12F},
        {"TriggerGenerator", [](H h) { return ZorEncSetTriggerGenerator(h, 0, 0x12345, -1); },
         0x0001, 0x2345FFFF},
        {"TriggerGeneratorRoll", [](H h) { return ZorEncSetTriggerGeneratorRoll(h, 1, -2); },
         0x0101, 0xFFFFFFFE},
        {"TriggerOutputMode", [](H h) { return ZorEncSetTriggerOutputMode(h, 2, 3); }, 0x0208, 3},
        {"TriggerPosition0", [](H h) { return ZorEncSetTriggerPosition0(h, 1, 0); }, 0x0102,
         0x80000000},
        {"TriggerPosition1", [](H h) { return ZorEncSetTriggerPosition1(h, 3, kMin); }, 0x0303, 0},
        {"Micrometer0",
         [](H h) { return ZorEncSetTriggerPositionMicrometer0(h, 1, 1000, 4, 20.0, 1); }, 0x0102,
         0x800000C8},
        {"Micrometer1 unconverted",
         [](H h) { return ZorEncSetTriggerPositionMicrometer1(h, 2, 1000, 4, 0.0, 0); }, 0x0203,
         0x800003E8},
        {"PulseWidth", [](H h) { return ZorEncSetTriggerPulseWidth(h, 0, 1.5); }, 0x0009, 150},
        {"Delay", [](H h) { return ZorEncSetTriggerDelay(h, 3, -1.239); }, 0x030A, 0xFFFFFF85},
        {"IndexTriggerLastIndex", [](H h) { return ZorEncSetIndexTriggerLastIndex(h, 1, 17); },
         0x010C, 17},
        {"IndexTriggerPosition", [](H h) { return ZorEncSetIndexTriggerPosition(h, 3, 5, -1); },
         0x0315, 0x7FFFFFFF},
        {"IndexTriggerPosition last slot",
         [](H h) { return ZorEncSetIndexTriggerPosition(h, 0, 0xEF, 1); }, 0x00FF, 0x80000001},
        {"ClearAll", [](H h) { return ZorEncClearAll(h); }, 0xF005, 0xFFFFFFFF},
        {"ClearDiAll", [](H h) { return ZorEncClearDiAll(h); }, 0xF005, 0x7F},
        {"ClearDiCount", [](H h) { return ZorEncClearDiCount(h, 6); }, 0xF005, 0x40},
        {"ClearTriggerAll", [](H h) { return ZorEncClearTriggerAll(h); }, 0xF005, 0x780},
        {"ClearTriggerCount", [](H h) { return ZorEncClearTriggerCount(h, 3); }, 0xF005, 0x400},
        {"ClearEncoderPositionAll", [](H h) { return ZorEncClearEncoderPositionAll(h); }, 0xF005,
         0x7800},
        {"ClearEncoderPosition", [](H h) { return ZorEncClearEncoderPosition(h, 2); }, 0xF005,
         0x2000},
        {"ClearErrorCountAll", [](H h) { return ZorEncClearErrorCountAll(h); }, 0xF005, 0x78000},
        {"ClearErrorCount", [](H h) { return ZorEncClearErrorCount(h, 3); }, 0xF005, 0x40000},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.call(handle_), ZORENC_OK) << c.name;
        ExpectOneRequest('W', c.address, c.value, c.name);
    }
}

// Getter tables: the register poked, its raw content, the call, the decoding.
template <typename T> struct ReadCase {
    const char *name;
    uint16_t address;
    uint32_t raw;
    ZorEncResult (*call)(H, T *);
    T expected;
};

TEST_F(DeviceFunctions, IntegerGettersDecodeTheStoredValue)
{
    const ReadCase<int32_t> cases[] = {
        {"EncoderPosition", 0x050E, 0x800003E8,
         [](H h, int32_t *v) { return ZorEncGetEncoderPosition(h, 2, v); }, 1000},
        {"PositionForAnalog", 0x050D, 0x800003E8,
         [](H h, int32_t *v) { return ZorEncGetEncoderPositionForAnalog(h, 1, 1024, 20.0, v); },
         19},
        {"PositionMicrometer", 0x050C, 0x800003E8,
         [](H h, int32_t *v) { return ZorEncGetEncoderPositionMicrometer(h, 0, 4, 20.0, v); },
         5000},
        {"EncoderDirection", 0x0207, 1,
         [](H h, int32_t *v) { return ZorEncGetEncoderDirection(h, 2, v); }, 1},
        {"EncoderInversion", 0x0307, 1,
         [](H h, int32_t *v) { return ZorEncGetEncoderInversion(h, 3, v); }, 1},
        {"MultiForAnalog", 0x0104, 300,
         [](H h, int32_t *v) { return ZorEncGetEncoderMultiForAnalog(h, 1, v); }, 300},
        {"ResetValue", 0x010B, 0,
         [](H h, int32_t *v) { return ZorEncGetEncoderResetValue(h, 1, v); }, kMin},
        {"PositiveRun", 0xF008, 0xFFFFFFF9,
         [](H h, int32_t *v) { return ZorEncGetPositiveRun(h, v); }, -7},
        {"NegativeRun", 0xF009, 12, [](H h, int32_t *v) { return ZorEncGetNegativeRun(h, v); }, 12},
        {"TrgMode", 0xF00A, 3, [](H h, int32_t *v) { return ZorEncGetTrgMode(h, v); }, 3},
        {"VirtualEncoderFrequency", 0x0403, 250,
         [](H h, int32_t *v) { return ZorEncGetVirtualEncoderFrequency(h, 3, v); }, 250},
        {"TriggerControls", 0x0100, 0xFFFFFFFF,
         [](H h, int32_t *v) {
             TriggerControls controls = ControlsOf(0);
             const ZorEncResult r = ZorEncGetTriggerControls(h, 1, &controls);
             *v = static_cast<int32_t>(WordOf(controls));
             return r;
         },
         static_cast<int32_t>(0xFFFFF0FF)},
        {"TriggerGeneratorRoll", 0x0201, 0xABCD1234,
         [](H h, int32_t *v) { return ZorEncGetTriggerGeneratorRoll(h, 2, v); },
         static_cast<int32_t>(0xABCD1234)},
        {"TriggerOutputMode", 0x0308, 2,
         [](H h, int32_t *v) { return ZorEncGetTriggerOutputMode(h, 3, v); }, 2},
        {"TriggerPosition0", 0x0002, 0x7FFFFFFF,
         [](H h, int32_t *v) { return ZorEncGetTriggerPosition0(h, 0, v); }, -1},
        {"TriggerPosition1", 0x0103, 0,
         [](H h, int32_t *v) { return ZorEncGetTriggerPosition1(h, 1, v); }, kMin},
        {"IndexTriggerLastIndex", 0x010C, 9,
         [](H h, int32_t *v) { return ZorEncGetIndexTriggerLastIndex(h, 1, v); }, 9},
        {"IndexTriggerPosition", 0x0315, 0x80000005,
         [](H h, int32_t *v) { return ZorEncGetIndexTriggerPosition(h, 3, 5, v); }, 5},
        {"DIState input 6", 0x0500, 0x40, [](H h, int32_t *v) { return ZorEncGetDIState(h, 6, v); },
         1},
        {"DIState input 1", 0x0500, 0xBD, [](H h, int32_t *v) { return ZorEncGetDIState(h, 1, v); },
         0},
        {"DiCount input 6", 0x0507, 42, [](H h, int32_t *v) { return ZorEncGetDiCount(h, 6, v); },
         42},
        {"TriggerCount", 0x050B, 7, [](H h, int32_t *v) { return ZorEncGetTriggerCount(h, 3, v); },
         7},
        {"TriggerErrorCount", 0x0510, 0xFFFFFFFF,
         [](H h, int32_t *v) { return ZorEncGetTriggerErrorCount(h, 0, v); }, -1},
    };
    for (const auto &c : cases) {
        board_.Set(c.address, c.raw);
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(c.call(handle_, &out), ZORENC_OK) << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
        ExpectOneRequest('R', c.address, 0, c.name);
    }
}

TEST_F(DeviceFunctions, DoubleGettersDecodeTheStoredValue)
{
    const ReadCase<double> cases[] = {
        {"Resolution", 0xF006, 0xFFFFFFFF,
         [](H h, double *v) { return ZorEncGetEncoderResolution(h, v); }, 4294967.295},
        {"FirmwareVersion", 0xF000, 0x12340096,
         [](H h, double *v) { return ZorEncGetFirmwareVersion(h, v); }, 1.5},
        {"LogicVersion", 0xF001, 0x80000000,
         [](H h, double *v) { return ZorEncGetLogicVersion(h, v); }, 21474836.48},
        {"PulseWidth", 0x0209, 150,
         [](H h, double *v) {
             return static_cast<ZorEncResult>(ZorEncGetTriggerPulseWidth(h, 2, v));
         },
         1.5},
        {"Delay", 0x030A, 0xFFFFFF9C, [](H h, double *v) { return ZorEncGetTriggerDelay(h, 3, v); },
         -1.0},
    };
    for (const auto &c : cases) {
        board_.Set(c.address, c.raw);
        double out = -777.0;
        EXPECT_EQ(c.call(handle_, &out), ZORENC_OK) << c.name;
        EXPECT_EQ(out, c.expected) << c.name;
        ExpectOneRequest('R', c.address, 0, c.name);
    }
}

TEST_F(DeviceFunctions, GeneratorHalvesLowerFirst)
{
    board_.Set(0x0201, 0xABCD1234);
    int32_t upper = -1, lower = -1;
    EXPECT_EQ(ZorEncGetTriggerGenerator(handle_, 2, &upper, &lower), ZORENC_OK);
    EXPECT_EQ(upper, 43981);
    EXPECT_EQ(lower, 4660);
    int32_t both = 0;
    EXPECT_EQ(ZorEncGetTriggerGenerator(handle_, 2, &both, &both), ZORENC_OK);
    EXPECT_EQ(both, 43981);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(DeviceFunctions, DigitalInputsAllSeven)
{
    board_.Set(0x0500, 0xD5);
    int32_t in[7];
    std::fill(std::begin(in), std::end(in), -1);
    EXPECT_EQ(ZorEncGetDI(handle_, &in[0], &in[1], &in[2], &in[3], &in[4], &in[5], &in[6]),
              ZORENC_OK);
    EXPECT_EQ(std::vector<int32_t>(in, in + 7), (std::vector<int32_t>{1, 0, 1, 0, 1, 0, 1}));
    ExpectOneRequest('R', 0x0500, 0, "GetDI");
}

// Getters with null outputs still run their transaction, the ones whose
// output the caller must supply included.
TEST_F(DeviceFunctions, NullOutputsSkipOnlyTheStore)
{
    ZorEncResult (*const calls[])(H) = {
        [](H h) { return ZorEncGetPositiveRun(h, nullptr); },
        [](H h) { return ZorEncGetNegativeRun(h, nullptr); },
        [](H h) { return ZorEncGetTrgMode(h, nullptr); },
        [](H h) { return ZorEncGetIndexTriggerLastIndex(h, 0, nullptr); },
        [](H h) { return ZorEncGetIndexTriggerPosition(h, 0, 0, nullptr); },
        [](H h) { return ZorEncGetTriggerControls(h, 0, nullptr); },
        [](H h) { return ZorEncGetEncoderPositionMicrometer(h, 0, 2, 1e300, nullptr); },
        [](H h) {
            return ZorEncGetDI(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        },
    };
    for (auto call : calls) {
        EXPECT_EQ(call(handle_), ZORENC_OK);
    }
    EXPECT_EQ(Sent().size(), std::size(calls));
}

// Outputs of the range-check tests, filled with a pattern no call may change.
struct Outputs {
    int32_t i = 0x5A5A5A5A;
    int32_t j = 0x5A5A5A5A;
    double d = -777.0;
    TriggerControls tc = ControlsOf(0x5A5A5A5A);

    bool Untouched() const
    {
        return i == 0x5A5A5A5A && j == 0x5A5A5A5A && d == -777.0 && WordOf(tc) == 0x5A5A5A5Au;
    }
};

TEST_F(DeviceFunctions, ChannelsOutsideZeroToThreeSendNothing)
{
    using O = Outputs;
    ZorEncResult (*const calls[])(H, int32_t, O &) = {
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderPosition(h, c, &o.i); },
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderPositionForAnalog(h, c, 8, 1, &o.i); },
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderPositionMicrometer(h, c, 2, 1, &o.i); },
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderDirection(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetEncoderDirection(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderInversion(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetEncoderInversion(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderMultiForAnalog(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetEncoderMultiForAnalog(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetEncoderResetValue(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetEncoderResetValue(h, c, 1); },
        [](H h, int32_t c, O &) { return ZorEncStartCalibration(h, c); },
        [](H h, int32_t c, O &) { return ZorEncStopCalibration(h, c); },
        [](H h, int32_t c, O &o) { return ZorEncGetVirtualEncoderFrequency(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetVirtualEncoderFrequency(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerControls(h, c, &o.tc); },
        [](H h, int32_t c, O &o) { return ZorEncSetTriggerControls(h, c, &o.tc); },
        [](H h, int32_t c, O &) {
            return ZorEncSetTriggerControlsEachTrigger(h, c, 1, 1, 2, 1, 1, 1, 1, 1, 1);
        },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerGenerator(h, c, &o.i, &o.j); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerGenerator(h, c, 1, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerGeneratorRoll(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerGeneratorRoll(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerOutputMode(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerOutputMode(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerPosition0(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerPosition0(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerPosition1(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerPosition1(h, c, 1); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerPositionMicrometer0(h, c, 1, 1, 1, 1); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerPositionMicrometer1(h, c, 1, 1, 1, 0); },
        [](H h, int32_t c, O &o) {
            return static_cast<ZorEncResult>(ZorEncGetTriggerPulseWidth(h, c, &o.d));
        },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerPulseWidth(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerDelay(h, c, &o.d); },
        [](H h, int32_t c, O &) { return ZorEncSetTriggerDelay(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetIndexTriggerLastIndex(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetIndexTriggerLastIndex(h, c, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetIndexTriggerPosition(h, c, 0, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncSetIndexTriggerPosition(h, c, 0, 1); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerCount(h, c, &o.i); },
        [](H h, int32_t c, O &o) { return ZorEncGetTriggerErrorCount(h, c, &o.i); },
        [](H h, int32_t c, O &) { return ZorEncClearTriggerCount(h, c); },
        [](H h, int32_t c, O &) { return ZorEncClearEncoderPosition(h, c); },
        [](H h, int32_t c, O &) { return ZorEncClearErrorCount(h, c); },
    };
    for (int32_t channel : {-1, 4, 256, kMin, kMax}) {
        for (size_t n = 0; n < std::size(calls); ++n) {
            Outputs out;
            EXPECT_EQ(calls[n](handle_, channel, out), ZORENC_ERR_CHANNEL)
                << "call " << n << ", channel " << channel;
            EXPECT_TRUE(out.Untouched()) << "call " << n << ", channel " << channel;
        }
    }
    EXPECT_TRUE(Sent().empty());
    // The board records requests all the same.
    EXPECT_EQ(ZorEncGetTriggerCount(handle_, 3, nullptr), ZORENC_OK);
    EXPECT_EQ(Sent().size(), 1u);
}

TEST_F(DeviceFunctions, IndexOutsideTheTableSendsNothing)
{
    for (int32_t index : {-1, 0xF0, 0x10010, kMin}) {
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(ZorEncGetIndexTriggerPosition(handle_, 1, index, &out), ZORENC_ERR_CHANNEL);
        EXPECT_EQ(out, 0x5A5A5A5A);
        EXPECT_EQ(ZorEncSetIndexTriggerPosition(handle_, 1, index, 0), ZORENC_ERR_CHANNEL);
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DeviceFunctions, InputsOutsideZeroToSixSendNothing)
{
    for (int32_t input : {-1, 7, 8, kMax}) {
        int32_t state = 0x5A5A5A5A, count = 0x5A5A5A5A;
        EXPECT_EQ(ZorEncGetDIState(handle_, input, &state), ZORENC_ERR_CHANNEL);
        EXPECT_EQ(ZorEncGetDiCount(handle_, input, &count), ZORENC_ERR_CHANNEL);
        EXPECT_EQ(ZorEncClearDiCount(handle_, input), ZORENC_ERR_CHANNEL);
        EXPECT_EQ(state, 0x5A5A5A5A);
        EXPECT_EQ(count, 0x5A5A5A5A);
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(DeviceFunctions, UnrepresentableValuesAreRefused)
{
    board_.Set(0x050C, 0xFFFFFFFF); // channel 0 at the largest count
    const struct {
        const char *name;
        ZorEncResult (*call)(H, int32_t *);
        size_t requests;
    } cases[] = {
        {"Delay NaN", [](H h, int32_t *) { return ZorEncSetTriggerDelay(h, 0, kNaN); }, 0},
        {"Delay 2^31 hundredths",
         [](H h, int32_t *) { return ZorEncSetTriggerDelay(h, 2, 21474836.48); }, 0},
        {"PulseWidth infinite",
         [](H h, int32_t *) { return ZorEncSetTriggerPulseWidth(h, 1, -kInf); }, 0},
        {"Resolution negative",
         [](H h, int32_t *) { return ZorEncSetEncoderResolution(h, -0.0001); }, 0},
        {"Resolution 2^32 thousandths",
         [](H h, int32_t *) { return ZorEncSetEncoderResolution(h, 4294967.296); }, 0},
        {"Resolution NaN", [](H h, int32_t *) { return ZorEncSetEncoderResolution(h, kNaN); }, 0},
        {"Micrometer period 0",
         [](H h, int32_t *) { return ZorEncSetTriggerPositionMicrometer0(h, 0, 1000, 4, 0.0, 1); },
         0},
        {"Micrometer period NaN",
         [](H h, int32_t *) { return ZorEncSetTriggerPositionMicrometer1(h, 0, 1000, 4, kNaN, 1); },
         0},
        {"Micrometer beyond 32 bits",
         [](H h, int32_t *) { return ZorEncSetTriggerPositionMicrometer0(h, 0, kMax, 2, 1.0, 1); },
         0},
        {"Controls null", [](H h, int32_t *) { return ZorEncSetTriggerControls(h, 0, nullptr); },
         0},
        {"Analog period NaN",
         [](H h, int32_t *v) { return ZorEncGetEncoderPositionForAnalog(h, 0, 8, kNaN, v); }, 0},
        {"Micrometer period infinite",
         [](H h, int32_t *v) { return ZorEncGetEncoderPositionMicrometer(h, 0, 1, kInf, v); }, 0},
        {"Length beyond 32 bits",
         [](H h, int32_t *v) { return ZorEncGetEncoderPositionMicrometer(h, 0, 1, 2.0, v); }, 1},
    };
    for (const auto &c : cases) {
        int32_t out = 0x5A5A5A5A;
        EXPECT_EQ(c.call(handle_, &out), ZORENC_ERR_PARAM) << c.name;
        EXPECT_EQ(out, 0x5A5A5A5A) << c.name;
        EXPECT_EQ(Sent().size(), c.requests) << c.name;
    }
}

// Without a reply the getters store what a zero register decodes to (the
// position conversions 0).
TEST_F(DeviceFunctions, NoReplyStoresTheDecodedZeroRegister)
{
    ASSERT_EQ(ZorEncClose(handle_), 0);
    int32_t position = 1, length = 1, unconvertible = 1, upper = 1, lower = 1;
    double delay = 1.0, resolution = 1.0, width = 1.0;
    TriggerControls controls = ControlsOf(0xFFFFFFFF);
    EXPECT_EQ(ZorEncGetEncoderPosition(handle_, 0, &position), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(position, kMin);
    // The conversions store 0 without a count, whatever the period.
    EXPECT_EQ(ZorEncGetEncoderPositionMicrometer(handle_, 0, 1, 1.0, &length), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(ZorEncGetEncoderPositionMicrometer(handle_, 0, 1, 2.0, &unconvertible),
              ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(unconvertible, 0);
    EXPECT_EQ(ZorEncGetTriggerDelay(handle_, 0, &delay), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(delay, 0.0);
    EXPECT_EQ(ZorEncGetEncoderResolution(handle_, &resolution), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(resolution, 0.0);
    EXPECT_EQ(ZorEncGetTriggerPulseWidth(handle_, 0, &width), 65522.0);
    EXPECT_EQ(width, 0.0);
    EXPECT_EQ(ZorEncGetTriggerControls(handle_, 0, &controls), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(WordOf(controls), 0u);
    EXPECT_EQ(ZorEncGetTriggerGenerator(handle_, 0, &upper, &lower), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(upper, 0);
    EXPECT_EQ(lower, 0);
    EXPECT_TRUE(board_.Requests().empty());
}

TEST_F(DeviceFunctions, RepliesWithAStatusStillDeliverTheirValue)
{
    board_.Set(0x030A, 150);
    double delay = 0.0;
    board_.InjectFault(zorsim::Fault::kStatus, 6);
    EXPECT_EQ(ZorEncGetTriggerDelay(handle_, 3, &delay), 6u);
    EXPECT_EQ(delay, 1.5);
    delay = 0.0;
    board_.InjectFault(zorsim::Fault::kBadChecksum);
    EXPECT_EQ(ZorEncGetTriggerDelay(handle_, 3, &delay), ZORENC_ERR_CHECKSUM);
    EXPECT_EQ(delay, 1.5);
    // A delivered count that does not convert is refused, status or not.
    board_.Set(0x050C, 0xFFFFFFFF);
    board_.InjectFault(zorsim::Fault::kStatus, 6);
    int32_t length = 1;
    EXPECT_EQ(ZorEncGetEncoderPositionMicrometer(handle_, 0, 1, 2.0, &length), ZORENC_ERR_PARAM);
    EXPECT_EQ(length, 1);
}

} // namespace
