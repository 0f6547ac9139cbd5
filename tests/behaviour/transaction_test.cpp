// Connection and register transactions against the board.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.h"
#include "test_board.h"

using namespace testboard;

namespace {

constexpr uint16_t kFirmware = 0xF000;
constexpr uint16_t kRun = 0xF008;
constexpr uint16_t kMode = 0xF00A;

class Transactions : public ::testing::Test {
protected:
    void SetUp() override { handle = OpenFresh(); }
    void TearDown() override
    {
        StdoutCapture quiet;
        ZorEncRelease();
    }
    ZorEncHandle handle = 0;
};

TEST_F(Transactions, ReadSendsExactBytesAndReturnsTheStoredValue)
{
    Poke(handle, kFirmware, 0x1234);
    ClearRequests(handle);
    uint32_t value = 0;
    EXPECT_EQ(ZorEncSendRead(handle, kFirmware, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 0x1234u);
    EXPECT_EQ(Hex(Request(handle)), "02 52 00 F0 00 00 00 00 00 42 03");
}

TEST_F(Transactions, WriteStoresAndStuffsItsFrame)
{
    EXPECT_EQ(ZorEncSendWrite(handle, kRun, 0x7D, nullptr), ZORENC_OK);
    EXPECT_EQ(Peek(handle, kRun), 0x7Du);
    EXPECT_EQ(Hex(Request(handle)), "02 57 08 F0 7D 5D 00 00 00 00 CC 03");
}

TEST_F(Transactions, StatusAndChecksumFailuresStillDeliverTheValue)
{
    Poke(handle, kMode, 0xCAFE);
    uint32_t value = 0;
    Fault(handle, zorsim::Fault::kStatus, 5);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), 5u);
    EXPECT_EQ(value, 0xCAFEu);
    value = 0;
    Fault(handle, zorsim::Fault::kBadChecksum);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_ERR_CHECKSUM);
    EXPECT_EQ(value, 0xCAFEu);
}

TEST_F(Transactions, RepliesWithNoiseAheadOrTwiceAreTakenOnce)
{
    Poke(handle, kMode, 11);
    Poke(handle, kRun, 22);
    uint32_t value = 0;
    Fault(handle, zorsim::Fault::kGarbage, 6);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 11u);
    Fault(handle, zorsim::Fault::kDoubleReply);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 11u);
    SleepMs(20); // let the second copy land
    EXPECT_EQ(ZorEncSendRead(handle, kRun, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 22u);
}

TEST_F(Transactions, ASlowReplyWithinTheDeadlineIsTaken)
{
    Poke(handle, kMode, 3);
    uint32_t value = 0;
    Fault(handle, zorsim::Fault::kDelay, 300);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 3u);
}

TEST_F(Transactions, SilentBoardTimesOutAfterTheDeadline)
{
    uint32_t value = 0xDEADBEEF;
    Fault(handle, zorsim::Fault::kSilence);
    const double start = NowMs();
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_ERR_TIMEOUT);
    const double elapsed = NowMs() - start;
    EXPECT_GE(elapsed, 990.0);
    EXPECT_LT(elapsed, 2000.0);
    EXPECT_EQ(value, 0xDEADBEEFu);
}

TEST_F(Transactions, ACutShortReplyTimesOutAndTheNextReadIsClean)
{
    Poke(handle, kMode, 7);
    uint32_t value = 0xDEADBEEF;
    Fault(handle, zorsim::Fault::kTruncate);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_ERR_TIMEOUT);
    EXPECT_EQ(value, 0xDEADBEEFu);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 7u);
}

TEST_F(Transactions, AReplyThatLostBytesButEndsInATerminatorIsAFrameErrorSoon)
{
    // Bytes lost on the way in the middle of a reply: what arrives is too
    // short for a frame yet ends in 0x03. Its start comes first and the rest
    // later, so the library is already asking for the rest of a whole frame;
    // it must give up on that within a short wait, not at the deadline.
    Fault(handle, zorsim::Fault::kSilence);
    SendRawLater(handle, {0x02}, {0x52, 0x0A, 0xF0, 0x07, 0x00, 0x00, 0x03}, 20);
    uint32_t value = 0xDEADBEEF;
    const double start = NowMs();
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_ERR_FRAME);
    EXPECT_LT(NowMs() - start, 700.0);
    EXPECT_EQ(value, 0xDEADBEEFu);
}

TEST_F(Transactions, ClosedOrInvalidHandlesDoNotTouchTheLine)
{
    const uint32_t before = RequestCount(handle);
    const ZorEncHandle other = ZorEncCreateHandler(); // valid, never opened
    uint32_t value = 0x5555;
    for (ZorEncHandle h : {other, ZorEncHandle{0}, ZorEncHandle{-1}, ZorEncHandle{99}}) {
        EXPECT_EQ(ZorEncSendRead(h, kMode, 0, &value), ZORENC_ERR_NOT_OPEN);
        EXPECT_EQ(ZorEncSendWrite(h, kMode, 1, &value), ZORENC_ERR_NOT_OPEN);
        EXPECT_EQ(ZorEncSendData(h, 'R', kMode, 0, &value), ZORENC_ERR_NOT_OPEN);
        EXPECT_EQ(ZorEncSendOnly(h, 'R', kMode, 0), ZORENC_ERR_NOT_OPEN);
    }
    EXPECT_EQ(value, 0x5555u);
    EXPECT_EQ(RequestCount(handle), before);
}

TEST_F(Transactions, SendOnlyReturnsAtOnceAndItsReplyIsNotTakenLater)
{
    Poke(handle, kMode, 1111);
    Poke(handle, kRun, 2222);
    const uint32_t before = RequestCount(handle);
    const double start = NowMs();
    EXPECT_EQ(ZorEncSendOnly(handle, 'R', kMode, 0), ZORENC_OK);
    EXPECT_LT(NowMs() - start, 200.0);
    SleepMs(30); // its reply is now waiting in the receive queue
    uint32_t value = 0;
    EXPECT_EQ(ZorEncSendRead(handle, kRun, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 2222u);
    EXPECT_EQ(RequestCount(handle), before + 2);
}

TEST_F(Transactions, ALateReplyToATimedOutReadIsNotTakenByTheNext)
{
    Poke(handle, kMode, 1111);
    Poke(handle, kRun, 2222);
    uint32_t value = 0;
    Fault(handle, zorsim::Fault::kLate, 1150);
    EXPECT_EQ(ZorEncSendRead(handle, kMode, 0, &value), ZORENC_ERR_TIMEOUT);
    SleepMs(400); // the late reply has landed by now
    EXPECT_EQ(ZorEncSendRead(handle, kRun, 0, &value), ZORENC_OK);
    EXPECT_EQ(value, 2222u);
}

TEST_F(Transactions, OpenTwiceKeepsTheFirstPort)
{
    StdoutCapture capture;
    EXPECT_TRUE(ZorEncOpen(handle, "COM99-no-such-port"));
    EXPECT_EQ(capture.Text(), "connected!!!!!\n");
    uint32_t value = 0;
    EXPECT_EQ(ZorEncSendRead(handle, kFirmware, 0, &value), ZORENC_OK);
}

TEST_F(Transactions, MissingPortsAndBadArgumentsFailToOpen)
{
    const ZorEncHandle other = ZorEncCreateHandler();
    {
        StdoutCapture capture;
        EXPECT_FALSE(ZorEncOpen(other, "/dev/zorenc-no-such-port"));
        EXPECT_EQ(capture.Text(), "connecting failed.\n");
    }
    EXPECT_TRUE(ZorEncIsValidHandle(other));
    EXPECT_FALSE(ZorEncIsOpen(other));
    StdoutCapture quiet;
    EXPECT_FALSE(ZorEncOpen(other, nullptr));
    EXPECT_FALSE(ZorEncOpen(0, PortName().c_str()));
    EXPECT_FALSE(ZorEncOpen(77, PortName().c_str()));
}

TEST_F(Transactions, CloseKeepsTheHandlerAndAllowsReopening)
{
    EXPECT_EQ(ZorEncClose(handle), 0);
    EXPECT_FALSE(ZorEncIsOpen(handle));
    EXPECT_TRUE(ZorEncIsValidHandle(handle));
    EXPECT_EQ(ZorEncClose(handle), 0);
    EXPECT_EQ(ZorEncClose(0), static_cast<int32_t>(ZORENC_ERR_NOT_OPEN));
    EXPECT_EQ(ZorEncClose(42), static_cast<int32_t>(ZORENC_ERR_NOT_OPEN));
    StdoutCapture quiet;
    ASSERT_TRUE(ZorEncOpen(handle, PortName().c_str()));
    uint32_t value = 0;
    EXPECT_EQ(ZorEncSendRead(handle, kFirmware, 0, &value), ZORENC_OK);
}

} // namespace
