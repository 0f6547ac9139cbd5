#include "metrics.h"

#include <cinttypes>
#include <cstdio>

namespace zorenc::monitor {

namespace {

// A number as the text format writes it (15 digits: 0.0005, not
// 0.00050000000000000001).
std::string Number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", value);
    return text;
}

std::string Number(uint64_t value)
{
    return std::to_string(value);
}

class Writer {
public:
    // Starts a family: its HELP and TYPE lines.
    void Family(const char *name, const char *type, const char *help)
    {
        text_ +=
            std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
    }

    void Sample(const std::string &name, const std::string &labels, const std::string &value)
    {
        text_ += name + "{" + labels + "} " + value + "\n";
    }

    std::string Take() { return std::move(text_); }

private:
    std::string text_;
};

std::string Label(const char *name, const std::string &value)
{
    return std::string(name) + "=\"" + EscapeLabel(value) + "\"";
}

std::string BoardLabel(const BoardMetrics &b)
{
    return Label("board", b.name);
}

// Each board's series of one family, through fn(board).
template <typename Fn>
void ForEach(Writer &out, const std::vector<BoardMetrics> &boards, const char *name,
             const char *type, const char *help, Fn fn)
{
    out.Family(name, type, help);
    for (const BoardMetrics &b : boards) {
        fn(b);
    }
}

} // namespace

void MonotonicCounter::Observe(uint32_t reading)
{
    if (seen_ && reading < last_) {
        offset_ += last_; // cleared, or the board started again: it counts from 0
    }
    last_ = reading;
    seen_ = true;
}

void TransactionHistogram::Observe(double seconds)
{
    for (size_t i = 0; i < kTransactionBuckets.size(); ++i) {
        if (seconds <= kTransactionBuckets[i]) {
            ++buckets[i];
            break;
        }
    }
    ++count;
    sum += seconds;
}

const char *ResultLabel(ZorEncResult result)
{
    switch (result) {
    case ZORENC_OK:
        return "ok";
    case ZORENC_ERR_TIMEOUT:
        return "timeout";
    case ZORENC_ERR_CHECKSUM:
        return "checksum";
    case ZORENC_ERR_FRAME:
        return "frame";
    case ZORENC_ERR_NOT_OPEN:
        return "not_open";
    case ZORENC_ERR_PARAM:
        return "param";
    case ZORENC_ERR_CHANNEL:
        return "channel";
    case ZORENC_ERR_ABORTED:
        return "aborted";
    default:
        return result >= 1 && result <= 255 ? "status" : "other";
    }
}

std::string EscapeLabel(const std::string &value)
{
    std::string text;
    for (const char c : value) {
        if (c == '\\') {
            text += "\\\\";
        } else if (c == '"') {
            text += "\\\"";
        } else if (c == '\n') {
            text += "\\n";
        } else {
            text += c;
        }
    }
    return text;
}

std::string MetricsText(const std::vector<BoardMetrics> &boards)
{
    Writer out;
    ForEach(out, boards, "zorenc_board_info", "gauge",
            "The board's port, firmware and logic versions and the adapter's USB serial number "
            "(empty for network ports), as labels; the value is 1.",
            [&](const BoardMetrics &b) {
                out.Sample("zorenc_board_info",
                           BoardLabel(b) + "," + Label("port", b.port) + "," +
                               Label("firmware", b.firmware) + "," + Label("logic", b.logic) + "," +
                               Label("serial", b.serial),
                           "1");
            });
    ForEach(out, boards, "zorenc_board_up", "gauge",
            "1 while the board answers the monitor's reads, 0 while it does not or its port is "
            "gone.",
            [&](const BoardMetrics &b) {
                out.Sample("zorenc_board_up", BoardLabel(b), b.up ? "1" : "0");
            });
    ForEach(out, boards, "zorenc_board_last_answer_timestamp_seconds", "gauge",
            "Unix time of the board's last answer to a sample (absent before the first).",
            [&](const BoardMetrics &b) {
                if (b.lastAnswer > 0) {
                    out.Sample("zorenc_board_last_answer_timestamp_seconds", BoardLabel(b),
                               Number(b.lastAnswer));
                }
            });
    ForEach(out, boards, "zorenc_encoder_position", "gauge",
            "The encoder's position in counts, as last sampled.", [&](const BoardMetrics &b) {
                for (int ch = 0; b.havePositions && ch < BOARD_CHANNELS; ++ch) {
                    out.Sample("zorenc_encoder_position",
                               BoardLabel(b) + "," + Label("channel", std::to_string(ch)),
                               std::to_string(b.position[ch]));
                }
            });
    struct Counted {
        const char *name;
        const char *help;
        const MonotonicCounter *(*of)(const BoardMetrics &);
        int count;
        const char *label;
    };
    const Counted counted[] = {
        {"zorenc_triggers_total",
         "Triggers the channel fired; never goes back while the monitor runs (a cleared or "
         "restarted board's count is added on).",
         [](const BoardMetrics &b) { return b.triggers; }, BOARD_CHANNELS, "channel"},
        {"zorenc_trigger_errors_total",
         "Trigger errors of the channel; never goes back while the monitor runs.",
         [](const BoardMetrics &b) { return b.errors; }, BOARD_CHANNELS, "channel"},
        {"zorenc_digital_input_edges_total",
         "The board's count of the digital input; never goes back while the monitor runs.",
         [](const BoardMetrics &b) { return b.inputCounts; }, BOARD_DIGITAL_INPUTS, "input"},
    };
    for (const Counted &family : counted) {
        ForEach(out, boards, family.name, "counter", family.help, [&](const BoardMetrics &b) {
            const MonotonicCounter *counters = family.of(b);
            for (int n = 0; n < family.count; ++n) {
                if (counters[n].Seen()) {
                    out.Sample(family.name,
                               BoardLabel(b) + "," + Label(family.label, std::to_string(n)),
                               Number(counters[n].Total()));
                }
            }
        });
    }
    ForEach(out, boards, "zorenc_digital_input", "gauge",
            "The digital input's state (0 or 1), as last read.", [&](const BoardMetrics &b) {
                for (int n = 0; b.haveStatus && n < BOARD_DIGITAL_INPUTS; ++n) {
                    out.Sample("zorenc_digital_input",
                               BoardLabel(b) + "," + Label("input", std::to_string(n)),
                               b.inputs[n] ? "1" : "0");
                }
            });
    ForEach(out, boards, "zorenc_samples_total", "counter",
            "Position samples of all channels the monitor read.", [&](const BoardMetrics &b) {
                out.Sample("zorenc_samples_total", BoardLabel(b), Number(b.samples));
            });
    ForEach(out, boards, "zorenc_transactions_total", "counter",
            "The monitor's own reads of the board (samples and status), by result: ok, "
            "timeout, checksum, frame, not_open, param, channel, aborted, status (the board "
            "refused), other.",
            [&](const BoardMetrics &b) {
                for (const auto &[result, count] : b.transactions) {
                    out.Sample("zorenc_transactions_total",
                               BoardLabel(b) + "," + Label("result", result), Number(count));
                }
            });
    ForEach(out, boards, "zorenc_transaction_duration_seconds", "histogram",
            "Time of the monitor's own reads of the board, from the call to its result.",
            [&](const BoardMetrics &b) {
                const TransactionHistogram &h = b.transactionTime;
                uint64_t below = 0;
                for (size_t i = 0; i < kTransactionBuckets.size(); ++i) {
                    below += h.buckets[i];
                    out.Sample("zorenc_transaction_duration_seconds_bucket",
                               BoardLabel(b) + "," + Label("le", Number(kTransactionBuckets[i])),
                               Number(below));
                }
                out.Sample("zorenc_transaction_duration_seconds_bucket",
                           BoardLabel(b) + ",le=\"+Inf\"", Number(h.count));
                out.Sample("zorenc_transaction_duration_seconds_sum", BoardLabel(b), Number(h.sum));
                out.Sample("zorenc_transaction_duration_seconds_count", BoardLabel(b),
                           Number(h.count));
            });
    ForEach(out, boards, "zorenc_reconnects_total", "counter",
            "Times the board came back (answered again) after it stopped answering or its "
            "port went away.",
            [&](const BoardMetrics &b) {
                out.Sample("zorenc_reconnects_total", BoardLabel(b), Number(b.reconnects));
            });
    return out.Take();
}

} // namespace zorenc::monitor
