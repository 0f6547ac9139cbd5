// The metrics' counters and their text: what Prometheus reads must never go
// backwards and must parse.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "metrics.h"

namespace monitor = zorenc::monitor;

namespace {

TEST(MonotonicCounter, NeverGoesBackAcrossClearsAndRestarts)
{
    const struct {
        const char *what;
        std::vector<uint32_t> readings;
        uint64_t total;
    } cases[] = {
        {"starts at the board's count", {7}, 7},
        {"rises with it", {7, 9, 12}, 12},
        {"cleared: the count goes on from the last", {7, 9, 0, 3}, 12},
        {"restarted and counted a little", {100, 2}, 102},
        {"cleared twice", {5, 0, 4, 1}, 10},
        {"the same reading again", {5, 5, 5}, 5},
        {"the top of 32 bits, then 0", {0xFFFFFFFFu, 0}, 0xFFFFFFFFull},
    };
    for (const auto &c : cases) {
        monitor::MonotonicCounter counter;
        uint64_t before = 0;
        for (const uint32_t reading : c.readings) {
            counter.Observe(reading);
            EXPECT_GE(counter.Total(), before) << c.what;
            before = counter.Total();
        }
        EXPECT_EQ(counter.Total(), c.total) << c.what;
    }
}

TEST(MetricsText, SeriesLabelsAndHistogram)
{
    monitor::BoardMetrics b;
    b.name = "line-1";
    b.port = "C:\\ports\\\"x\"";
    b.up = true;
    b.havePositions = true;
    b.position[2] = -5;
    b.triggers[0].Observe(3);
    b.transactions["ok"] = 4;
    b.transactions["timeout"] = 1;
    b.transactionTime.Observe(0.0004);
    b.transactionTime.Observe(0.003);
    b.transactionTime.Observe(1.0);
    b.transactionTime.Observe(1.5); // beyond the last bound: +Inf alone
    monitor::BoardMetrics down;
    down.name = "line-2";
    const std::string text = monitor::MetricsText({b, down});
    const char *expected[] = {
        "# TYPE zorenc_triggers_total counter\n",
        "zorenc_board_info{board=\"line-1\",port=\"C:\\\\ports\\\\\\\"x\\\"\",firmware=\"\","
        "logic=\"\",serial=\"\"} 1\n",
        "zorenc_board_up{board=\"line-1\"} 1\n",
        "zorenc_board_up{board=\"line-2\"} 0\n",
        "zorenc_encoder_position{board=\"line-1\",channel=\"2\"} -5\n",
        "zorenc_triggers_total{board=\"line-1\",channel=\"0\"} 3\n",
        "zorenc_transactions_total{board=\"line-1\",result=\"timeout\"} 1\n",
        "zorenc_transaction_duration_seconds_bucket{board=\"line-1\",le=\"0.0005\"} 1\n",
        "zorenc_transaction_duration_seconds_bucket{board=\"line-1\",le=\"0.005\"} 2\n",
        "zorenc_transaction_duration_seconds_bucket{board=\"line-1\",le=\"1\"} 3\n",
        "zorenc_transaction_duration_seconds_bucket{board=\"line-1\",le=\"+Inf\"} 4\n",
        "zorenc_transaction_duration_seconds_count{board=\"line-1\"} 4\n",
    };
    for (const char *line : expected) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    // What was never read is absent, not 0.
    EXPECT_EQ(text.find("zorenc_encoder_position{board=\"line-2\""), std::string::npos);
    EXPECT_EQ(text.find("zorenc_triggers_total{board=\"line-1\",channel=\"1\"}"),
              std::string::npos);
    EXPECT_EQ(monitor::ResultLabel(0x02), std::string("status"));
}

} // namespace
