// Replay of captured traffic (zorenc --capture): each request is answered
// with the reply recorded for the same command, address and value, in the
// order of the captures.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace zorsim {

class Replay {
public:
    // Loads the captures in order. Throws std::runtime_error with the reason
    // when a file cannot be read or holds no request.
    explicit Replay(const std::vector<std::string> &paths);

    // What to send for a request: true with the bytes (a reply as recorded,
    // a malformed frame where the capture noted a frame error, or a reply
    // with kStatusNotRecorded for a request the captures do not hold, with a
    // line on stderr); false for a request recorded without a reply. Once a
    // request's recorded answers are used up, the last one answers again.
    bool Answer(uint8_t command, uint16_t address, uint32_t value, std::vector<uint8_t> &bytes);

    size_t Requests() const { return requests_; }

private:
    struct Outcome {
        bool answered = false;
        std::vector<uint8_t> bytes;
    };
    using Key = std::tuple<uint8_t, uint16_t, uint32_t>;
    struct Queue {
        std::deque<Outcome> left;
        Outcome last;
    };
    std::map<Key, Queue> recorded_;
    size_t requests_ = 0;
};

} // namespace zorsim
