// zorenc-config-bench: a full configuration save (every saved setting, the
// four index-trigger tables included) on a simulated board paced at 115200
// 8N1, against the wire time of the transactions it makes: the bytes of each
// request and reply frame as sent, stuffing included, at 86.8 us a byte.
//
//   zorenc-config-bench [--rounds N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "config.h"
#include "protocol/codec.h"
#include "sim/board.h"
#include "zorenc.h"

namespace companion = zorenc::companion;

namespace {

constexpr double kByteSeconds = 10.0 / 115200.0;

// Wire seconds of what the board received and answered since it was cleared.
double WireSeconds(zorsim::Board &board, size_t &transactions)
{
    size_t bytes = 0;
    const auto requests = board.Requests();
    for (const auto &frame : requests) {
        const auto request =
            zorenc::protocol::DecodeReply(frame.data(), static_cast<int32_t>(frame.size()));
        uint8_t reply[zorenc::protocol::kMaxFrame];
        bytes += frame.size() +
                 static_cast<size_t>(zorenc::protocol::EncodeFrame(
                     request.command, request.address, board.Get(request.address), 0, reply));
    }
    transactions = requests.size();
    return static_cast<double>(bytes) * kByteSeconds;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::min(100, std::atoi(argv[++i])));
        } else {
            std::fprintf(stderr, "usage: zorenc-config-bench [--rounds N]\n");
            return 2;
        }
    }
    zorsim::Options options;
    options.paced = true;
    options.pacedReceive = true;
    zorsim::Board board(options);
    if (!board.Start()) {
        std::fprintf(stderr, "zorenc-config-bench: no pseudo-terminal\n");
        return 1;
    }
    const ZorEncHandle handle = ZorEncCreateHandler();
    if (!ZorEncOpen(handle, board.SlavePath().c_str())) {
        std::fprintf(stderr, "zorenc-config-bench: cannot open %s\n", board.SlavePath().c_str());
        return 1;
    }
    std::printf("full configuration save, board paced at 115200 8N1\n");
    std::printf("%5s %6s %10s %10s %10s %10s\n", "round", "txns", "save s", "wire s", "ms/txn",
                "save/wire");
    std::vector<double> ratios;
    for (int round = 1; round <= rounds; ++round) {
        board.ClearRequests();
        const auto begin = std::chrono::steady_clock::now();
        companion::SaveConfig(handle, board.SlavePath(), nullptr);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        size_t transactions = 0;
        const double wire = WireSeconds(board, transactions);
        ratios.push_back(seconds / wire);
        std::printf("%5d %6zu %10.3f %10.3f %10.3f %9.3fx\n", round, transactions, seconds, wire,
                    seconds * 1000.0 / static_cast<double>(transactions), seconds / wire);
        // The floor under the same load: as many bare register reads.
        board.ClearRequests();
        const auto bare = std::chrono::steady_clock::now();
        uint32_t value = 0;
        for (size_t n = 0; n < transactions; ++n) {
            ZorEncSendRead(handle, zorsim::reg::kFirmwareVersion, 0, &value);
        }
        const double floor =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - bare).count();
        const double floorWire = WireSeconds(board, transactions);
        std::printf("%5s %6zu %10.3f %10.3f %10.3f %9.3fx  (bare ZorEncSendRead)\n", "",
                    transactions, floor, floorWire,
                    floor * 1000.0 / static_cast<double>(transactions), floor / floorWire);
    }
    std::sort(ratios.begin(), ratios.end());
    const double median = ratios[ratios.size() / 2];
    std::printf("median save/wire %.3fx (target at most 1.10x: %s)\n", median,
                median <= 1.10 ? "met" : "NOT met");
    ZorEncCloseHandler(handle);
    board.Stop();
    return 0;
}
