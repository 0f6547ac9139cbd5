// The host's end of the simulated board's line, with plain POSIX calls.
#ifndef ZORSIM_TESTS_LINE_H
#define ZORSIM_TESTS_LINE_H

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "protocol/codec.h"

namespace zorsim_test {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

inline Bytes Frame(uint8_t command, uint16_t address, uint32_t value)
{
    uint8_t buffer[zorenc::protocol::kMaxFrame];
    return Bytes(buffer, buffer + zorenc::protocol::EncodeFrame(command, address, value, buffer));
}

class Line {
public:
    explicit Line(const std::string &path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio;
        if (fd_ >= 0 && tcgetattr(fd_, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Line()
    {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    bool ok() const { return fd_ >= 0; }

    bool Send(const Bytes &bytes) const
    {
        return write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

    // Collects bytes until done(bytes so far) or timeoutMs passes.
    template <class Done> Bytes ReceiveUntil(int timeoutMs, Done done) const
    {
        Bytes got;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!done(got)) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            pollfd p = {fd_, POLLIN, 0};
            if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) {
                break;
            }
            uint8_t buffer[256];
            const ssize_t n = read(fd_, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }
    // Until the last byte is 0x03, as the library's receiver does.
    Bytes Receive(int timeoutMs) const
    {
        return ReceiveUntil(timeoutMs, [](const Bytes &b) {
            return !b.empty() && b.back() == zorenc::protocol::kEtx;
        });
    }
    Bytes Receive(int timeoutMs, size_t count) const
    {
        return ReceiveUntil(timeoutMs, [count](const Bytes &b) { return b.size() >= count; });
    }
    // Everything that arrives within ms.
    Bytes Collect(int ms) const
    {
        return ReceiveUntil(ms, [](const Bytes &) { return false; });
    }

    // One request and its decoded reply; throws FrameError when none came.
    zorenc::protocol::EncReply Transact(uint8_t command, uint16_t address, uint32_t value,
                                        int timeoutMs = 1000) const
    {
        Send(Frame(command, address, value));
        const Bytes reply = Receive(timeoutMs);
        return zorenc::protocol::DecodeReply(reply.data(), static_cast<int32_t>(reply.size()));
    }

private:
    int fd_;
};

} // namespace zorsim_test

#endif
