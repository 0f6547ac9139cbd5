// The exported functions over the scripted platform (one fake port, COM3):
// what they do when a platform call or an allocation fails, measured on the
// fake clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "device/registers.h"
#include "platform/fake.h"
#include "protocol/codec.h"
#include "serial/serial.h"
#include "zorenc.h"

namespace {
bool g_failAllocations = false;
} // namespace

// Every allocation of the process fails while g_failAllocations is set. The
// whole family is replaced, so that a sanitizer sees malloc and free paired.
namespace {
void *Allocate(std::size_t size) noexcept
{
    return g_failAllocations ? nullptr : std::malloc(size != 0 ? size : 1);
}
void *AllocateOrThrow(std::size_t size)
{
    if (void *block = Allocate(size)) {
        return block;
    }
    throw std::bad_alloc();
}
} // namespace

void *operator new(std::size_t size)
{
    return AllocateOrThrow(size);
}
void *operator new[](std::size_t size)
{
    return AllocateOrThrow(size);
}
void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    return Allocate(size);
}
void *operator new[](std::size_t size, const std::nothrow_t &) noexcept
{
    return Allocate(size);
}
void operator delete(void *block) noexcept
{
    std::free(block);
}
void operator delete[](void *block) noexcept
{
    std::free(block);
}
void operator delete(void *block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete[](void *block, std::size_t) noexcept
{
    std::free(block);
}
void operator delete(void *block, const std::nothrow_t &) noexcept
{
    std::free(block);
}
void operator delete[](void *block, const std::nothrow_t &) noexcept
{
    std::free(block);
}

namespace {

std::vector<uint8_t> Reply(uint16_t address, uint32_t value)
{
    uint8_t frame[zorenc::protocol::kMaxFrame];
    const int32_t n = zorenc::protocol::EncodeFrame('R', address, value, 0, frame);
    return std::vector<uint8_t>(frame, frame + n);
}

class FakePort : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake::Reset();
        handle = ZorEncCreateHandler();
        ASSERT_NE(handle, 0);
        ASSERT_TRUE(ZorEncOpen(handle, "COM3"));
    }
    void TearDown() override { ZorEncRelease(); }

    ZorEncHandle handle = 0;
};

// A transaction whose reply comes in two pieces reads the rest in one
// waiting read; the switch back to immediate-return reads then fails once.
// The next read that relies on immediate returns must not wait for its
// count: the port is switched back first.
TEST_F(FakePort, AFailedSwitchBackLeavesNoLaterReadWaitingForItsCount)
{
    const uint16_t address = 0xF000;
    struct Case {
        const char *name;
        std::function<uint32_t()> next;
        uint32_t code;
    };
    unsigned char flag = 1; // raised: a raw read ends after its first port read
    unsigned char buffer[8] = {};
    const Case cases[] = {
        {"transaction",
         [&] {
             fake::QueueRx(Reply(address, 7), 2);
             uint32_t value = 0;
             return ZorEncSendRead(handle, address, 0, &value);
         },
         ZORENC_OK},
        {"raw read",
         [&] {
             fake::QueueRx({1, 2}, 0);
             return ZorEncRead(handle, buffer, 0, sizeof buffer, &flag);
         },
         ZORENC_ERR_ABORTED},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> reply = Reply(address, 0x1234);
        fake::QueueRx(reply.data(), 3, 1);
        fake::QueueRx(reply.data() + 3, reply.size() - 3, 3);
        // The switch to waiting reads goes through, the one back fails.
        fake::FailNext("SetCommTimeouts", ERROR_GEN_FAILURE, 1, 1);
        uint32_t value = 0;
        ASSERT_EQ(ZorEncSendRead(handle, address, 0, &value), ZORENC_OK);
        EXPECT_EQ(value, 0x1234u);
        ASSERT_EQ(fake::Timeouts().ReadIntervalTimeout, 0u) << "the switch back did not fail";

        const uint64_t start = fake::Now();
        EXPECT_EQ(c.next(), c.code);
        EXPECT_LT(fake::Now() - start, 20u) << "a read waited for its count";
        EXPECT_EQ(fake::Timeouts().ReadIntervalTimeout, MAXDWORD);
    }
}

// After a transaction that delivered no count, both conversions store 0,
// whatever the period; a count whose length does not fit leaves the output
// untouched.
TEST_F(FakePort, PositionConversionsAfterATransactionWithoutACount)
{
    using Getter = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t, int32_t, double, int32_t *);
    struct Case {
        const char *name;
        Getter getter;
        int32_t multiplier;
        double period;
    };
    const Case getters[] = {
        {"analog, small period", ZorEncGetEncoderPositionForAnalog, 8, 1.0},
        {"analog, huge period", ZorEncGetEncoderPositionForAnalog, 8, 1e12},
        {"micrometre, small period", ZorEncGetEncoderPositionMicrometer, 4, 0.5},
        {"micrometre, huge period", ZorEncGetEncoderPositionMicrometer, 1, -1e15},
    };
    const uint16_t position2 = REG_ENC_POSITION + 2;
    struct Outcome {
        const char *name;
        std::function<void()> script; // what the port does for the transaction
        uint32_t code;
        int32_t stored;
    };
    const Outcome outcomes[] = {
        {"time-out", [] {}, ZORENC_ERR_TIMEOUT, 0},
        {"malformed reply",
         [] {
             fake::QueueRx({0x02, 0x52, 0x03}, 1);
         },
         ZORENC_ERR_FRAME, 0},
        {"closed port", [this] { ZorEncClose(handle); }, ZORENC_ERR_NOT_OPEN, 0},
    };
    for (const Case &g : getters) {
        for (const Outcome &o : outcomes) {
            SCOPED_TRACE(std::string(g.name) + ", " + o.name);
            ASSERT_TRUE(ZorEncOpen(handle, "COM3"));
            o.script();
            int32_t position = 12345;
            EXPECT_EQ(g.getter(handle, 2, g.multiplier, g.period, &position), o.code);
            EXPECT_EQ(position, o.stored);
        }
        // A delivered count of -2^31 whose length does not fit.
        SCOPED_TRACE(g.name);
        if (g.period > 1e6 || g.period < -1e6) {
            ASSERT_TRUE(ZorEncOpen(handle, "COM3"));
            fake::QueueRx(Reply(position2, 0), 1);
            int32_t position = 12345;
            EXPECT_EQ(g.getter(handle, 2, g.multiplier, g.period, &position), ZORENC_ERR_PARAM);
            EXPECT_EQ(position, 12345);
        }
    }
}

// A driver that never completes a cancel, met at each wait of each kind of
// call: the call ends within its bound with ZORENC_ERR_NOT_OPEN and the port
// is closed; later calls send nothing, and the handler opens again. The
// memory left to the driver stays valid: a late completion, even after the
// handler is gone, writes into nothing the library has freed (the sanitizer
// builds check that).
TEST_F(FakePort, ADriverThatKeepsACancelledOperationClosesThePort)
{
    const uint16_t address = 0xF000;
    unsigned char flag = 0;
    unsigned char buffer[16] = {};
    uint32_t value = 0;
    const auto sendRead = [&] { return ZorEncSendRead(handle, address, 0, &value); };
    struct Case {
        const char *name;
        fake::Pend mode; // where the call meets the driver
        std::function<uint32_t()> call;
        uint64_t bound; // before the grace period
    };
    const Case cases[] = {
        {"request write", fake::Pend::Stall, sendRead, 1000},
        {"reply read", fake::Pend::WhenEmpty, sendRead, 1000},
        {"wait for the reply", fake::Pend::Never, sendRead, 1000},
        {"send only", fake::Pend::Stall, [&] { return ZorEncSendOnly(handle, 'R', address, 0); },
         1000},
        {"raw read", fake::Pend::WhenEmpty,
         [&] { return ZorEncRead(handle, buffer, 0, sizeof buffer, &flag); }, 50},
        {"line read's wait", fake::Pend::Never,
         [&] { return ZorEncReadUntil(handle, buffer, '\n', &flag); }, 50},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(ZorEncOpen(handle, "COM3"));
        fake::SetPendMode(c.mode);
        fake::SetKeepsCancelled(true);
        const uint64_t start = fake::Now();
        EXPECT_EQ(c.call(), ZORENC_ERR_NOT_OPEN);
        EXPECT_LE(fake::Now() - start, c.bound + CSerial::CancelGraceMs);
        EXPECT_FALSE(fake::Stalled());
        EXPECT_FALSE(ZorEncIsOpen(handle));
        EXPECT_EQ(fake::OpenHandles(), 0);

        fake::ClearCalls();
        EXPECT_EQ(ZorEncSendRead(handle, address, 0, &value), ZORENC_ERR_NOT_OPEN);
        EXPECT_EQ(ZorEncRead(handle, buffer, 0, sizeof buffer, &flag), ZORENC_ERR_NOT_OPEN);
        EXPECT_FALSE(ZorEncPurge(handle));
        EXPECT_EQ(ZorEncClose(handle), 0);
        EXPECT_TRUE(fake::Calls().empty());
        fake::SetPendMode(fake::Pend::Never);
        fake::SetKeepsCancelled(false);
    }
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer), sizeof buffer),
              std::string(sizeof buffer, '\0'));

    ASSERT_TRUE(ZorEncOpen(handle, "COM3"));
    fake::QueueRx(Reply(address, 42), 1);
    EXPECT_EQ(ZorEncSendRead(handle, address, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 42u);

    ZorEncCloseHandler(handle);
    EXPECT_EQ(fake::FinishKept(), static_cast<int>(std::size(cases)));
}

// Memory running out is an answer, not an exception through the interface.
// (The scripted platform itself needs memory: allocations fail only around
// calls that fail before reaching it.)
TEST_F(FakePort, MemoryRunningOutIsAnAnswer)
{
    const std::string longName(64, 'x'); // too long to be kept without the heap
    unsigned char flag = 0;
    unsigned char buffer[4];
    ASSERT_EQ(ZorEncClose(handle), 0);
    g_failAllocations = true;
    const ZorEncHandle second = ZorEncCreateHandler();
    const bool opened = ZorEncOpen(handle, longName.c_str());
    g_failAllocations = false;
    EXPECT_EQ(second, 0);
    EXPECT_FALSE(opened);
    EXPECT_FALSE(ZorEncIsOpen(handle));

    ASSERT_TRUE(ZorEncOpen(handle, "COM3"));
    g_failAllocations = true;
    const uint32_t readCode = ZorEncRead(handle, buffer, 0, sizeof buffer, &flag);
    g_failAllocations = false;
    EXPECT_EQ(readCode, ZORENC_ERR_PARAM);
}

} // namespace
