#include "replay.h"

#include <cstdio>
#include <stdexcept>

#include "board.h"
#include "pcapng.h"
#include "protocol/codec.h"

namespace companion = zorenc::companion;

namespace zorsim {

namespace proto = zorenc::protocol;
using companion::pcapng::Direction;

namespace {

// Sent where the capture noted a frame error: a start and an end with
// nothing between, which the library takes as a malformed reply.
const std::vector<uint8_t> kMalformed = {proto::kStx, proto::kEtx};

bool Decode(const std::vector<uint8_t> &bytes, proto::EncReply &frame)
{
    const proto::ScanResult scan =
        proto::ScanFrame(bytes.data(), static_cast<int32_t>(bytes.size()));
    if (scan.status != proto::ScanStatus::kFrame) {
        return false;
    }
    frame = scan.frame;
    return true;
}

} // namespace

Replay::Replay(const std::vector<std::string> &paths)
{
    for (const std::string &path : paths) {
        const std::vector<companion::pcapng::Packet> packets = companion::pcapng::ReadFile(path);
        for (size_t i = 0; i < packets.size(); ++i) {
            proto::EncReply request{};
            if (packets[i].direction != Direction::kOutbound ||
                !Decode(packets[i].payload, request)) {
                continue; // replies are taken with their request
            }
            Outcome outcome;
            if (i + 1 < packets.size() && packets[i + 1].direction == Direction::kInbound) {
                outcome.answered = true;
                outcome.bytes = packets[i + 1].payload;
            } else if (packets[i].comment.find("ZORENC_ERR_FRAME") != std::string::npos) {
                outcome.answered = true;
                outcome.bytes = kMalformed;
            }
            recorded_[Key{request.command, request.address, request.value}].left.push_back(outcome);
            ++requests_;
        }
    }
    if (requests_ == 0) {
        throw std::runtime_error("the captures hold no request of the zorenc protocol");
    }
}

bool Replay::Answer(uint8_t command, uint16_t address, uint32_t value, std::vector<uint8_t> &bytes)
{
    auto it = recorded_.find(Key{command, address, value});
    if (it == recorded_.end()) {
        std::fprintf(stderr,
                     "zorenc-sim: replay: no request %c 0x%04X 0x%08X in the capture; answered "
                     "with status 0x%02X\n",
                     command >= 0x20 && command < 0x7F ? command : '?', address, value,
                     kStatusNotRecorded);
        uint8_t frame[proto::kMaxFrame];
        const int32_t n = proto::EncodeFrame(command, address, 0, kStatusNotRecorded, frame);
        bytes.assign(frame, frame + n);
        return true;
    }
    Queue &queue = it->second;
    if (!queue.left.empty()) {
        queue.last = std::move(queue.left.front());
        queue.left.pop_front();
    }
    bytes = queue.last.bytes;
    return queue.last.answered;
}

} // namespace zorsim
