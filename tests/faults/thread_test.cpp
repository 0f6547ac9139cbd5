// Handles used from several threads at once, each on a board of its own:
// every thread writes values that name it and reads them back, so a reply or
// a request that strays to another handle's port shows as a wrong value. A
// raw read on a further handle waits meanwhile until another thread raises
// its abort flag, and one more thread creates and closes handlers all the
// while, growing the handler table under the others' calls.
//
// Nothing here depends on how fast the machine is: no durations are
// asserted, and the flag is raised only once the other threads are done, so
// the test runs unchanged under ThreadSanitizer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support.h"

namespace {

using faults::Worker;
namespace reg = zorsim::reg;

constexpr int kThreads = 4;
constexpr int kTransactions = 1000; // per thread, half writes and half reads
// Generous bounds for a hang, long enough for a sanitizer's slowdown.
constexpr int kWorkerLimitMs = 240000;
constexpr int kAbortLimitMs = 30000;

const std::vector<uint16_t> kRegisters = {
    reg::Channel(0, reg::kTrgPosition0),
    reg::Channel(1, reg::kTrgPosition1),
    reg::Channel(2, reg::kTrgGenerator),
    reg::Channel(3, reg::kTrgDelay),
    reg::Channel(2, reg::kIdxTrgPosition),
    reg::Channel(3, reg::kIdxTrgPosition + 0x6D),
    reg::kPositiveRun,
    reg::kNegativeRun,
    reg::kEncResolution,
    reg::Channel(0, reg::kEncResetValue),
};

// A value that names its thread in the top byte and its round below; the
// low byte is often one the line escapes.
uint32_t Tagged(int thread, int round)
{
    const uint8_t low[] = {0x02, 0x03, 0x7D, 0x5E};
    return (static_cast<uint32_t>(0xA0 + thread) << 24) |
           (static_cast<uint32_t>(round & 0xFFFF) << 8) | low[round % 4];
}

struct Tally {
    int done = 0;
    int failures = 0;
    std::string first; // the first failure, in words
};

// Creates and closes handlers until stop is raised: each round takes the
// lowest free slots, first, first + 1, ..., and frees them again.
void Churn(ZorEncHandle first, const std::atomic<bool> &stop, Tally &tally)
{
    constexpr int kPerRound = 6;
    for (int round = 0; !stop.load() && round < 100000; ++round) {
        ZorEncHandle held[kPerRound] = {};
        for (int k = 0; k < kPerRound; ++k) {
            held[k] = ZorEncCreateHandler();
            if (held[k] != first + k || !ZorEncIsValidHandle(held[k]) || ZorEncIsOpen(held[k])) {
                if (tally.failures++ == 0) {
                    tally.first = "round " + std::to_string(round) + ": created handle " +
                                  std::to_string(held[k]) + ", expected " +
                                  std::to_string(first + k);
                }
            }
        }
        for (int k = kPerRound - 1; k >= 0; --k) {
            ZorEncCloseHandler(held[k]);
            if (ZorEncIsValidHandle(held[k]) && tally.failures++ == 0) {
                tally.first = "a closed handle stayed valid";
            }
        }
        tally.done += 1;
        faults::SleepMs(1);
    }
}

// Standard output goes nowhere while it lives: the handlers the churn
// closes print their lines.
class QuietStdout {
public:
    QuietStdout()
    {
        std::fflush(stdout);
        saved_ = dup(1);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        close(null);
    }
    ~QuietStdout()
    {
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
    }
    QuietStdout(const QuietStdout &) = delete;
    QuietStdout &operator=(const QuietStdout &) = delete;

private:
    int saved_ = -1;
};

void Drive(int thread, ZorEncHandle handle, zorsim::Board &board, Tally &tally)
{
    auto fail = [&tally](int round, const char *what, uint32_t code, uint32_t value) {
        if (tally.failures++ == 0) {
            char text[128];
            std::snprintf(text, sizeof text, "round %d: %s gave code 0x%X value 0x%08X", round,
                          what, code, value);
            tally.first = text;
        }
    };
    for (int round = 0; round < kTransactions / 2; ++round) {
        const uint16_t address = kRegisters[(round + thread) % kRegisters.size()];
        const uint32_t value = Tagged(thread, round);
        uint32_t out = 0;
        uint32_t code = ZorEncSendWrite(handle, address, value, &out);
        if (code != ZORENC_OK || out != value) {
            fail(round, "write", code, out);
        }
        const uint32_t held = board.Get(address);
        if (held != value) {
            fail(round, "this board after the write", 0, held);
        }
        out = 0;
        code = ZorEncSendRead(handle, address, 0, &out);
        if (code != ZORENC_OK || out != value) {
            fail(round, "read back", code, out);
        }
        tally.done += 2;
    }
}

TEST(Threads, FourHandlesOnFourBoardsDoNotCrossTalkWhileHandlersComeAndGo)
{
    std::array<std::unique_ptr<zorsim::Board>, kThreads + 1> boards;
    std::array<ZorEncHandle, kThreads + 1> handles{};
    for (int i = 0; i <= kThreads; ++i) {
        boards[i] = faults::StartBoard();
        handles[i] = faults::OpenOn(boards[i]->SlavePath());
        ASSERT_NE(handles[i], 0) << "board " << i;
    }

    // The raw read on the last handle: a few bytes come, the rest never do.
    const ZorEncHandle rawHandle = handles[kThreads];
    ASSERT_TRUE(boards[kThreads]->SendRaw({1, 2, 3, 4, 5}));
    volatile unsigned char flag = 0;
    uint32_t rawCode = 0;
    std::array<unsigned char, 64> rawBuffer;
    rawBuffer.fill(0xEE);
    Worker reader("raw read", [&] {
        rawCode = ZorEncRead(rawHandle, rawBuffer.data(), 0, static_cast<int32_t>(rawBuffer.size()),
                             &flag);
    });

    std::array<Tally, kThreads> tallies;
    Tally churned;
    {
        QuietStdout quiet;
        std::atomic<bool> stop{false};
        Worker churn("create and close", [&] { Churn(handles[kThreads] + 1, stop, churned); });
        std::vector<std::unique_ptr<Worker>> workers;
        for (int t = 0; t < kThreads; ++t) {
            workers.push_back(std::make_unique<Worker>(
                "thread " + std::to_string(t), [t, &handles, &boards, &tallies] {
                    Drive(t, handles[t], *boards[t], tallies[t]);
                }));
        }
        for (auto &w : workers) {
            w->Join(kWorkerLimitMs);
        }
        stop.store(true);
        churn.Join(kWorkerLimitMs);
    }
    EXPECT_GT(churned.done, 0);
    EXPECT_EQ(churned.failures, 0) << churned.first;

    faults::Raise(&flag);
    reader.Join(kAbortLimitMs);
    EXPECT_EQ(rawCode, ZORENC_ERR_ABORTED);
    EXPECT_EQ(rawBuffer[0], 0xEE) << "an aborted read filled the buffer";

    for (int t = 0; t < kThreads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        EXPECT_EQ(tallies[t].done, kTransactions);
        EXPECT_EQ(tallies[t].failures, 0) << tallies[t].first;
        // Each board holds its own thread's last values and nobody else's.
        for (size_t k = 0; k < kRegisters.size(); ++k) {
            const uint32_t held = boards[t]->Get(kRegisters[k]);
            EXPECT_EQ(held >> 24, static_cast<uint32_t>(0xA0 + t)) << "register " << kRegisters[k];
        }
    }
    for (ZorEncHandle h : handles) {
        ZorEncCloseHandler(h);
    }
}

} // namespace
