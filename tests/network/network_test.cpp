// The library on a network port, run by ser2net_run.py: ZORENC_TEST_PORT names
// Debian's ser2net in front of the simulated board, and the other variables
// name the same server's second connection to the board (ZORENC_NET_OTHER)
// and scripted servers that misbehave. ZORENC_NET_CONTROL is a folder through
// which the test asks the runner to stop, pause and restart ser2net. The same
// source runs natively and, built by MinGW, under Wine against both DLLs.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture.h"
#include "sim/board.h"
#include "test_board.h"
#include "zorenc.h"

namespace {

using testboard::NowMs;
using testboard::SleepMs;

// Calls on a connection that has ended return at once; this allows for a
// loaded machine.
constexpr double kAtOnceMs = 400;
// Opens that fail end within 2 s.
constexpr double kOpenLimitMs = 2000;
const uint16_t kPosition0 = zorsim::reg::Channel(1, zorsim::reg::kTrgPosition0);

std::string Env(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr ? value : "";
}

// Asks the runner for action and waits until it is done.
void Control(const std::string &action)
{
    const std::string dir = Env("ZORENC_NET_CONTROL");
    ASSERT_FALSE(dir.empty()) << "run through ser2net_run.py";
#ifdef _WIN32
    const std::string sep = "\\";
#else
    const std::string sep = "/";
#endif
    const std::string request = dir + sep + "request";
    const std::string done = dir + sep + "done";
    {
        FILE *f = std::fopen((request + ".new").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(action.c_str(), f);
        std::fclose(f);
        ASSERT_EQ(std::rename((request + ".new").c_str(), request.c_str()), 0);
    }
    for (int i = 0; i < 1500; ++i) {
        if (FILE *f = std::fopen(done.c_str(), "r")) {
            std::fclose(f);
            std::remove(done.c_str());
            return;
        }
        SleepMs(20);
    }
    FAIL() << "the runner did not do " << action;
}

struct Opened {
    ZorEncHandle handle = 0;
    bool open = false;
    double ms = 0;
};

Opened Open(const std::string &name, ZorEncHandle handle = 0)
{
    StdoutCapture quiet;
    Opened o;
    o.handle = handle != 0 ? handle : ZorEncCreateHandler();
    const double start = NowMs();
    o.open = ZorEncOpen(o.handle, name.c_str());
    o.ms = NowMs() - start;
    quiet.Text();
    return o;
}

class Network : public ::testing::Test {
protected:
    void TearDown() override
    {
        StdoutCapture quiet;
        ZorEncRelease();
        quiet.Text();
    }
};

// Request and reply made of 0xFF bytes, which RFC 2217 doubles on the wire,
// and raw bytes of 0xFF read as they were sent.
TEST_F(Network, CarriesFfBytesBothWays)
{
    const ZorEncHandle h = testboard::OpenFresh();
    for (uint32_t value : {0xFFFFFFFFu, 0xFF00FFFFu, 0x00FFFF00u}) {
        uint32_t raw = 0;
        ASSERT_EQ(ZorEncSendWrite(h, kPosition0, value, &raw), ZORENC_OK);
        EXPECT_EQ(testboard::Peek(h, kPosition0), value);
        ASSERT_EQ(ZorEncSendRead(h, kPosition0, 0, &raw), ZORENC_OK);
        EXPECT_EQ(raw, value);
    }
    const std::vector<uint8_t> first = {0xFF, 0xFF, 0x00};
    const std::vector<uint8_t> rest = {0xFF, 0xFB, 0xFF, 0xFA, 0xFF};
    testboard::SendRawLater(h, first, rest, 20);
    unsigned char buffer[8] = {};
    const volatile unsigned char abortFlag = 0;
    ASSERT_EQ(ZorEncRead(h, buffer, 0, 8, &abortFlag), ZORENC_OK);
    EXPECT_EQ(std::vector<uint8_t>(buffer, buffer + 8),
              (std::vector<uint8_t>{0xFF, 0xFF, 0x00, 0xFF, 0xFB, 0xFF, 0xFA, 0xFF}));
}

// ZorEncPurge drops what the board sent before it.
TEST_F(Network, PurgeDropsWhatCameBefore)
{
    const ZorEncHandle h = testboard::OpenFresh();
    testboard::SendRawLater(h, {0x11, 0x22}, {0x33}, 10);
    SleepMs(300);
    EXPECT_TRUE(ZorEncPurge(h));
    unsigned char byte = 0;
    volatile unsigned char abortFlag = 0;
    testboard::Later raise(
        200, [](void *flag) { *static_cast<volatile unsigned char *>(flag) = 1; },
        const_cast<unsigned char *>(&abortFlag));
    EXPECT_EQ(ZorEncRead(h, &byte, 0, 1, &abortFlag), ZORENC_ERR_ABORTED);
    raise.Join();
    uint32_t raw = 0;
    EXPECT_EQ(ZorEncSendRead(h, kPosition0, 0, &raw), ZORENC_OK);
}

// ser2net answers a connection to a board that another connection holds with
// "Port's device already in use" and closes it: the open fails at once.
TEST_F(Network, BusyDeviceFailsTheOpen)
{
    // ser2net lets the device of a connection that has just closed go a
    // little later.
    Opened holder = Open(Env("ZORENC_NET_OTHER"));
    for (int i = 0; i < 20 && !holder.open; ++i) {
        SleepMs(50);
        holder = Open(Env("ZORENC_NET_OTHER"), holder.handle);
    }
    ASSERT_TRUE(holder.open);
    const Opened busy = Open(testboard::PortName());
    EXPECT_FALSE(busy.open);
    EXPECT_LT(busy.ms, kOpenLimitMs);
    EXPECT_EQ(ZorEncClose(holder.handle), 0);
    SleepMs(300);
    EXPECT_TRUE(Open(testboard::PortName(), busy.handle).open);
}

// A second client takes the server's connection over (kickolduser): the first
// one's calls end at once, it is closed, and opens again.
TEST_F(Network, ConnectionClosedByTheServerEndsCalls)
{
    const Opened first = Open(testboard::PortName());
    ASSERT_TRUE(first.open);
    uint32_t raw = 0;
    ASSERT_EQ(ZorEncSendRead(first.handle, kPosition0, 0, &raw), ZORENC_OK);
    const Opened second = Open(testboard::PortName());
    ASSERT_TRUE(second.open);
    SleepMs(100);
    const double start = NowMs();
    EXPECT_EQ(ZorEncSendRead(first.handle, kPosition0, 0, &raw), ZORENC_ERR_NOT_OPEN);
    EXPECT_LT(NowMs() - start, kAtOnceMs);
    EXPECT_FALSE(ZorEncIsOpen(first.handle));
    EXPECT_EQ(ZorEncSendRead(first.handle, kPosition0, 0, &raw), ZORENC_ERR_NOT_OPEN);
    EXPECT_TRUE(Open(testboard::PortName(), first.handle).open);
    EXPECT_EQ(ZorEncSendRead(first.handle, kPosition0, 0, &raw), ZORENC_OK);
}

struct Kick {
    ZorEncHandle handle;
    std::string name;
};

// A raw read waiting for bytes ends at once when the server closes the
// connection.
TEST_F(Network, RawReadEndsWithTheConnection)
{
    const Opened reader = Open(testboard::PortName());
    ASSERT_TRUE(reader.open);
    Kick kick{ZorEncCreateHandler(), testboard::PortName()};
    volatile unsigned char abortFlag = 0;
    unsigned char buffer[4] = {};
    const double start = NowMs();
    testboard::Later later(
        300,
        [](void *arg) {
            auto *k = static_cast<Kick *>(arg);
            ZorEncOpen(k->handle, k->name.c_str());
        },
        &kick);
    EXPECT_EQ(ZorEncRead(reader.handle, buffer, 0, 4, &abortFlag), ZORENC_ERR_NOT_OPEN);
    const double ms = NowMs() - start;
    later.Join();
    EXPECT_LT(ms, 300 + kAtOnceMs);
    EXPECT_FALSE(ZorEncIsOpen(reader.handle));
}

// A server that stops answering: the usual time-out. Then it goes on.
TEST_F(Network, PausedServerTimesOut)
{
    const ZorEncHandle h = testboard::OpenFresh();
    Control("pause-server");
    uint32_t raw = 0;
    const double start = NowMs();
    EXPECT_EQ(ZorEncSendRead(h, kPosition0, 0, &raw), ZORENC_ERR_TIMEOUT);
    const double ms = NowMs() - start;
    Control("resume-server");
    EXPECT_GE(ms, 900.0);
    EXPECT_LT(ms, 1600.0);
    SleepMs(300); // the late reply comes and is dropped before the next request
    EXPECT_EQ(ZorEncSendRead(h, kPosition0, 0, &raw), ZORENC_OK);
    EXPECT_TRUE(ZorEncIsOpen(h));
}

// ser2net stopped in the middle of a session: calls end at once, opens fail
// within the bound while it is gone and work again once it is back.
TEST_F(Network, StoppedServerAndItsReturn)
{
    const ZorEncHandle h = testboard::OpenFresh();
    Control("stop-server");
    uint32_t raw = 0;
    const double start = NowMs();
    EXPECT_EQ(ZorEncSendRead(h, kPosition0, 0, &raw), ZORENC_ERR_NOT_OPEN);
    EXPECT_LT(NowMs() - start, kAtOnceMs);
    EXPECT_FALSE(ZorEncIsOpen(h));
    const Opened gone = Open(testboard::PortName(), h);
    EXPECT_FALSE(gone.open);
    EXPECT_LT(gone.ms, kOpenLimitMs);
    Control("start-server");
    EXPECT_TRUE(Open(testboard::PortName(), h).open);
    EXPECT_EQ(ZorEncSendRead(h, kPosition0, 0, &raw), ZORENC_OK);
}

// Scripted servers (ser2net_run.py): nobody listening and a server that never
// negotiates fail the open within its bound; servers that close or reset the
// connection before or in the middle of the reply end the transaction at once.
TEST_F(Network, MisbehavingServers)
{
    struct Case {
        const char *variable;
        bool opens;
    };
    for (const Case &c : {Case{"ZORENC_NET_REFUSED", false}, Case{"ZORENC_NET_SILENT", false},
                          Case{"ZORENC_NET_CLOSE", true}, Case{"ZORENC_NET_HALF", true},
                          Case{"ZORENC_NET_RESET", true}}) {
        const std::string name = Env(c.variable);
        if (name.empty()) {
            continue; // not for this kind of server
        }
        const Opened o = Open(name);
        EXPECT_EQ(o.open, c.opens) << c.variable;
        EXPECT_LT(o.ms, kOpenLimitMs) << c.variable;
        if (!o.open) {
            continue;
        }
        uint32_t raw = 0;
        const double start = NowMs();
        EXPECT_EQ(ZorEncSendRead(o.handle, kPosition0, 0, &raw), ZORENC_ERR_NOT_OPEN) << c.variable;
        EXPECT_LT(NowMs() - start, kAtOnceMs) << c.variable;
        EXPECT_FALSE(ZorEncIsOpen(o.handle)) << c.variable;
    }
}

} // namespace
