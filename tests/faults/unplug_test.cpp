// A port that goes away under an open handler (the board's end of the line
// disappears between two transactions, or while a reply is on its way), a
// line whose far end stops taking bytes, and a board that restarts with its
// state gone. Transactions must then end with an
// error within their deadline and raw reads by their abort flag, waiting
// rather than spinning; after a close the handler reopens on the board's new
// port and works.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "protocol/codec.h"
#include "support.h"

namespace {

using faults::NowMs;
using faults::SleepMs;
using faults::ThreadCpuMs;
using faults::Worker;
using zorsim::Fault;
namespace reg = zorsim::reg;

// A transaction on a dead line ends by its 1000 ms deadline; this allows for
// a loaded machine.
constexpr double kTransactionLimitMs = 1500;
// Waiting, not spinning: a failing wait may use this share of a core.
constexpr double kCpuShare = 0.25;
// Raw reads end within 100 ms of their abort flag; this allows for load.
constexpr double kAbortLimitMs = 600;

const uint16_t kPulseWidth1 = reg::Channel(1, reg::kTrgPulseWidth);

struct Outcome {
    uint32_t code = 0;
    double ms = 0;
    double cpuMs = 0;
};

Outcome Measure(const std::function<uint32_t()> &call)
{
    Outcome o;
    const double cpu = ThreadCpuMs();
    const double start = NowMs();
    o.code = call();
    o.ms = NowMs() - start;
    o.cpuMs = ThreadCpuMs() - cpu;
    return o;
}

// A library error: no board answered, so no board status may be reported.
void ExpectFailedInTime(const Outcome &o, const std::string &what)
{
    SCOPED_TRACE(what);
    EXPECT_GE(o.code, ZORENC_ERR_PARAM) << "code 0x" << std::hex << o.code;
    EXPECT_LT(o.ms, kTransactionLimitMs);
    EXPECT_LT(o.cpuMs, o.ms * kCpuShare + 5) << "busy for " << o.cpuMs << " of " << o.ms << " ms";
}

std::vector<uint8_t> ReplyFrame(uint16_t address, uint32_t value)
{
    uint8_t frame[zorenc::protocol::kMaxFrame];
    const int32_t n = zorenc::protocol::EncodeFrame('R', address, value, 0, frame);
    return std::vector<uint8_t>(frame, frame + n);
}

class PortGone : public ::testing::Test {
protected:
    void Open(zorsim::Options options = {})
    {
        board = faults::StartBoard(std::move(options));
        handle = faults::OpenOn(board->SlavePath());
        ASSERT_NE(handle, 0);
    }
    void Shut()
    {
        if (handle != 0) {
            ZorEncCloseHandler(handle);
            handle = 0;
        }
        board.reset();
    }
    void TearDown() override { Shut(); }

    // After a close the handler opens on the restarted board's new port and
    // finds it at its power-up state.
    void ExpectReopensOnTheRestartedBoard()
    {
        EXPECT_EQ(ZorEncClose(handle), 0);
        EXPECT_FALSE(ZorEncIsOpen(handle));
        ASSERT_TRUE(board->Restart());
        ASSERT_TRUE(ZorEncOpen(handle, board->SlavePath().c_str()));
        uint32_t value = 0;
        EXPECT_EQ(ZorEncSendRead(handle, kPulseWidth1, 0, &value), ZORENC_OK);
        EXPECT_EQ(value, faults::PowerUpValue(kPulseWidth1));
        EXPECT_EQ(ZorEncSendWrite(handle, kPulseWidth1, 0x7D0302u, &value), ZORENC_OK);
        EXPECT_EQ(ZorEncSendRead(handle, kPulseWidth1, 0, &value), ZORENC_OK);
        EXPECT_EQ(value, 0x7D0302u);
    }

    std::unique_ptr<zorsim::Board> board;
    ZorEncHandle handle = 0;
};

TEST_F(PortGone, BetweenTransactionsEveryCallFailsInTimeAndTheHandlerReopens)
{
    Open();
    uint32_t value = 0;
    ASSERT_EQ(ZorEncSendWrite(handle, kPulseWidth1, 4321, &value), ZORENC_OK);
    board->Unplug();
    ASSERT_TRUE(board->SlavePath().empty());

    // The raw transactions leave out untouched; a device getter goes through
    // the same transaction.
    uint32_t out = 0xA5A5A5A5u;
    ExpectFailedInTime(Measure([&] { return ZorEncSendRead(handle, kPulseWidth1, 0, &out); }),
                       "read");
    ExpectFailedInTime(Measure([&] { return ZorEncSendWrite(handle, kPulseWidth1, 1, &out); }),
                       "write");
    EXPECT_EQ(out, 0xA5A5A5A5u);
    int32_t mode = 0;
    ExpectFailedInTime(Measure([&] { return ZorEncGetTrgMode(handle, &mode); }), "device getter");

    // Raw reads have no deadline of their own: their abort flag ends them.
    struct RawCase {
        const char *name;
        std::function<uint32_t(unsigned char *, const volatile unsigned char *)> call;
    };
    const RawCase raws[] = {
        {"ZorEncRead",
         [this](unsigned char *b, const volatile unsigned char *f) {
             return ZorEncRead(handle, b, 0, 16, f);
         }},
        {"ZorEncReadUntil",
         [this](unsigned char *b, const volatile unsigned char *f) {
             return ZorEncReadUntil(handle, b, '\n', f);
         }},
    };
    for (const RawCase &c : raws) {
        SCOPED_TRACE(c.name);
        volatile unsigned char flag = 0;
        unsigned char buffer[128] = {0x5A};
        const double start = NowMs();
        Worker raiser("abort raiser", [&flag] {
            SleepMs(200);
            faults::Raise(&flag);
        });
        const Outcome o = Measure([&] { return c.call(buffer, &flag); });
        raiser.Join(5000);
        EXPECT_EQ(o.code, ZORENC_ERR_ABORTED);
        EXPECT_GE(NowMs() - start, 199.0);
        EXPECT_LT(o.ms, 200 + kAbortLimitMs);
        EXPECT_LT(o.cpuMs, o.ms * kCpuShare + 5) << "busy for " << o.cpuMs << " of " << o.ms;
        EXPECT_EQ(buffer[0], 0x5A);
    }

    ZorEncPurge(handle); // whatever it reports, it must come back
    ExpectReopensOnTheRestartedBoard();
}

// The port goes away while the reply to a transaction is on its way.
TEST_F(PortGone, DuringAReplyTheTransactionFailsInTimeAndTheHandlerReopens)
{
    struct Case {
        const char *name;
        bool paced;
        std::function<void(zorsim::Board &)> prepare;     // before the request
        std::function<void(zorsim::Board &)> duringReply; // once the request is in
    };
    const Case cases[] = {
        {"delayed reply", false, [](zorsim::Board &b) { b.InjectFault(Fault::kDelay, 900); },
         [](zorsim::Board &) { SleepMs(100); }},
        {"part of the reply arrived", false,
         [](zorsim::Board &b) { b.InjectFault(Fault::kSilence); },
         [](zorsim::Board &b) {
             std::vector<uint8_t> reply = ReplyFrame(kPulseWidth1, 0x11223344u);
             reply.resize(6);
             b.SendRaw(reply);
             SleepMs(50);
         }},
        // 80 ms of bytes at wire speed, and cut short as well, so that the
        // outcome does not depend on when exactly the port goes.
        {"slow paced reply", true,
         [](zorsim::Board &b) {
             b.InjectFault(Fault::kGarbage, 900);
             b.InjectFault(Fault::kTruncate, 1);
         },
         [](zorsim::Board &) { SleepMs(30); }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zorsim::Options options;
        options.paced = c.paced;
        Open(options);
        c.prepare(*board);
        zorsim::Board &b = *board;
        Worker unplugger("unplugger", [&b, &c] {
            if (b.WaitForRequests(1, 5000)) {
                c.duringReply(b);
            }
            b.Unplug();
        });
        uint32_t out = 0xA5A5A5A5u;
        const Outcome o = Measure([&] { return ZorEncSendRead(handle, kPulseWidth1, 0, &out); });
        unplugger.Join(10000);
        ExpectFailedInTime(o, c.name);
        EXPECT_EQ(out, 0xA5A5A5A5u);
        ExpectReopensOnTheRestartedBoard();
        Shut();
    }
}

// The port goes away in the middle of a long paced stream that a raw read is
// gathering: the read keeps waiting, without spinning, until its flag rises.
TEST_F(PortGone, DuringAPacedStreamRawReadsEndByTheirFlag)
{
    struct Case {
        const char *name;
        std::function<uint32_t(ZorEncHandle, unsigned char *, const volatile unsigned char *)> call;
        size_t chunk; // bytes sent at a time, at wire speed
        int gapMs;    // between chunks
        int chunks;
    };
    // ZorEncRead waits for more than the board sends; ZorEncReadUntil gets
    // no terminator and fewer than its 128-byte limit.
    const Case cases[] = {
        {"ZorEncRead",
         [](ZorEncHandle h, unsigned char *b, const volatile unsigned char *f) {
             return ZorEncRead(h, b, 0, 20000, f);
         },
         2000, 0, 9},
        {"ZorEncReadUntil",
         [](ZorEncHandle h, unsigned char *b, const volatile unsigned char *f) {
             return ZorEncReadUntil(h, b, '\n', f);
         },
         40, 100, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zorsim::Options options;
        options.paced = true;
        Open(options);
        zorsim::Board &b = *board;
        Worker sender("sender", [&b, &c] {
            const std::vector<uint8_t> chunk(c.chunk, 0x55);
            for (int i = 0; i < c.chunks && b.SendRaw(chunk); ++i) {
                SleepMs(c.gapMs);
            }
        });
        volatile unsigned char flag = 0;
        Worker unplugger("unplugger", [&b, &flag] {
            SleepMs(150);
            b.Unplug();
            SleepMs(200);
            faults::Raise(&flag);
        });
        std::vector<unsigned char> buffer(20000, 0x5A);
        const Outcome o = Measure([&] { return c.call(handle, buffer.data(), &flag); });
        unplugger.Join(10000);
        sender.Join(10000);
        EXPECT_EQ(o.code, ZORENC_ERR_ABORTED);
        EXPECT_GE(o.ms, 340.0);
        EXPECT_LT(o.ms, 350 + kAbortLimitMs);
        EXPECT_LT(o.cpuMs, o.ms * kCpuShare + 5) << "busy for " << o.cpuMs << " of " << o.ms;
        EXPECT_EQ(buffer[0], 0x5A);
        ExpectReopensOnTheRestartedBoard();
        Shut();
    }
}

// The board power-cycles between two transactions: the next one succeeds and
// sees the power-up values, on the same port or, after a close and reopen,
// on the new one.
TEST_F(PortGone, ABoardRestartedBetweenTransactionsAnswersWithItsPowerUpState)
{
    struct Register {
        uint16_t address;
        uint32_t written;
    };
    const Register registers[] = {
        {reg::Channel(0, reg::kTrgPosition0), 12345},
        {reg::Channel(1, reg::kTrgPulseWidth), 555},
        {reg::Channel(2, reg::kEncMultiAnalog), 9},
        {reg::Channel(3, reg::kIdxTrgPosition + 7), 0x03027D02u},
        {reg::kEncResolution, 2500},
        {reg::kTrgMode, 3},
    };
    for (const bool newPort : {false, true}) {
        SCOPED_TRACE(newPort ? "restarted on a new port" : "reset on the same port");
        Open();
        for (const Register &r : registers) {
            uint32_t value = 0;
            ASSERT_EQ(ZorEncSendWrite(handle, r.address, r.written, &value), ZORENC_OK);
            ASSERT_EQ(board->Get(r.address), r.written);
        }
        if (newPort) {
            ASSERT_TRUE(board->Restart());
            uint32_t value = 0xA5A5A5A5u;
            ExpectFailedInTime(
                Measure([&] { return ZorEncSendRead(handle, registers[0].address, 0, &value); }),
                "on the old port");
            EXPECT_EQ(ZorEncClose(handle), 0);
            ASSERT_TRUE(ZorEncOpen(handle, board->SlavePath().c_str()));
        } else {
            board->Reset();
        }
        for (const Register &r : registers) {
            uint32_t value = r.written;
            EXPECT_EQ(ZorEncSendRead(handle, r.address, 0, &value), ZORENC_OK);
            EXPECT_EQ(value, faults::PowerUpValue(r.address)) << "register " << r.address;
            EXPECT_NE(value, r.written);
        }
        double resolution = 0;
        EXPECT_EQ(ZorEncGetEncoderResolution(handle, &resolution), ZORENC_OK);
        EXPECT_DOUBLE_EQ(resolution, 1.0);
        Shut();
    }
}

// The far end never reads: once the line's buffer is full no byte of a
// request goes out, and the write must give up by the transaction's deadline
// instead of the driver's own limit.
TEST(StalledLine, RequestsEndInTimeOnALineNobodyReads)
{
    int master = -1;
    int slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    termios t{};
    ASSERT_EQ(tcgetattr(slave, &t), 0);
    cfmakeraw(&t);
    ASSERT_EQ(tcsetattr(slave, TCSANOW, &t), 0);
    const ZorEncHandle handle = faults::OpenOn(name);
    ASSERT_NE(handle, 0);
    // Fills the buffer through a descriptor of our own on the same side. Full
    // once it has taken nothing for a while: the kernel moves bytes on between
    // its buffers for a moment after a write.
    ASSERT_EQ(fcntl(slave, F_SETFL, fcntl(slave, F_GETFL) | O_NONBLOCK), 0);
    const std::vector<char> block(4096, 0x55);
    auto fill = [&] {
        for (pollfd out{slave, POLLOUT, 0}; poll(&out, 1, 200) > 0; out.revents = 0) {
            while (write(slave, block.data(), block.size()) > 0 || write(slave, "U", 1) > 0) {
            }
        }
    };

    constexpr double kLimitMs = 1300;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        fill();
        uint32_t value = 0;
        const Outcome read =
            Measure([&] { return ZorEncSendRead(handle, kPulseWidth1, 0, &value); });
        EXPECT_EQ(read.code, ZORENC_ERR_TIMEOUT);
        EXPECT_LT(read.ms, kLimitMs);
        EXPECT_LT(read.cpuMs, read.ms * kCpuShare + 5);
        fill();
        const Outcome only = Measure([&] { return ZorEncSendOnly(handle, 'W', kPulseWidth1, 1); });
        EXPECT_EQ(only.code, ZORENC_OK); // a failed write is not noticed
        EXPECT_GT(only.ms, 500);         // it did wait for the line
        EXPECT_LT(only.ms, kLimitMs);
    }
    ZorEncCloseHandler(handle);
    close(master);
    close(slave);
}

} // namespace
