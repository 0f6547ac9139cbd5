#include "measure.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

double CpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

Run Measure(const Transaction &transaction, const Limits &limits, const Gate &gate)
{
    const Clock::time_point warmupEnd =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(limits.warmupMax));
    for (size_t i = 0; i < limits.warmup && Clock::now() < warmupEnd; ++i) {
        transaction();
    }
    if (gate) {
        gate();
    }

    Run run;
    run.latencies.reserve(limits.count);
    rusage usageBefore{};
    getrusage(RUSAGE_THREAD, &usageBefore);
    const double threadBefore = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const double processBefore = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    run.begin = Clock::now();
    const Clock::time_point stopAt = run.begin + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(limits.seconds));
    Clock::time_point now = run.begin;
    for (size_t i = 0; i < limits.count && now < stopAt; ++i) {
        const Clock::time_point start = now;
        const bool ok = transaction();
        now = Clock::now();
        if (ok) {
            run.latencies.push_back(Seconds(now - start));
        } else {
            ++run.errors;
        }
    }
    run.end = now;
    run.processCpuSeconds = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
    run.threadCpuSeconds = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - threadBefore;
    rusage usageAfter{};
    getrusage(RUSAGE_THREAD, &usageAfter);
    run.voluntarySwitches = usageAfter.ru_nvcsw - usageBefore.ru_nvcsw;
    run.involuntarySwitches = usageAfter.ru_nivcsw - usageBefore.ru_nivcsw;
    run.wallSeconds = Seconds(run.end - run.begin);
    return run;
}

double Median(const std::vector<double> &sorted)
{
    if (sorted.empty()) {
        return 0;
    }
    const size_t n = sorted.size();
    return (sorted[(n - 1) / 2] + sorted[n / 2]) / 2;
}

double Percentile(const std::vector<double> &sorted, double fraction)
{
    if (sorted.empty()) {
        return 0;
    }
    const double rank = std::ceil(fraction * static_cast<double>(sorted.size()));
    const size_t index = rank < 1 ? 0 : static_cast<size_t>(rank) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

} // namespace bench
