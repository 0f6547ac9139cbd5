// The monitor's metrics in the Prometheus text exposition format (version
// 0.0.4), served at /metrics (docs/metrics.md). The board threads keep what
// they read in a BoardMetrics each; a scrape copies those and writes the
// text, so that scraping costs the boards nothing.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "device/registers.h"
#include "zorenc.h"

namespace zorenc::monitor {

// A board's own counter (a 32-bit register the board may clear, or start
// again from 0 after a restart) as a counter that never goes backwards while
// the monitor runs. The first reading is taken as it is; a reading below
// the one before means the board counted from 0 again: what it had counted
// until then is kept as an offset, and the count goes on from there.
class MonotonicCounter {
public:
    void Observe(uint32_t reading);
    uint64_t Total() const { return offset_ + last_; }
    bool Seen() const { return seen_; }

private:
    uint64_t offset_ = 0;
    uint32_t last_ = 0;
    bool seen_ = false;
};

// The upper bounds of the transaction time histogram, in seconds.
constexpr std::array<double, 11> kTransactionBuckets = {0.0005, 0.001, 0.002, 0.005, 0.01, 0.02,
                                                        0.05,   0.1,   0.25,  0.5,   1.0};

struct TransactionHistogram {
    std::array<uint64_t, kTransactionBuckets.size()> buckets = {}; // each, not cumulative
    uint64_t count = 0;
    double sum = 0;
    void Observe(double seconds);
};

// What one board's thread has read, as the metrics show it.
struct BoardMetrics {
    std::string name;
    std::string port;
    std::string serial;   // the adapter's USB serial number; empty for network ports
    std::string firmware; // "1.50"; empty until read
    std::string logic;
    bool up = false;
    double lastAnswer = 0; // Unix time of the last answer, 0: none yet
    bool havePositions = false;
    int32_t position[BOARD_CHANNELS] = {};
    bool haveStatus = false;
    MonotonicCounter triggers[BOARD_CHANNELS];
    MonotonicCounter errors[BOARD_CHANNELS];
    int32_t inputs[BOARD_DIGITAL_INPUTS] = {};
    MonotonicCounter inputCounts[BOARD_DIGITAL_INPUTS];
    uint64_t samples = 0;
    uint64_t reconnects = 0;
    std::map<std::string, uint64_t> transactions; // by result: "ok", "timeout", ...
    TransactionHistogram transactionTime;
};

// The label of a result: "ok", "timeout", "checksum", "frame", "not_open",
// "param", "channel", "aborted", "status" for a board's non-zero status
// byte, "other".
const char *ResultLabel(ZorEncResult result);

// A label value escaped for the text format (backslash, quote, newline).
std::string EscapeLabel(const std::string &value);

// The whole exposition of these boards, every series with HELP and TYPE.
std::string MetricsText(const std::vector<BoardMetrics> &boards);

} // namespace zorenc::monitor
