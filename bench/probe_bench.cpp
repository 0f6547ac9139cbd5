// zorenc-probe-bench: how long the toolkit's parallel probe takes for 1, 4
// and 16 simulated boards, half of them silent (one reply deadline, however
// many ports), and when every board answers. Prints figures and checks them
// against their targets; not a test.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "ports.h"
#include "sim/board.h"

namespace companion = zorenc::companion;

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    int boards;
    int silent;
    double targetSeconds;
};

// The median of a few probes of the same boards, in seconds; ok tells
// whether every probe found exactly the boards that answer.
double MeasureProbe(const Case &c, int rounds, bool &ok)
{
    std::vector<std::unique_ptr<zorsim::Board>> boards;
    std::vector<std::string> names;
    for (int i = 0; i < c.boards; ++i) {
        zorsim::Options options;
        options.silent = i < c.silent;
        boards.push_back(std::make_unique<zorsim::Board>(options));
        if (!boards.back()->Start()) {
            std::fprintf(stderr, "zorenc-probe-bench: no pseudo-terminal for board %d\n", i);
            ok = false;
            return 0;
        }
        names.push_back(boards.back()->SlavePath());
    }
    std::vector<double> seconds;
    ok = true;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        const auto results = companion::ProbePorts(names);
        seconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
        for (int i = 0; i < c.boards; ++i) {
            const char *expected = i < c.silent ? "no-answer" : "board";
            ok = ok && results[static_cast<std::size_t>(i)].result == expected;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: zorenc-probe-bench [--rounds N]\n");
            return 2;
        }
    }
    const Case cases[] = {
        {1, 1, 1.3}, {4, 2, 1.3}, {16, 8, 1.3}, {1, 0, 0.1}, {4, 0, 0.1}, {16, 0, 0.1},
    };
    std::printf("| boards | silent | median probe s | target s | found right | check |\n");
    std::printf("| -----: | -----: | -------------: | -------: | ----------- | ----- |\n");
    bool allPass = true;
    for (const auto &c : cases) {
        bool ok = false;
        const double seconds = MeasureProbe(c, rounds, ok);
        const bool pass = ok && seconds <= c.targetSeconds;
        allPass = allPass && pass;
        std::printf("| %6d | %6d | %14.3f | %8.1f | %-11s | %-5s |\n", c.boards, c.silent, seconds,
                    c.targetSeconds, ok ? "yes" : "no", pass ? "pass" : "FAIL");
        std::fflush(stdout);
    }
    std::printf("\nthe probe waits one reply deadline (1 s) for the silent boards, side by side;\n"
                "boards that answer end it as soon as they have: %s\n",
                allPass ? "pass" : "FAIL");
    return allPass ? 0 : 1;
}
