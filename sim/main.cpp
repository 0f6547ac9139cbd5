// zorenc-sim: the simulated board as a program. Prints the path of the port
// to open (the pty slave) on the first line of standard output and serves it
// until SIGINT or SIGTERM.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>

#include "board.h"
#include "replay.h"

namespace {

void Usage(FILE *out)
{
    std::fputs("usage: zorenc-sim [options]\n"
               "Prints the port to open (a pseudo-terminal) on its first line, then serves it\n"
               "until SIGINT or SIGTERM.\n"
               "  --paced            send replies at 115200 8N1 wire speed\n"
               "  --paced-receive    take requests no faster than the wire carries them\n"
               "  --flash FILE       keep the flash in FILE (default: in memory)\n"
               "  --test-commands    answer the test commands (P K F I C L Q X Z A S)\n"
               "  --silent           record requests, answer none\n"
               "  --link PATH        make PATH a symlink to the port\n"
               "  --inputs BITS      digital inputs 0-6 at power-up (e.g. 0x55)\n"
               "  --request-log FILE append each request received to FILE, one a line\n"
               "  --replay FILE      answer with the replies recorded in FILE (zorenc --capture);\n"
               "                     repeat it to replay several captures in order; a request\n"
               "                     they do not hold is answered with status 0x08\n"
               "  -h, --help         this text\n"
               "Signals: SIGUSR1 unplugs the port (it disappears, the board keeps its\n"
               "state), SIGUSR2 plugs it back in (a new pty; --link follows it).\n"
               "Registers, status codes and test commands: sim/README.md.\n",
               out);
}

} // namespace

int main(int argc, char **argv)
{
    zorsim::Options options;
    std::vector<std::string> replays;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "zorenc-sim: %s needs a value\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (arg == "--paced") {
            options.paced = true;
        } else if (arg == "--paced-receive") {
            options.pacedReceive = true;
        } else if (arg == "--flash") {
            options.flashFile = value();
        } else if (arg == "--test-commands") {
            options.testCommands = true;
        } else if (arg == "--silent") {
            options.silent = true;
        } else if (arg == "--request-log") {
            options.requestLog = value();
        } else if (arg == "--link") {
            options.link = value();
        } else if (arg == "--inputs") {
            const char *text = value();
            char *end = nullptr;
            const unsigned long bits = std::strtoul(text, &end, 0);
            if (*text == '\0' || *end != '\0' || bits > 0x7F) {
                std::fprintf(stderr, "zorenc-sim: --inputs takes a number from 0 to 0x7F\n");
                return 2;
            }
            options.inputs = static_cast<uint32_t>(bits);
        } else if (arg == "--replay") {
            replays.push_back(value());
        } else if (arg == "-h" || arg == "--help") {
            Usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "zorenc-sim: unknown option %s\n", arg.c_str());
            Usage(stderr);
            return 2;
        }
    }

    if (!options.requestLog.empty()) {
        std::FILE *log = std::fopen(options.requestLog.c_str(), "w");
        if (log == nullptr) {
            std::fprintf(stderr, "zorenc-sim: cannot write %s: %s\n", options.requestLog.c_str(),
                         std::strerror(errno));
            return 2;
        }
        std::fclose(log);
    }
    std::shared_ptr<zorsim::Replay> replay;
    if (!replays.empty()) {
        try {
            replay = std::make_shared<zorsim::Replay>(replays);
        } catch (const std::exception &error) {
            std::fprintf(stderr, "zorenc-sim: cannot replay: %s\n", error.what());
            return 2;
        }
        options.responder = [replay](uint8_t command, uint16_t address, uint32_t value,
                                     std::vector<uint8_t> &bytes) {
            return replay->Answer(command, address, value, bytes);
        };
    }

    // Blocked before the serving thread starts, so that it inherits the mask
    // and the signals reach only the wait below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGUSR1);
    sigaddset(&stopSignals, SIGUSR2);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    zorsim::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "zorenc-sim: cannot open a pseudo-terminal%s\n",
                     options.link.empty() ? "" : " or make the link");
        return 1;
    }
    std::printf("%s\n", board.SlavePath().c_str());
    std::fflush(stdout);

    for (;;) {
        const timespec slice = {1, 0};
        const int sig = sigtimedwait(&stopSignals, nullptr, &slice);
        if (sig == SIGINT || sig == SIGTERM) {
            break;
        }
        if (sig == SIGUSR1) {
            board.Unplug();
            std::fprintf(stderr, "zorenc-sim: unplugged\n");
        } else if (sig == SIGUSR2) {
            // Plugged in again: the same board (state kept) on a new port.
            if (board.Start()) {
                std::fprintf(stderr, "zorenc-sim: plugged in on %s\n", board.SlavePath().c_str());
            } else {
                std::fprintf(stderr, "zorenc-sim: cannot open a pseudo-terminal\n");
            }
        }
    }
    board.Stop();
    return 0;
}
