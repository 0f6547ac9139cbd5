// The companion library's logic beneath the C interface: hardware ids, the
// thread wrapper, setting requests and the probe of simulated boards.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "failure.h"
#include "ports.h"
#include "setting_request.h"
#include "sim/board.h"
#include "text.h"
#include "threads.h"

using namespace zorenc::companion;
using Clock = std::chrono::steady_clock;

TEST(HardwareId, ParsesIdsAndSerialsOfUsbAndFtdiNodes)
{
    struct Case {
        const char *id;
        int vid, pid; // -1: none
        const char *serial;
    };
    const Case cases[] = {
        {"USB\\VID_0403&PID_6001\\A1B2C3", 0x0403, 0x6001, "A1B2C3"},
        {"usb\\vid_10c4&pid_ea60\\0001", 0x10C4, 0xEA60, "0001"},
        {"USB\\VID_2341&PID_0043&MI_00\\6&1A2B3C&0&0000", 0x2341, 0x0043, ""},
        {"FTDIBUS\\VID_0403+PID_6015+DK0ABCDEA\\0000", 0x0403, 0x6015, "DK0ABCDEA"},
        {"USB\\VID_0403&PID_6001", 0x0403, 0x6001, ""},
        {"ACPI\\PNP0501\\1", -1, -1, ""},
        {"USB\\VID_04G3&PID_6001\\X", -1, -1, ""},
        {"", -1, -1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        const HardwareId parsed = ParseHardwareId(c.id);
        EXPECT_EQ(parsed.vid.value_or(-1), c.vid);
        EXPECT_EQ(parsed.pid.value_or(-1), c.pid);
        EXPECT_EQ(parsed.serialNumber, c.serial);
    }
}

TEST(Threads, RunEachRunsEveryIndexAndWaitsAreBounded)
{
    std::atomic<unsigned> seen{0};
    RunEach(8, [&](std::size_t i) { seen |= 1u << i; });
    EXPECT_EQ(seen.load(), 0xFFu);

    Mutex mutex;
    ConditionVariable changed;
    bool ready = false;
    {
        std::unique_lock<Mutex> lock(mutex);
        const auto start = Clock::now();
        EXPECT_FALSE(changed.WaitFor(lock, std::chrono::milliseconds(30), [&] { return ready; }));
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(25));
    }
    Thread setter([&] {
        std::lock_guard<Mutex> lock(mutex);
        ready = true;
        changed.NotifyAll();
    });
    std::unique_lock<Mutex> lock(mutex);
    EXPECT_TRUE(changed.WaitFor(lock, std::chrono::seconds(5), [&] { return ready; }));
}

TEST(Probe, TellsBoardNoAnswerBusyAndErrorAtOnce)
{
    zorsim::Board board;
    zorsim::Options quiet;
    quiet.silent = true;
    zorsim::Board silent(quiet);
    zorsim::Board held;
    ASSERT_TRUE(board.Start() && silent.Start() && held.Start());
    // Another program holding the port: the lock the library's open takes.
    const int holder = open(held.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

    const auto start = Clock::now();
    const auto results = ProbePorts(
        {board.SlavePath(), silent.SlavePath(), held.SlavePath(), "/dev/zorenc-no-such-port"});
    const auto elapsed = Clock::now() - start;
    close(holder);

    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0].result, "board");
    EXPECT_DOUBLE_EQ(results[0].firmwareVersion.value_or(0), 1.5);
    EXPECT_DOUBLE_EQ(results[0].logicVersion.value_or(0), 2.02);
    EXPECT_EQ(results[1].result, "no-answer");
    EXPECT_EQ(results[2].result, "busy");
    EXPECT_EQ(results[3].result, "error");
    EXPECT_EQ(results[3].error, "no such port");
    // One reply deadline (1 s) for all of them, not one each.
    EXPECT_LT(elapsed, std::chrono::milliseconds(1900));
}

TEST(Probe, APortThatVanishesMidProbeIsAnErrorInTime)
{
    zorsim::Options quiet;
    quiet.silent = true;
    zorsim::Board board(quiet);
    ASSERT_TRUE(board.Start());
    Thread unplug([&] {
        board.WaitForRequests(1, 2000);
        board.Unplug();
    });
    const auto start = Clock::now();
    const auto results = ProbePorts({board.SlavePath()});
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1900));
    unplug.Join();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].result, "error");
    EXPECT_NE(results[0].error.find("went away"), std::string::npos) << results[0].error;
}

TEST(Text, RealsAreTheirShortestExactDecimalWrittenPlainly)
{
    const std::pair<double, const char *> cases[] = {
        {100, "100"},
        {150, "150"},
        {1.5, "1.5"},
        {0.29, "0.29"},
        {-0.29, "-0.29"},
        {1e-7, "0.0000001"},
        {4294967.295, "4294967.295"},
        {-21474836.48, "-21474836.48"},
        {42949672.95, "42949672.95"},
        {1e20, "100000000000000000000"},
        {1e21, "1e+21"},
        {1.5e-8, "1.5e-8"},
        {0.1 + 0.2, "0.30000000000000004"},
        {0.0, "0"},
        {-0.0, "0"},
    };
    for (const auto &[value, text] : cases) {
        EXPECT_EQ(FormatReal(value), text);
    }
    EXPECT_EQ(DumpLine(Json{{"value", 100.0}, {"delay", 1e-9}}),
              "{\"value\": 100, \"delay\": 1e-9}");
    EXPECT_EQ(DumpCompact(Json{{"value", 150.0}, {"values", {1.5, 2.0}}}),
              "{\"value\":150,\"values\":[1.5,2]}");
}

TEST(SettingRequest, ValuesOutsideWhatASettingTakesAreRefusedWithTheRange)
{
    struct Case {
        const char *setting;
        const char *value;
        const char *refusal;   // nullptr: taken
        const char *note = ""; // of a value taken
    };
    const Case cases[] = {
        {"virtual-encoder-frequency", "-200", "FREQUENCY -200 is out of range 0..2147483647"},
        {"virtual-encoder-frequency", "2147483647", nullptr, ""},
        {"virtual-encoder-frequency", "0x80000000", "out of range 0..2147483647"},
        {"encoder-multi-for-analog", "-1", "MULTIPLIER -1 is out of range 0..2147483647"},
        {"index-trigger-last-index", "240", "INDEX 240 is out of range 0..239"},
        {"index-trigger-last-index", "239", nullptr, ""},
        {"negative-run", "-7", nullptr, ""}, // a word the board gives its meaning
        {"trigger-delay", "0.299", nullptr,
         "0.299 is stored as 0.29 (trigger-delay is kept in hundredths)"},
        {"trigger-delay", "0.290", nullptr, ""},
        {"encoder-resolution", "1.0005", nullptr,
         "1.0005 is stored as 1 (encoder-resolution is kept in thousandths)"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " " + c.value);
        Json request = {{"setting", c.setting}, {"value", c.value}};
        if (FindSetting(c.setting)->scope != Scope::kBoard) {
            request["channel"] = 1;
        }
        if (c.refusal != nullptr) {
            try {
                ParseWrite(request);
                ADD_FAILURE() << "taken";
            } catch (const Failure &failure) {
                EXPECT_TRUE(failure.IsUsage());
                EXPECT_NE(std::string(failure.what()).find(c.refusal), std::string::npos)
                    << failure.what();
            }
            continue;
        }
        EXPECT_EQ(ParseWrite(request).note, c.note);
    }
}

TEST(SettingRequest, NumbersAndDecimalStringsMeanTheSameAndJunkIsRefused)
{
    constexpr int64_t kRefused = INT64_MIN;
    struct Case {
        Json values;
        int64_t count; // the first value's, or kRefused
    };
    const Case cases[] = {
        {{0.29}, 29},
        {{"0.29"}, 29},
        {{"0.299"}, 29}, // cut to the unit
        {{150}, 15000},
        {{"0x10"}, 1600},
        {{-1.239}, -123},
        {{"1.5x"}, kRefused},
        {{std::string("1.5\0"
                      "9",
                      5)},
         kRefused},
        {{true}, kRefused},
        {{nullptr}, kRefused},
        {{"1", "2"}, kRefused},
        {Json::array(), kRefused},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.values.dump());
        const Json request = {{"setting", "trigger-delay"}, {"channel", "1"}, {"values", c.values}};
        if (c.count == kRefused) {
            EXPECT_THROW(ParseWrite(request), Failure);
            continue;
        }
        const SettingRequest parsed = ParseWrite(request);
        ASSERT_EQ(parsed.args.size(), 1u);
        EXPECT_EQ(parsed.args[0].integer, c.count);
        EXPECT_EQ(parsed.keys.front().number, 1);
    }
    // A read of a channel's setting names one channel, or reads them all.
    EXPECT_EQ(ParseRead({{"setting", "trigger-count"}}).keys.size(), 4u);
    EXPECT_TRUE(ParseRead({{"setting", "di-count"}}).every);
    EXPECT_EQ(ParseRead({{"setting", "di-count"}, {"input", 6}}).keys.size(), 1u);
    EXPECT_THROW(ParseRead({{"setting", "index-trigger-position"}, {"channel", 0}}), Failure);
}
