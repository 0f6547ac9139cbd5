// zorenc-net-bench: a register read through Debian's ser2net against the same
// paced simulated board through its own pseudo-terminal, in one run, and four
// boards on four connections from four threads against one. Each board gets
// a ser2net process of its own (its CPU per transaction would otherwise cap
// the four). Figures, not a test: see bench/README.md.
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/board.h"
#include "zorenc.h"

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

int FreePort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a));
    socklen_t size = sizeof(a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &size);
    close(fd);
    return ntohs(a.sin_port);
}

bool Listening(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = connect(fd, reinterpret_cast<sockaddr *>(&a), sizeof(a)) == 0;
    close(fd);
    return ok;
}

// One ser2net process serving one board on a free loopback port.
class Server {
public:
    Server(const std::string &dir, const std::string &pty, const std::string &accepter,
           bool chardelay)
    {
        port_ = FreePort();
        config_ = dir + "/ser2net-" + std::to_string(port_) + ".yaml";
        pidFile_ = config_ + ".pid";
        FILE *f = std::fopen(config_.c_str(), "w");
        std::fprintf(f,
                     "%%YAML 1.1\n---\nconnection: &board\n  accepter: %s,127.0.0.1,%d\n"
                     "  connector: serialdev(nouucplock=true),%s,115200n81,local,nobreak\n"
                     "  options:\n    kickolduser: true\n%s",
                     accepter.c_str(), port_, pty.c_str(),
                     chardelay ? "" : "    chardelay: false\n");
        std::fclose(f);
        const char *argv[] = {"ser2net",        "-n",   "-c", config_.c_str(), "-P",
                              pidFile_.c_str(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&pid_, "ser2net", &actions, nullptr, const_cast<char **>(argv), environ) !=
            0) {
            pid_ = 0;
        }
        posix_spawn_file_actions_destroy(&actions);
        for (int i = 0; i < 200 && pid_ != 0 && !Listening(port_); ++i) {
            usleep(20000);
        }
        usleep(100000); // the probe connection's device is let go
    }
    ~Server()
    {
        if (pid_ != 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::remove(config_.c_str());
        std::remove(pidFile_.c_str());
    }
    bool Started() const { return pid_ != 0; }
    int Port() const { return port_; }

private:
    int port_ = 0;
    pid_t pid_ = 0;
    std::string config_;
    std::string pidFile_;
};

struct Case {
    std::string name;
    ZorEncHandle handle = 0;
    std::vector<double> latencies;
    int failures = 0;
};

// Runs fn with the library's fixed lines on standard output sent nowhere.
template <typename F> auto Quietly(F fn)
{
    fflush(stdout);
    const int saved = dup(1);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    auto result = fn();
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null);
    return result;
}

ZorEncHandle OpenQuietly(const std::string &name)
{
    return Quietly([&] {
        const ZorEncHandle h = ZorEncCreateHandler();
        return ZorEncOpen(h, name.c_str()) ? h : 0;
    });
}

void CloseQuietly(ZorEncHandle h)
{
    Quietly([h] {
        ZorEncCloseHandler(h);
        return 0;
    });
}

void Run(Case &c, double seconds)
{
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        uint32_t raw = 0;
        const auto t0 = Clock::now();
        const ZorEncResult r = ZorEncSendRead(c.handle, 0xF000, 0, &raw);
        const double ms = Ms(Clock::now() - t0);
        if (r == ZORENC_OK) {
            c.latencies.push_back(ms);
        } else {
            ++c.failures;
        }
    }
}

double Percentile(std::vector<double> v, double p)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(p * static_cast<double>(v.size() - 1))];
}

zorsim::Options Paced()
{
    zorsim::Options o;
    o.paced = true;
    o.pacedReceive = true;
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    double seconds = 8;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0) {
            seconds = std::atof(argv[i + 1]);
        }
    }
    char dirTemplate[] = "/tmp/zorenc-net-bench.XXXXXX";
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr ? tmp : "/tmp") + "/zorenc-net-bench.XXXXXX";
    std::vector<char> dirBuffer(pattern.begin(), pattern.end());
    dirBuffer.push_back('\0');
    const char *dirName = mkdtemp(dirBuffer.data());
    if (dirName == nullptr) {
        dirName = mkdtemp(dirTemplate);
    }
    if (dirName == nullptr) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    const std::string dir = dirName;

    // Boards: [0] for the single-connection cases, [0..3] for four at once.
    std::vector<std::unique_ptr<zorsim::Board>> boards;
    for (int i = 0; i < 4; ++i) {
        boards.push_back(std::make_unique<zorsim::Board>(Paced()));
        if (!boards.back()->Start()) {
            std::fprintf(stderr, "cannot start a simulated board\n");
            return 1;
        }
    }
    struct Variant {
        const char *name;
        const char *scheme;
        const char *accepter;
        bool chardelay;
    };
    const Variant variants[] = {
        {"rfc2217, tcp(nodelay), chardelay false", "rfc2217", "telnet(rfc2217),tcp(nodelay)",
         false},
        {"socket, tcp(nodelay), chardelay false", "socket", "tcp(nodelay)", false},
        {"rfc2217, no nodelay", "rfc2217", "telnet(rfc2217),tcp", false},
        {"rfc2217, default chardelay", "rfc2217", "telnet(rfc2217),tcp(nodelay)", true},
    };
    // The board's port may be held by one client at a time: the cases on
    // board 0 take turns through one server each, opened in turn.
    std::vector<Case> cases;
    cases.push_back({"local pty", 0, {}, 0});
    std::vector<std::unique_ptr<Server>> servers;
    for (const Variant &v : variants) {
        servers.push_back(
            std::make_unique<Server>(dir, boards[0]->SlavePath(), v.accepter, v.chardelay));
        if (!servers.back()->Started()) {
            std::fprintf(stderr, "cannot start ser2net (bash scripts/setup.sh full)\n");
            return 1;
        }
        cases.push_back({v.name, 0, {}, 0});
    }
    auto nameOf = [&](size_t i) {
        if (i == 0) {
            return boards[0]->SlavePath();
        }
        return std::string(variants[i - 1].scheme) +
               "://127.0.0.1:" + std::to_string(servers[i - 1]->Port());
    };
    // Rounds: every case runs in each, so that load from elsewhere weighs on
    // all alike. Only one client holds the board's pty at a time.
    const int rounds = 4;
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < cases.size(); ++i) {
            const bool primary = i <= 2; // local, rfc2217 and socket
            cases[i].handle = OpenQuietly(nameOf(i));
            if (cases[i].handle == 0) {
                std::fprintf(stderr, "cannot open %s\n", nameOf(i).c_str());
                return 1;
            }
            Case warm = cases[i];
            Run(warm, 0.1);
            Run(cases[i], (primary ? seconds : seconds / 4) / rounds);
            CloseQuietly(cases[i].handle);
            usleep(100000);
        }
    }
    std::printf("Register read (0xF000) on a paced simulated board, %g s a main case\n\n", seconds);
    std::printf("| Port | txns | median ms | p99 ms | vs local pty |\n|---|---|---|---|---|\n");
    const double local = Percentile(cases[0].latencies, 0.5);
    for (const Case &c : cases) {
        const double median = Percentile(c.latencies, 0.5);
        std::printf("| %s | %zu%s | %.3f | %.3f | %.2fx |\n", c.name.c_str(), c.latencies.size(),
                    c.failures != 0 ? (" (" + std::to_string(c.failures) + " failed)").c_str() : "",
                    median, Percentile(c.latencies, 0.99), local > 0 ? median / local : 0);
    }
    const double rfcRatio = Percentile(cases[1].latencies, 0.5) / local;
    const double tcpRatio = Percentile(cases[2].latencies, 0.5) / local;

    // Four boards, four servers, four threads, against board 0 alone.
    std::vector<std::unique_ptr<Server>> four;
    std::vector<Case> threads(4);
    for (int i = 0; i < 4; ++i) {
        four.push_back(std::make_unique<Server>(dir, boards[static_cast<size_t>(i)]->SlavePath(),
                                                variants[0].accepter, false));
        threads[static_cast<size_t>(i)].handle =
            OpenQuietly("rfc2217://127.0.0.1:" + std::to_string(four.back()->Port()));
    }
    const double span = seconds / 2;
    Case one = threads[0];
    Run(one, span);
    std::atomic<int> ready{0};
    std::vector<std::thread> workers;
    for (auto &c : threads) {
        c.latencies.clear();
        workers.emplace_back([&c, &ready, span] {
            ++ready;
            while (ready.load() < 4) {
            }
            Run(c, span);
        });
    }
    for (auto &w : workers) {
        w.join();
    }
    size_t total = 0;
    for (const auto &c : threads) {
        total += c.latencies.size();
        CloseQuietly(c.handle);
    }
    const double oneRate = static_cast<double>(one.latencies.size()) / span;
    const double fourRate = static_cast<double>(total) / span;
    std::printf("\nrfc2217, one board: %.0f txn/s; four boards on four connections and four "
                "ser2net processes: %.0f txn/s, %.2fx\n",
                oneRate, fourRate, fourRate / oneRate);
    std::printf("\nTargets: rfc2217 %.2fx local (<= 1.15x): %s; socket %.2fx (<= 1.15x): %s; "
                "four boards %.2fx one (>= 3.5x): %s\n",
                rfcRatio, rfcRatio <= 1.15 ? "ok" : "MISS", tcpRatio,
                tcpRatio <= 1.15 ? "ok" : "MISS", fourRate / oneRate,
                fourRate / oneRate >= 3.5 ? "ok" : "MISS");
    servers.clear();
    four.clear();
    rmdir(dir.c_str());
    for (auto &b : boards) {
        b->Stop();
    }
    return 0;
}
