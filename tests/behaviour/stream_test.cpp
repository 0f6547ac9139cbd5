// Raw stream reads, purge and the frame callbacks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "capture.h"
#include "test_board.h"

using namespace testboard;

namespace {

std::vector<uint8_t> Bytes(const char *text)
{
    return std::vector<uint8_t>(text, text + std::strlen(text));
}

void Raise(void *flag)
{
    __atomic_store_n(static_cast<volatile unsigned char *>(flag), 1, __ATOMIC_RELEASE);
}

class Stream : public ::testing::Test {
protected:
    void SetUp() override { handle = OpenFresh(); }
    void TearDown() override
    {
        StdoutCapture quiet;
        ZorEncRelease();
    }
    ZorEncHandle handle = 0;
    volatile unsigned char lowered = 0;
};

TEST_F(Stream, ReadGathersACountArrivingInParts)
{
    SendRawLater(handle, Bytes("0123"), Bytes("456789"), 100);
    unsigned char buffer[12] = {};
    EXPECT_EQ(ZorEncRead(handle, buffer, 12345, 10, &lowered), ZORENC_OK);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buffer)), "0123456789");
}

TEST_F(Stream, ReadChecksItsArgumentsInOrder)
{
    unsigned char buffer[4] = {};
    EXPECT_EQ(ZorEncRead(handle, buffer, 0, 0, &lowered), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncRead(handle, buffer, 0, -1, &lowered), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncRead(handle, nullptr, 0, 4, &lowered), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncRead(handle, buffer, 0, 4, nullptr), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncReadUntil(handle, nullptr, '\r', &lowered), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncReadUntil(handle, buffer, '\r', nullptr), ZORENC_ERR_PARAM);
    ASSERT_EQ(ZorEncClose(handle), 0);
    // A closed port answers first, whatever else is wrong.
    EXPECT_EQ(ZorEncRead(handle, nullptr, 0, -1, nullptr), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(ZorEncReadUntil(handle, nullptr, '\r', nullptr), ZORENC_ERR_NOT_OPEN);
    EXPECT_EQ(ZorEncRead(0, buffer, 0, 4, &lowered), ZORENC_ERR_NOT_OPEN);
}

TEST_F(Stream, AFlagRaisedBeforeTheCallAbortsEvenWithAllBytesThere)
{
    SendRawLater(handle, Bytes("abcd"), {}, 0);
    SleepMs(200); // the board writes raw bytes 50 ms after its reply
    volatile unsigned char raised = 1;
    unsigned char buffer[4] = {9, 9, 9, 9};
    EXPECT_EQ(ZorEncRead(handle, buffer, 0, 4, &raised), ZORENC_ERR_ABORTED);
    EXPECT_EQ(buffer[0], 9);
    EXPECT_EQ(buffer[3], 9);
    EXPECT_EQ(ZorEncReadUntil(handle, buffer, 'x', &raised), ZORENC_ERR_ABORTED);
}

TEST_F(Stream, AFlagRaisedFromAnotherThreadEndsAWaitingReadQuicklyAndCheaply)
{
    volatile unsigned char flag = 0;
    unsigned char buffer[4] = {7, 7, 7, 7};
    const double cpuBefore = CpuMs();
    const double start = NowMs();
    double raisedAt = 0;
    struct Job {
        volatile unsigned char *flag;
        double *raisedAt;
    } job{&flag, &raisedAt};
    Later later(
        500,
        [](void *p) {
            auto *j = static_cast<Job *>(p);
            *j->raisedAt = NowMs();
            Raise(const_cast<unsigned char *>(j->flag));
        },
        &job);
    EXPECT_EQ(ZorEncRead(handle, buffer, 0, 4, &flag), ZORENC_ERR_ABORTED);
    const double end = NowMs();
    later.Join();
    const double cpu = CpuMs() - cpuBefore;
    EXPECT_GE(end - start, 450.0);
    EXPECT_LT(end - raisedAt, 100.0);
    EXPECT_EQ(buffer[0], 7);
    // Waiting, not spinning: well under a quarter of a core.
    EXPECT_LT(cpu, (end - start) * 0.25) << "cpu " << cpu << " ms";

    flag = 0;
    Later again(
        200, [](void *f) { Raise(f); }, const_cast<unsigned char *>(&flag));
    const double untilStart = NowMs();
    EXPECT_EQ(ZorEncReadUntil(handle, buffer, '\n', &flag), ZORENC_ERR_ABORTED);
    EXPECT_LT(NowMs() - untilStart, 400.0);
}

TEST_F(Stream, ReadUntilStopsAtTheTerminatorAndLeavesTheRest)
{
    SendRawLater(handle, {0x41, 0x42, 0x0D, 0x43, 0x44}, {}, 0);
    unsigned char buffer[128];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(ZorEncReadUntil(handle, buffer, 0x0D, &lowered), ZORENC_OK);
    EXPECT_EQ(buffer[0], 0x41);
    EXPECT_EQ(buffer[2], 0x0D);
    EXPECT_EQ(buffer[3], 0xEE);
    unsigned char rest[2] = {};
    EXPECT_EQ(ZorEncRead(handle, rest, 0, 2, &lowered), ZORENC_OK);
    EXPECT_EQ(rest[0], 0x43);
    EXPECT_EQ(rest[1], 0x44);
}

TEST_F(Stream, ReadUntilTakesZeroAsATerminator)
{
    SendRawLater(handle, {0x31, 0x00, 0x32}, {}, 0);
    unsigned char buffer[128] = {};
    buffer[2] = 0xEE;
    EXPECT_EQ(ZorEncReadUntil(handle, buffer, 0x00, &lowered), ZORENC_OK);
    EXPECT_EQ(buffer[0], 0x31);
    EXPECT_EQ(buffer[1], 0x00);
    EXPECT_EQ(buffer[2], 0xEE);
}

TEST_F(Stream, ALineLongerThan128BytesIsCutWithAFrameError)
{
    std::vector<uint8_t> line(130, 'x');
    SendRawLater(handle, line, {}, 0);
    unsigned char buffer[200];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(ZorEncReadUntil(handle, buffer, '\n', &lowered), ZORENC_ERR_FRAME);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(buffer[127], 'x');
    EXPECT_EQ(buffer[128], 0xEE);
}

TEST_F(Stream, PurgeAnswersForOpenPortsOnly)
{
    SendRawLater(handle, Bytes("stale"), {}, 0);
    SleepMs(200); // the board writes raw bytes 50 ms after its reply
    EXPECT_TRUE(ZorEncPurge(handle));
    volatile unsigned char flag = 0;
    Later later(
        150, [](void *f) { Raise(f); }, const_cast<unsigned char *>(&flag));
    unsigned char buffer[1];
    EXPECT_EQ(ZorEncRead(handle, buffer, 0, 1, &flag), ZORENC_ERR_ABORTED);
    EXPECT_FALSE(ZorEncPurge(0));
    EXPECT_FALSE(ZorEncPurge(12));
    ASSERT_EQ(ZorEncClose(handle), 0);
    EXPECT_FALSE(ZorEncPurge(handle));
}

// What the callbacks saw.
std::vector<std::vector<uint8_t>> g_sent;
std::vector<std::vector<uint8_t>> g_received;
int g_errors = 0;

void ZORENC_CALL OnSend(const unsigned char *data, int32_t length)
{
    g_sent.emplace_back(data, data + length);
}
void ZORENC_CALL OnRecv(const unsigned char *data, int32_t length)
{
    g_received.emplace_back(data, data + length);
}
void ZORENC_CALL OnError(const unsigned char *, int32_t)
{
    ++g_errors;
}

class Callbacks : public Stream {
protected:
    void SetUp() override
    {
        Stream::SetUp();
        g_sent.clear();
        g_received.clear();
        g_errors = 0;
    }
};

TEST_F(Callbacks, SeeTheStuffedRequestAndTheRawReply)
{
    Poke(handle, 0xF008, 0x7D);
    ASSERT_EQ(ZorEncRegisterSendEvent(handle, OnSend), ZORENC_OK);
    ASSERT_EQ(ZorEncRegisterRecvEvent(handle, OnRecv), ZORENC_OK);
    ASSERT_EQ(ZorEncRegisterErrorEvent(handle, OnError), ZORENC_OK);
    Fault(handle, zorsim::Fault::kGarbage, 3); // the test command itself is seen too
    g_sent.clear();
    g_received.clear();
    uint32_t value = 0;
    ASSERT_EQ(ZorEncSendRead(handle, 0xF008, 0, &value), ZORENC_OK);
    ASSERT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(Hex(g_sent[0]), "02 52 08 F0 00 00 00 00 00 4A 03");
    ASSERT_EQ(g_received.size(), 1u);
    // Three bytes of noise ahead, then the reply with its value stuffed.
    ASSERT_EQ(g_received[0].size(), 3u + 12u);
    EXPECT_EQ(Hex(std::vector<uint8_t>(g_received[0].begin() + 3, g_received[0].end())),
              "02 52 08 F0 7D 5D 00 00 00 00 C7 03");

    g_sent.clear();
    g_received.clear();
    EXPECT_EQ(ZorEncSendOnly(handle, 'R', 0xF008, 0), ZORENC_OK);
    EXPECT_EQ(g_sent.size(), 1u);
    EXPECT_EQ(g_received.size(), 0u);
    SleepMs(50); // its reply lands now, not during the next exchange

    // Failures never reach the error callback.
    Fault(handle, zorsim::Fault::kSilence);
    EXPECT_EQ(ZorEncSendRead(handle, 0xF008, 0, &value), ZORENC_ERR_TIMEOUT);
    Fault(handle, zorsim::Fault::kBadChecksum);
    EXPECT_EQ(ZorEncSendRead(handle, 0xF008, 0, &value), ZORENC_ERR_CHECKSUM);
    EXPECT_EQ(g_errors, 0);
}

TEST_F(Callbacks, NullStopsThemAndClosingTheHandlerDropsThem)
{
    EXPECT_EQ(ZorEncRegisterSendEvent(0, OnSend), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncRegisterRecvEvent(-1, OnRecv), ZORENC_ERR_PARAM);
    EXPECT_EQ(ZorEncRegisterErrorEvent(50, OnError), ZORENC_ERR_PARAM);
    ASSERT_EQ(ZorEncRegisterSendEvent(handle, OnSend), ZORENC_OK);
    ASSERT_EQ(ZorEncRegisterSendEvent(handle, nullptr), ZORENC_OK);
    uint32_t value = 0;
    ASSERT_EQ(ZorEncSendRead(handle, 0xF000, 0, &value), ZORENC_OK);
    EXPECT_EQ(g_sent.size(), 0u);

    // Callbacks survive ZorEncClose but not ZorEncCloseHandler.
    ASSERT_EQ(ZorEncRegisterRecvEvent(handle, OnRecv), ZORENC_OK);
    ASSERT_EQ(ZorEncClose(handle), 0);
    {
        StdoutCapture quiet;
        ASSERT_TRUE(ZorEncOpen(handle, PortName().c_str()));
    }
    ASSERT_EQ(ZorEncSendRead(handle, 0xF000, 0, &value), ZORENC_OK);
    EXPECT_EQ(g_received.size(), 1u);
    {
        StdoutCapture quiet;
        ZorEncCloseHandler(handle);
        ASSERT_EQ(ZorEncCreateHandler(), handle);
        ASSERT_TRUE(ZorEncOpen(handle, PortName().c_str()));
    }
    ASSERT_EQ(ZorEncSendRead(handle, 0xF000, 0, &value), ZORENC_OK);
    EXPECT_EQ(g_received.size(), 1u);
}

} // namespace
