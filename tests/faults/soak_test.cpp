// Soak of register transactions against a misbehaving board: thousands of
// reads and writes of random registers with random values, most answered
// cleanly, the others with a fault of the board drawn at random. Every result
// is checked against what its fault must give, every request against what was
// asked for, and in the end every register against a model of the board.
//
// The seed is printed; ZORENC_SOAK_SEED repeats a run, ZORENC_SOAK_TRANSACTIONS
// and ZORENC_SOAK_SLOW change its size (the slow faults cost a second each).
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "protocol/codec.h"
#include "support.h"

namespace {

using faults::NowMs;
using zorsim::Fault;
namespace reg = zorsim::reg;

constexpr uint32_t kDeadlineMs = 1000;
// A timed-out transaction ends within this much of its deadline.
constexpr double kTimeoutSlackMs = 500;
// Time given to a late reply to land after the transaction gave up on it.
constexpr int kLateSettleMs = 200;

// Faults of one transaction. The fast ones may come together; a slow one
// (the reply never completes in time) comes alone.
enum FaultBit : unsigned {
    kGarbage = 1u << 0,
    kChecksum = 1u << 1,
    kStatus = 1u << 2,
    kDouble = 1u << 3,
    kCutShort = 1u << 4,
    kLate = 1u << 5,
    kSilence = 1u << 6,
};
constexpr unsigned kFastFaults[] = {kGarbage, kChecksum, kStatus, kDouble};
constexpr unsigned kSlowFaults = kCutShort | kLate | kSilence;

const char *FaultName(unsigned bit)
{
    switch (bit) {
    case kGarbage:
        return "garbage ahead of the reply";
    case kChecksum:
        return "wrong checksum";
    case kStatus:
        return "non-zero status";
    case kDouble:
        return "reply twice";
    case kCutShort:
        return "reply cut short";
    case kLate:
        return "reply late";
    case kSilence:
        return "silence";
    default:
        return "?";
    }
}

enum class Op { kRead, kWrite, kWriteReadOnly, kReadUnknown };

struct Transaction {
    Op op = Op::kRead;
    uint16_t address = 0;
    uint32_t value = 0; // written
    unsigned faults = 0;
    uint32_t status = 0;  // of kStatus
    uint32_t garbage = 0; // bytes, of kGarbage
    uint32_t cut = 0;     // bytes, of kCutShort
    uint32_t lateMs = 0;  // of kLate
};

struct Expected {
    uint32_t code = 0;
    uint32_t value = 0; // carried by the reply; not stored on a time-out
};

uint64_t EnvNumber(const char *name, uint64_t fallback)
{
    const char *text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : fallback;
}

// The read/write registers that store exactly what is written: every channel
// block register but the direction (which starts the encoders), and the
// device settings.
std::vector<uint16_t> StorageRegisters()
{
    std::vector<uint16_t> list;
    const uint16_t offsets[] = {reg::kTrgControl,     reg::kTrgGenerator,   reg::kTrgPosition0,
                                reg::kTrgPosition1,   reg::kEncMultiAnalog, reg::kTrgOutputMode,
                                reg::kTrgPulseWidth,  reg::kTrgDelay,       reg::kEncResetValue,
                                reg::kIdxTrgLastIndex};
    for (int ch = 0; ch < zorsim::kChannels; ++ch) {
        for (uint16_t offset : offsets) {
            list.push_back(reg::Channel(ch, offset));
        }
        for (uint16_t offset = reg::kIdxTrgPosition; offset <= 0xFF; ++offset) {
            list.push_back(reg::Channel(ch, offset));
        }
    }
    for (uint16_t address :
         {reg::kEncResolution, reg::kPositiveRun, reg::kNegativeRun, reg::kTrgMode}) {
        list.push_back(address);
    }
    return list;
}

const std::vector<uint16_t> kReadOnly = {reg::kFirmwareVersion, reg::kLogicVersion, reg::kDiState,
                                         reg::kDiCount};
// Addresses with no register; some hold the bytes the line escapes.
const std::vector<uint16_t> kUnknown = {0x0006, 0x010D, 0x020E, 0x030F, 0x0206, 0x047D,
                                        0x7D03, 0x0404, 0x04FF, 0xF007, 0xF00B, 0xFFFF};

class Soak {
public:
    explicit Soak(uint64_t seed) : rng_(seed), storage_(StorageRegisters())
    {
        board_ = faults::StartBoard();
        handle_ = faults::OpenOn(board_->SlavePath());
        model_.assign(0x10000, 0);
        for (uint16_t a : storage_) {
            model_[a] = board_->Get(a);
        }
        for (uint16_t a : kReadOnly) {
            model_[a] = board_->Get(a);
        }
    }
    ~Soak() { ZorEncCloseHandler(handle_); }

    bool Ready() const { return handle_ != 0; }

    void Run(uint64_t count, uint64_t slow)
    {
        // The slow faults at random places, in equal shares.
        std::vector<unsigned> slowAt(count, 0);
        const unsigned kinds[] = {kSilence, kCutShort, kLate};
        for (uint64_t i = 0; i < std::min(slow, count); ++i) {
            slowAt[i] = kinds[i % 3];
        }
        std::shuffle(slowAt.begin(), slowAt.end(), rng_);

        const double start = NowMs();
        for (uint64_t i = 0; i < count; ++i) {
            Transaction t = Draw(slowAt[i]);
            const Expected lateReply = Perform(t);
            if ((t.faults & kLate) != 0) {
                // The late reply lands in the receive queue before the next
                // request goes out; that request must get its own reply.
                Perform(FollowUp(t.address, lateReply.value), true);
            }
        }
        elapsedMs_ = NowMs() - start;

        for (uint16_t a : storage_) {
            const uint32_t held = board_->Get(a);
            if (held != model_[a]) {
                ++registerMismatches_;
                Note("register 0x%04X holds 0x%08X, expected 0x%08X", a, held, model_[a]);
            }
        }
    }

    void Report(uint64_t seed) const
    {
        std::printf("soak: seed %" PRIu64 ", %" PRIu64 " transactions in %.1f s\n", seed,
                    transactions_, elapsedMs_ / 1000.0);
        std::printf("soak: faults injected (a transaction may have more than one):\n");
        std::printf("  %-28s %8" PRIu64 "\n", "none", plain_);
        for (const auto &[bit, n] : faultCounts_) {
            std::printf("  %-28s %8" PRIu64 "\n", FaultName(bit), n);
        }
        std::printf("  %-28s %8" PRIu64 "\n", "(two fast faults together)", combined_);
        std::printf("  %-28s %8" PRIu64 "\n", "(follow-ups to late replies)", followUps_);
        std::printf("soak: outcomes:\n");
        std::map<std::string, uint64_t> byName;
        for (const auto &[code, n] : outcomes_) {
            byName[OutcomeName(code)] += n;
        }
        for (const auto &[name, n] : byName) {
            std::printf("  %-28s %8" PRIu64 "\n", name.c_str(), n);
        }
        std::printf("soak: slowest answered transaction %.1f ms; time-outs took %.1f to %.1f ms\n",
                    slowestAnsweredMs_, fastestTimeoutMs_, slowestTimeoutMs_);
        std::printf("soak: wrong values reported as success %" PRIu64
                    ", other wrong results %" PRIu64 ", request mismatches %" PRIu64
                    ", register mismatches %" PRIu64 "\n",
                    wrongSuccesses_, wrongResults_, requestMismatches_, registerMismatches_);
        for (const std::string &note : notes_) {
            std::printf("  %s\n", note.c_str());
        }
        std::fflush(stdout);
    }

    uint64_t transactions_ = 0;
    uint64_t wrongSuccesses_ = 0;
    uint64_t wrongResults_ = 0;
    uint64_t requestMismatches_ = 0;
    uint64_t registerMismatches_ = 0;
    uint64_t lateTimingErrors_ = 0;
    double slowestAnsweredMs_ = 0;
    double fastestTimeoutMs_ = 1e9;
    double slowestTimeoutMs_ = 0;

private:
    static std::string OutcomeName(uint32_t code)
    {
        char hex[16];
        std::snprintf(hex, sizeof hex, "0x%04X ", code);
        if (code == ZORENC_OK) {
            return std::string(hex) + "ok";
        }
        if (code == ZORENC_ERR_CHECKSUM) {
            return std::string(hex) + "checksum mismatch";
        }
        if (code == ZORENC_ERR_TIMEOUT) {
            return std::string(hex) + "time-out";
        }
        if (code == zorsim::kStatusUnknownAddress) {
            return std::string(hex) + "no such register";
        }
        if (code == zorsim::kStatusReadOnly) {
            return std::string(hex) + "read-only register";
        }
        return code < 0x100 ? "other board status" : std::string(hex) + "library error";
    }

    template <typename... Args> void Note(const char *format, Args... args)
    {
        if (notes_.size() < 20) {
            char text[256];
            std::snprintf(text, sizeof text, format, args...);
            notes_.emplace_back(text);
        }
    }

    uint32_t Below(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

    // Random, but often made of the bytes the line escapes.
    uint32_t RandomValue()
    {
        if (Below(4) != 0) {
            return static_cast<uint32_t>(rng_());
        }
        const uint8_t special[] = {zorenc::protocol::kStx, zorenc::protocol::kEtx,
                                   zorenc::protocol::kEscByte};
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const uint32_t byte = Below(2) == 0 ? special[Below(3)] : Below(256);
            value |= byte << (8 * i);
        }
        return value;
    }

    Transaction Draw(unsigned slow)
    {
        Transaction t;
        const uint32_t pick = Below(100);
        if (pick < 46) {
            t.op = Op::kRead;
            t.address = storage_[Below(static_cast<uint32_t>(storage_.size()))];
        } else if (pick < 92) {
            t.op = Op::kWrite;
            t.address = storage_[Below(static_cast<uint32_t>(storage_.size()))];
            t.value = RandomValue();
        } else if (pick < 96) {
            t.op = Op::kWriteReadOnly;
            t.address = kReadOnly[Below(static_cast<uint32_t>(kReadOnly.size()))];
            t.value = RandomValue();
        } else {
            t.op = Op::kReadUnknown;
            t.address = kUnknown[Below(static_cast<uint32_t>(kUnknown.size()))];
        }
        if (slow != 0) {
            t.faults = slow;
        } else if (Below(100) < 30) {
            t.faults = kFastFaults[Below(4)];
            if (Below(100) < 20) {
                t.faults |= kFastFaults[Below(4)];
            }
        }
        t.status = 1 + Below(255);
        t.garbage = 1 + Below(200);
        t.cut = 1 + Below(8);
        t.lateMs = kDeadlineMs + 100 + Below(200);
        return t;
    }

    // A clean read of another register, holding anything but the value of
    // the late reply still in flight.
    Transaction FollowUp(uint16_t lateAddress, uint32_t lateValue)
    {
        Transaction t;
        t.op = Op::kRead;
        do {
            t.address = storage_[Below(static_cast<uint32_t>(storage_.size()))];
        } while (t.address == lateAddress || model_[t.address] == lateValue);
        return t;
    }

    // What the board does with the request and what the library must report.
    Expected Apply(const Transaction &t)
    {
        Expected e;
        switch (t.op) {
        case Op::kRead:
            e.value = model_[t.address];
            break;
        case Op::kWrite:
            model_[t.address] = t.value; // stored, whatever becomes of the reply
            e.value = t.value;
            break;
        case Op::kWriteReadOnly:
            e.code = zorsim::kStatusReadOnly;
            break;
        case Op::kReadUnknown:
            e.code = zorsim::kStatusUnknownAddress;
            break;
        }
        if ((t.faults & kStatus) != 0) {
            e.code = t.status;
        }
        if ((t.faults & kChecksum) != 0) {
            e.code = ZORENC_ERR_CHECKSUM;
        }
        if ((t.faults & kSlowFaults) != 0) {
            e.code = ZORENC_ERR_TIMEOUT;
        }
        return e;
    }

    void Inject(const Transaction &t)
    {
        board_->ClearFaults();
        if ((t.faults & kGarbage) != 0) {
            board_->InjectFault(Fault::kGarbage, t.garbage);
        }
        if ((t.faults & kChecksum) != 0) {
            board_->InjectFault(Fault::kBadChecksum);
        }
        if ((t.faults & kStatus) != 0) {
            board_->InjectFault(Fault::kStatus, t.status);
        }
        if ((t.faults & kDouble) != 0) {
            board_->InjectFault(Fault::kDoubleReply);
        }
        if ((t.faults & kCutShort) != 0) {
            board_->InjectFault(Fault::kTruncate, t.cut);
        }
        if ((t.faults & kLate) != 0) {
            board_->InjectFault(Fault::kLate, t.lateMs);
        }
        if ((t.faults & kSilence) != 0) {
            board_->InjectFault(Fault::kSilence);
        }
    }

    void Count(const Transaction &t, bool followUp)
    {
        ++transactions_;
        if (followUp) {
            ++followUps_;
        }
        if (t.faults == 0) {
            ++plain_;
            return;
        }
        unsigned kinds = 0;
        for (unsigned bit = 1; bit <= kSilence; bit <<= 1) {
            if ((t.faults & bit) != 0) {
                ++faultCounts_[bit];
                ++kinds;
            }
        }
        if (kinds > 1) {
            ++combined_;
        }
    }

    // Carries out one transaction and checks everything about it. Returns
    // what the board's reply carried.
    Expected Perform(const Transaction &t, bool followUp = false)
    {
        Count(t, followUp);
        Inject(t);
        board_->ClearRequests();
        const Expected e = Apply(t);
        const bool write = t.op == Op::kWrite || t.op == Op::kWriteReadOnly;
        const uint32_t untouched = ~e.value;
        uint32_t out = untouched;
        const double begun = NowMs();
        const uint32_t code = write ? ZorEncSendWrite(handle_, t.address, t.value, &out)
                                    : ZorEncSendRead(handle_, t.address, 0, &out);
        const double took = NowMs() - begun;
        ++outcomes_[code];

        const uint32_t wanted = e.code == ZORENC_ERR_TIMEOUT ? untouched : e.value;
        if (code == ZORENC_OK && out != e.value) {
            ++wrongSuccesses_;
        }
        if (code != e.code || out != wanted) {
            ++wrongResults_;
            Note("transaction %" PRIu64 ": %c 0x%04X faults 0x%02X gave 0x%04X value 0x%08X; "
                 "expected 0x%04X value 0x%08X",
                 transactions_, write ? 'W' : 'R', t.address, t.faults, code, out, e.code, wanted);
        }
        if (code == ZORENC_ERR_TIMEOUT) {
            fastestTimeoutMs_ = std::min(fastestTimeoutMs_, took);
            slowestTimeoutMs_ = std::max(slowestTimeoutMs_, took);
        } else {
            slowestAnsweredMs_ = std::max(slowestAnsweredMs_, took);
        }

        // Exactly one request on the line per transaction, as it was asked.
        uint8_t frame[zorenc::protocol::kMaxFrame];
        const int32_t length =
            zorenc::protocol::EncodeFrame(write ? 'W' : 'R', t.address, write ? t.value : 0, frame);
        const std::vector<std::vector<uint8_t>> requests = board_->Requests();
        if (requests.size() != 1 || requests[0] != std::vector<uint8_t>(frame, frame + length)) {
            ++requestMismatches_;
            Note("transaction %" PRIu64 ": the board saw %zu requests", transactions_,
                 requests.size());
        }

        if ((t.faults & kLate) != 0) {
            const double landed = begun + t.lateMs + kLateSettleMs;
            const double now = NowMs();
            if (now < landed) {
                faults::SleepMs(static_cast<int>(landed - now) + 1);
            } else {
                ++lateTimingErrors_; // gave up only after the late reply came
            }
        }
        return e;
    }

    std::mt19937_64 rng_;
    const std::vector<uint16_t> storage_;
    std::unique_ptr<zorsim::Board> board_;
    ZorEncHandle handle_ = 0;
    std::vector<uint32_t> model_;

    uint64_t plain_ = 0;
    uint64_t combined_ = 0;
    uint64_t followUps_ = 0;
    std::map<unsigned, uint64_t> faultCounts_;
    std::map<uint32_t, uint64_t> outcomes_;
    std::vector<std::string> notes_;
    double elapsedMs_ = 0;
};

TEST(FaultSoak, EveryResultIsTheOneItsFaultImplies)
{
    const uint64_t seed = EnvNumber("ZORENC_SOAK_SEED", std::random_device{}());
    const uint64_t count = EnvNumber("ZORENC_SOAK_TRANSACTIONS", 10000);
    const uint64_t slow = EnvNumber("ZORENC_SOAK_SLOW", 39);
    std::printf("soak: seed %" PRIu64 " (ZORENC_SOAK_SEED=%" PRIu64 " repeats this run)\n", seed,
                seed);
    std::fflush(stdout);

    Soak soak(seed);
    ASSERT_TRUE(soak.Ready()) << "cannot open the simulated board";
    soak.Run(count, slow);
    soak.Report(seed);

    EXPECT_GE(soak.transactions_, count);
    EXPECT_EQ(soak.wrongSuccesses_, 0u) << "wrong values reported as success";
    EXPECT_EQ(soak.wrongResults_, 0u);
    EXPECT_EQ(soak.requestMismatches_, 0u);
    EXPECT_EQ(soak.registerMismatches_, 0u);
    EXPECT_EQ(soak.lateTimingErrors_, 0u) << "time-outs that outlasted a late reply";
    EXPECT_LT(soak.slowestAnsweredMs_, static_cast<double>(kDeadlineMs));
    if (slow > 0) {
        EXPECT_GE(soak.fastestTimeoutMs_, kDeadlineMs - 1.0);
        EXPECT_LT(soak.slowestTimeoutMs_, kDeadlineMs + kTimeoutSlackMs);
    }
}

} // namespace
