// zorenc-bench: latency, throughput and CPU cost of one register transaction,
// the library against the loop it replaced, the bare poll() floor and
// libmodbus RTU, on simulated boards whose line runs at 115200 8N1.
//
//   zorenc-bench [--count N] [--seconds S] [--markdown] [--only LIST] [--rounds R]
//
// Prints one table; see README.md for what each row measures.
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "designed_loop.h"
#include "ideal_loop.h"
#include "measure.h"
#if ZORENC_BENCH_MODBUS
#include "modbus_line.h"
#endif
#include "protocol/codec.h"
#include "sim/board.h"
#include "zorenc.h"

namespace {

using bench::Limits;
using bench::Run;

// The register every case reads: the firmware version, whose request and
// reply are both eleven bytes on the wire (nothing to escape).
constexpr uint16_t kAddress = zorsim::reg::kFirmwareVersion;

struct Options {
    Limits limits;
    int rounds = 4;
    bool markdown = false;
    std::set<std::string> only; // empty: every case
};

// One row of the table. What a case needs (boards, ports, handles) is set up
// once and stays open over all rounds; each round runs the case's
// transactions on fresh threads, one per entry of `transactions`, and adds
// what it measured to `run`.
struct Case {
    std::string key; // for --only and the checks
    std::string name;
    std::string error; // set when the case could not be set up
    std::vector<std::function<bool()>> transactions;
    std::function<double()> wire; // wire seconds of one exchange; null: unpaced
    std::function<void()> close;
    std::vector<std::shared_ptr<void>> keep; // released after close
    Run run;
};

// ---- helpers ----------------------------------------------------------------

// Names the calling thread, for profilers (at most 15 characters).
void NameThread(const char *name)
{
    pthread_setname_np(pthread_self(), name);
}

// The library reports opening and closing on standard output; keep that out
// of the table.
template <typename F> void Quietly(F f)
{
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved >= 0 && null >= 0) {
        dup2(null, STDOUT_FILENO);
    }
    f();
    std::fflush(stdout);
    if (saved >= 0) {
        dup2(saved, STDOUT_FILENO);
        close(saved);
    }
    if (null >= 0) {
        close(null);
    }
}

zorsim::Options BoardOptions(bool paced)
{
    zorsim::Options options;
    options.paced = paced;
    options.pacedReceive = paced;
    return options;
}

// Wire time of one exchange of our frames, both directions: the stuffed
// request and the stuffed reply of the register read, ten bits a byte.
double FrameWireSeconds(uint32_t replyValue)
{
    namespace proto = zorenc::protocol;
    uint8_t frame[proto::kMaxFrame];
    const int32_t request = proto::EncodeFrame(proto::kCommandRead, kAddress, 0, frame);
    const int32_t reply = proto::EncodeFrame(proto::kCommandRead, kAddress, replyValue, 0, frame);
    return (request + reply) * bench::kByteSeconds;
}

// A started board kept by the case; null (and the case's error set) when no
// pty could be made.
zorsim::Board *StartBoard(Case &c, bool paced)
{
    auto board = std::make_shared<zorsim::Board>(BoardOptions(paced));
    if (!board->Start()) {
        c.error = "no pty for the board";
        return nullptr;
    }
    c.keep.push_back(board);
    return board.get();
}

// A library handle opened on `path`; 0 (and the case's error set) on failure.
ZorEncHandle OpenHandle(Case &c, const std::string &path)
{
    ZorEncHandle handle = 0;
    bool open = false;
    Quietly([&] {
        handle = ZorEncCreateHandler();
        open = handle != 0 && ZorEncOpen(handle, path.c_str());
    });
    if (!open) {
        c.error = "ZorEncOpen failed";
        Quietly([&] { ZorEncCloseHandler(handle); });
        return 0;
    }
    return handle;
}

void CloseHandles(const std::vector<ZorEncHandle> &handles)
{
    Quietly([&] {
        for (ZorEncHandle handle : handles) {
            ZorEncClose(handle);
            ZorEncCloseHandler(handle);
        }
    });
}

// ---- the cases --------------------------------------------------------------

// `boards` paced or unpaced boards, one handle and one calling thread each.
Case LibraryCase(bool paced, int boards = 1)
{
    Case c;
    c.key = boards > 1 ? "four" : (paced ? "lib" : "lib-unpaced");
    c.name = boards > 1 ? "zorenc, " + std::to_string(boards) + " boards x " +
                              std::to_string(boards) + " threads"
                        : std::string("zorenc ZorEncSendRead") + (paced ? "" : ", unpaced");
    auto values = std::make_shared<std::vector<uint32_t>>(static_cast<size_t>(boards), 0);
    c.keep.push_back(values);
    std::vector<ZorEncHandle> handles;
    for (int i = 0; i < boards; ++i) {
        zorsim::Board *board = StartBoard(c, paced);
        const ZorEncHandle handle = board != nullptr ? OpenHandle(c, board->SlavePath()) : 0;
        if (handle == 0) {
            CloseHandles(handles);
            return c;
        }
        handles.push_back(handle);
        uint32_t *value = &(*values)[static_cast<size_t>(i)];
        c.transactions.push_back(
            [handle, value] { return ZorEncSendRead(handle, kAddress, 0, value) == ZORENC_OK; });
    }
    if (paced) {
        c.wire = [values] { return FrameWireSeconds(values->front()); };
    }
    c.close = [handles] { CloseHandles(handles); };
    return c;
}

Case DesignedCase(bool paced)
{
    Case c;
    c.key = paced ? "designed" : "designed-unpaced";
    c.name = std::string("designed loop, Sleep(1) cycles") + (paced ? "" : ", unpaced");
    zorsim::Board *board = StartBoard(c, paced);
    if (board == nullptr) {
        return c;
    }
    CSerial *port = bench::OpenDesignedPort(board->SlavePath().c_str());
    if (port == nullptr) {
        c.error = "port did not open";
        return c;
    }
    auto value = std::make_shared<uint32_t>(0);
    c.transactions.push_back(
        [port, value] { return bench::DesignedSendRead(*port, kAddress, 0, value.get()) == 0; });
    if (paced) {
        c.wire = [value] { return FrameWireSeconds(*value); };
    }
    c.close = [port] { bench::CloseDesignedPort(port); };
    return c;
}

Case IdealCase(bool paced)
{
    Case c;
    c.key = paced ? "poll" : "poll-unpaced";
    c.name = std::string("ideal poll() loop, raw pty") + (paced ? "" : ", unpaced");
    zorsim::Board *board = StartBoard(c, paced);
    if (board == nullptr) {
        return c;
    }
    auto port = std::make_shared<bench::RawPort>();
    if (!port->Open(board->SlavePath().c_str())) {
        c.error = "pty did not open";
        return c;
    }
    auto value = std::make_shared<uint32_t>(0);
    c.transactions.push_back(
        [port, value] { return bench::IdealSendRead(*port, kAddress, 0, value.get()); });
    if (paced) {
        c.wire = [value] { return FrameWireSeconds(*value); };
    }
    c.close = [port] { port->Close(); };
    return c;
}

Case ModbusCase()
{
    Case c;
    c.key = "modbus";
    c.name = "libmodbus RTU, fc 0x03 x2 regs";
#if ZORENC_BENCH_MODBUS
    auto line = std::make_shared<bench::ModbusLine>();
    if (!line->Start(true, c.error)) {
        return c;
    }
    c.transactions.push_back([line] { return line->ReadTwoRegisters(); });
    c.wire = [] {
        return (bench::ModbusLine::kRequestBytes + bench::ModbusLine::kReplyBytes) *
               bench::kByteSeconds;
    };
    c.close = [line] { line->Stop(); };
#else
    c.error = "built without libmodbus";
#endif
    return c;
}

// One round of a case: its transactions on as many fresh threads, started
// together after their warm-up; the figures are added to the case's run.
void RunRound(Case &c, const Limits &limits)
{
    if (!c.error.empty() || c.transactions.empty()) {
        return;
    }
    const size_t n = c.transactions.size();
    std::mutex mu;
    std::condition_variable cv;
    size_t ready = 0;
    auto gate = [&] {
        std::unique_lock<std::mutex> lock(mu);
        if (++ready == n) {
            cv.notify_all();
        } else {
            cv.wait(lock, [&] { return ready == n; });
        }
    };
    std::vector<Run> runs(n);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < n; ++i) {
        threads.emplace_back([&, i] {
            NameThread(n == 1 ? "zb-client" : ("zb-client" + std::to_string(i + 1)).c_str());
            runs[i] = bench::Measure(c.transactions[i], limits, gate);
        });
    }
    for (std::thread &t : threads) {
        t.join();
    }

    // The threads ran side by side: wall time from the first start to the
    // last end, thread CPU summed, process CPU as the widest view saw it.
    Run round = runs[0];
    round.latencies.clear();
    round.errors = 0;
    round.threadCpuSeconds = 0;
    round.voluntarySwitches = 0;
    round.involuntarySwitches = 0;
    for (const Run &r : runs) {
        round.latencies.insert(round.latencies.end(), r.latencies.begin(), r.latencies.end());
        round.errors += r.errors;
        round.threadCpuSeconds += r.threadCpuSeconds;
        round.processCpuSeconds = std::max(round.processCpuSeconds, r.processCpuSeconds);
        round.voluntarySwitches += r.voluntarySwitches;
        round.involuntarySwitches += r.involuntarySwitches;
        round.begin = std::min(round.begin, r.begin);
        round.end = std::max(round.end, r.end);
    }

    Run &all = c.run;
    all.latencies.insert(all.latencies.end(), round.latencies.begin(), round.latencies.end());
    all.errors += round.errors;
    all.wallSeconds += std::chrono::duration<double>(round.end - round.begin).count();
    all.threadCpuSeconds += round.threadCpuSeconds;
    all.processCpuSeconds += round.processCpuSeconds;
    all.voluntarySwitches += round.voluntarySwitches;
    all.involuntarySwitches += round.involuntarySwitches;
}

// ---- report -----------------------------------------------------------------

struct Figures {
    size_t done = 0;
    double median = 0;
    double p99 = 0;
    double rate = 0;
    double threadCpuPerTxn = 0;
    double processCpuPerTxn = 0;
    double sleepsPerTxn = 0;
    double ratio = 0; // median / wire; 0 when unpaced
};

Figures FiguresOf(Case &row)
{
    Figures f;
    std::vector<double> &lat = row.run.latencies;
    std::sort(lat.begin(), lat.end());
    f.done = lat.size();
    const double attempts = static_cast<double>(lat.size() + row.run.errors);
    if (f.done == 0 || attempts == 0) {
        return f;
    }
    f.median = bench::Median(lat);
    f.p99 = bench::Percentile(lat, 0.99);
    f.rate = row.run.wallSeconds > 0 ? static_cast<double>(f.done) / row.run.wallSeconds : 0;
    f.threadCpuPerTxn = row.run.threadCpuSeconds / attempts;
    f.processCpuPerTxn = row.run.processCpuSeconds / attempts;
    f.sleepsPerTxn = static_cast<double>(row.run.voluntarySwitches) / attempts;
    const double wire = row.wire ? row.wire() : 0;
    f.ratio = wire > 0 ? f.median / wire : 0;
    return f;
}

std::string Fixed(double v, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

void PrintTable(std::vector<Case> &rows, bool markdown)
{
    const std::vector<std::string> head = {"case",    "txns",       "median ms",   "p99 ms",
                                           "txn/s",   "CPU us/txn", "proc us/txn", "sleeps/txn",
                                           "wire ms", "median/wire"};
    std::vector<std::vector<std::string>> cells;
    for (Case &row : rows) {
        if (!row.error.empty()) {
            cells.push_back({row.name, "-", "-", "-", "-", "-", "-", "-", "-", row.error});
            continue;
        }
        const Figures f = FiguresOf(row);
        std::string done = std::to_string(f.done);
        if (row.run.errors != 0) {
            done += " (" + std::to_string(row.run.errors) + " failed)";
        }
        cells.push_back({row.name, done, Fixed(f.median * 1e3, 3), Fixed(f.p99 * 1e3, 3),
                         Fixed(f.rate, 0), Fixed(f.threadCpuPerTxn * 1e6, 1),
                         Fixed(f.processCpuPerTxn * 1e6, 1), Fixed(f.sleepsPerTxn, 1),
                         row.wire ? Fixed(row.wire() * 1e3, 3) : "-",
                         f.ratio > 0 ? Fixed(f.ratio, 3) + "x" : "-"});
    }
    std::vector<size_t> width(head.size(), 0);
    for (size_t c = 0; c < head.size(); ++c) {
        width[c] = head[c].size();
        for (const auto &line : cells) {
            width[c] = std::max(width[c], line[c].size());
        }
    }
    auto print = [&](const std::vector<std::string> &line) {
        std::string out = markdown ? "|" : "";
        for (size_t c = 0; c < line.size(); ++c) {
            const size_t pad = width[c] - line[c].size();
            const bool left = c == 0;
            std::string cell =
                left ? line[c] + std::string(pad, ' ') : std::string(pad, ' ') + line[c];
            out += markdown ? " " + cell + " |" : (c == 0 ? cell : "  " + cell);
        }
        std::printf("%s\n", out.c_str());
    };
    print(head);
    if (markdown) {
        std::string rule = "|";
        for (size_t c = 0; c < head.size(); ++c) {
            rule += c == 0 ? std::string(width[c] + 1, '-') + " |"
                           : " " + std::string(width[c] - 1, '-') + ":|";
        }
        std::printf("%s\n", rule.c_str());
    } else {
        size_t total = 0;
        for (size_t w : width) {
            total += w + 2;
        }
        std::printf("%s\n", std::string(total - 2, '-').c_str());
    }
    for (const auto &line : cells) {
        print(line);
    }
}

Case *Find(std::vector<Case> &rows, const std::string &key)
{
    for (Case &row : rows) {
        if (row.key == key && row.error.empty() && !row.run.latencies.empty()) {
            return &row;
        }
    }
    return nullptr;
}

void PrintChecks(std::vector<Case> &rows, bool markdown)
{
    Case *lib = Find(rows, "lib");
    Case *designed = Find(rows, "designed");
    Case *poll = Find(rows, "poll");
    Case *modbus = Find(rows, "modbus");
    Case *four = Find(rows, "four");
    if (lib == nullptr) {
        return;
    }
    const Figures l = FiguresOf(*lib);
    std::vector<std::string> lines;
    auto verdict = [](bool ok) { return ok ? "pass" : "MISS"; };
    char text[256];
    if (poll != nullptr) {
        const Figures p = FiguresOf(*poll);
        const double over = (l.median / p.median - 1) * 100;
        std::snprintf(text, sizeof text,
                      "library median vs ideal poll() loop: %+.1f%% (%.3f vs %.3f ms; at most "
                      "+5%%): %s",
                      over, l.median * 1e3, p.median * 1e3, verdict(over <= 5.0));
        lines.push_back(text);
    }
    std::snprintf(text, sizeof text, "library median / wire time: %.3fx (at most 1.15x): %s",
                  l.ratio, verdict(l.ratio <= 1.15));
    lines.push_back(text);
    if (modbus != nullptr) {
        const Figures m = FiguresOf(*modbus);
        std::snprintf(text, sizeof text,
                      "library vs libmodbus RTU, each against its own wire time: %.3fx vs "
                      "%.3fx (lower is better): %s",
                      l.ratio, m.ratio, verdict(l.ratio < m.ratio));
        lines.push_back(text);
    }
    if (designed != nullptr) {
        const Figures d = FiguresOf(*designed);
        std::snprintf(text, sizeof text,
                      "CPU per paced transaction, library vs designed loop: %.1f vs %.1f us "
                      "(lower): %s",
                      l.threadCpuPerTxn * 1e6, d.threadCpuPerTxn * 1e6,
                      verdict(l.threadCpuPerTxn < d.threadCpuPerTxn));
        lines.push_back(text);
        std::snprintf(text, sizeof text, "median, designed loop vs library: %.2fx",
                      d.median / l.median);
        lines.push_back(text);
    }
    if (four != nullptr) {
        const Figures f = FiguresOf(*four);
        const double scale = f.rate / l.rate;
        std::snprintf(text, sizeof text,
                      "four boards vs one: %.0f vs %.0f txn/s = %.2fx (at least 3.5x): %s", f.rate,
                      l.rate, scale, verdict(scale >= 3.5));
        lines.push_back(text);
    }
    std::printf("\n");
    for (const std::string &line : lines) {
        std::printf(markdown ? "- %s\n" : "  %s\n", line.c_str());
    }
}

std::string LoadAverage()
{
    double load[3] = {};
    if (getloadavg(load, 3) != 3) {
        return "?";
    }
    return Fixed(load[0], 2) + " " + Fixed(load[1], 2) + " " + Fixed(load[2], 2);
}

std::string LibraryPath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&ZorEncSendRead), &info) != 0 &&
        info.dli_fname != nullptr) {
        return info.dli_fname;
    }
    return "?";
}

void Usage(FILE *to)
{
    std::fprintf(to, "usage: zorenc-bench [--count N] [--seconds S] [--markdown] [--rounds R]\n"
                     "                    [--only LIST]\n"
                     "  --count N    transactions per case at most (default 20000)\n"
                     "  --seconds S  measured seconds per case at most (default 8)\n"
                     "  --markdown   print the table in Markdown\n"
                     "  --rounds R   the cases take turns R times (default 4)\n"
                     "  --only LIST  comma-separated subset of: lib designed poll modbus unpaced "
                     "four\n");
}

bool ParseArgs(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&](const char *&out) {
            if (i + 1 >= argc) {
                return false;
            }
            out = argv[++i];
            return true;
        };
        const char *v = nullptr;
        if (arg == "--markdown") {
            options.markdown = true;
        } else if (arg == "--count" && value(v)) {
            const long n = std::strtol(v, nullptr, 10);
            if (n <= 0) {
                return false;
            }
            options.limits.count = static_cast<size_t>(n);
        } else if (arg == "--seconds" && value(v)) {
            const double s = std::strtod(v, nullptr);
            if (!(s > 0)) {
                return false;
            }
            options.limits.seconds = s;
        } else if (arg == "--rounds" && value(v)) {
            const long n = std::strtol(v, nullptr, 10);
            if (n <= 0 || n > 1000) {
                return false;
            }
            options.rounds = static_cast<int>(n);
        } else if (arg == "--only" && value(v)) {
            std::stringstream list(v);
            std::string item;
            while (std::getline(list, item, ',')) {
                options.only.insert(item);
            }
        } else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            std::exit(0);
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!ParseArgs(argc, argv, options)) {
        Usage(stderr);
        return 2;
    }
    auto wanted = [&](const char *key) {
        return options.only.empty() || options.only.count(key) != 0;
    };

    utsname system{};
    uname(&system);
    const std::string loadBefore = LoadAverage();
    const Limits &limits = options.limits;

    std::vector<Case> rows;
    if (wanted("lib")) {
        rows.push_back(LibraryCase(true));
    }
    if (wanted("designed")) {
        rows.push_back(DesignedCase(true));
    }
    if (wanted("poll")) {
        rows.push_back(IdealCase(true));
    }
    if (wanted("modbus")) {
        rows.push_back(ModbusCase());
    }
    if (wanted("unpaced")) {
        rows.push_back(LibraryCase(false));
        rows.push_back(DesignedCase(false));
        rows.push_back(IdealCase(false));
    }
    if (wanted("four")) {
        rows.push_back(LibraryCase(true, 4));
    }

    // The cases take turns, round after round, so that each sees the same
    // machine: a build starting on a shared machine halfway through a run
    // then weighs on every row alike.
    const int rounds = options.rounds;
    Limits round = limits;
    round.count = (limits.count + static_cast<size_t>(rounds) - 1) / static_cast<size_t>(rounds);
    round.seconds = limits.seconds / rounds;
    for (int r = 0; r < rounds; ++r) {
        round.warmup = r == 0 ? limits.warmup : 10;
        for (Case &c : rows) {
            RunRound(c, round);
        }
    }
    for (Case &c : rows) {
        if (c.close) {
            c.close();
        }
    }

    const char *bullet = options.markdown ? "- " : "";
    std::printf("%szorenc-bench: %s %s, %u CPUs, load %s -> %s\n", bullet, system.sysname,
                system.release, std::thread::hardware_concurrency(), loadBefore.c_str(),
                LoadAverage().c_str());
    std::printf("%slibrary: %s; at most %zu transactions or %.1f s a case, in %d rounds taken "
                "in turn\n",
                bullet, LibraryPath().c_str(), limits.count, limits.seconds, rounds);
    std::printf("%swire time: request and reply bytes as sent (stuffed), both ways, 10 bits a "
                "byte at 115200; CPU: the calling thread; proc: the whole process (board, "
                "relay and server threads included); sleeps: the calling thread's voluntary "
                "context switches\n\n",
                bullet);
    PrintTable(rows, options.markdown);
    PrintChecks(rows, options.markdown);
    return 0;
}
