// Measurement harness of zorenc-bench: runs one kind of transaction on the
// calling thread for a bounded count or time and keeps each latency, the
// thread's CPU time and its context switches, and the process's CPU time.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

// One byte of 115200 8N1: start bit, eight data bits, stop bit.
constexpr double kByteSeconds = 10.0 / 115200.0;

struct Limits {
    size_t count = 20000;   // transactions at most
    double seconds = 8.0;   // wall time at most
    size_t warmup = 50;     // transactions before measuring (not kept)
    double warmupMax = 0.5; // seconds of warm-up at most
};

struct Run {
    std::vector<double> latencies; // seconds, one per successful transaction
    size_t errors = 0;             // transactions that did not succeed
    double wallSeconds = 0;        // measured part only
    double threadCpuSeconds = 0;   // CPU of the measuring thread
    double processCpuSeconds = 0;  // CPU of the whole process meanwhile
    long voluntarySwitches = 0;    // the measuring thread's sleeps that ended
    long involuntarySwitches = 0;  // the measuring thread's preemptions
    Clock::time_point begin;
    Clock::time_point end;
};

// A transaction: true when it succeeded.
using Transaction = std::function<bool()>;

// Called once between warm-up and the measured part (e.g. a start barrier).
using Gate = std::function<void()>;

Run Measure(const Transaction &transaction, const Limits &limits, const Gate &gate = nullptr);

// Order statistics of a run's latencies, in seconds.
double Median(const std::vector<double> &sorted);
double Percentile(const std::vector<double> &sorted, double fraction);

} // namespace bench
