#include "ideal_loop.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "protocol/codec.h"

namespace bench {

RawPort::~RawPort()
{
    Close();
}

bool RawPort::Open(const char *path)
{
    Close();
    fd_ = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        return false;
    }
    termios t{};
    if (tcgetattr(fd_, &t) != 0) {
        Close();
        return false;
    }
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd_, TCSANOW, &t); // a pty may refuse the rate alone; raw mode is what counts
    return true;
}

void RawPort::Close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

size_t RawPort::Exchange(const uint8_t *request, size_t length, uint8_t *reply, size_t capacity,
                         int deadlineMs)
{
    size_t sent = 0;
    while (sent < length) {
        const ssize_t n = ::write(fd_, request + sent, length - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            return 0;
        }
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
    size_t received = 0;
    while (received < capacity) {
        const ssize_t n = ::read(fd_, reply + received, capacity - received);
        if (n > 0) {
            received += static_cast<size_t>(n);
            if (reply[received - 1] == zorenc::protocol::kEtx) {
                return received;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || errno != EAGAIN) {
            return 0;
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) {
            return 0;
        }
        pollfd pfd{fd_, POLLIN, 0};
        ::poll(&pfd, 1, static_cast<int>(left.count()));
    }
    return 0;
}

bool IdealSendRead(RawPort &port, uint16_t address, uint32_t value, uint32_t *out)
{
    namespace proto = zorenc::protocol;
    uint8_t request[proto::kMaxFrame];
    const int32_t length = proto::EncodeFrame(proto::kCommandRead, address, value, request);
    uint8_t reply[256];
    const size_t received =
        port.Exchange(request, static_cast<size_t>(length), reply, sizeof reply, 1000);
    if (received == 0) {
        return false;
    }
    try {
        const proto::EncReply decoded = proto::DecodeReply(reply, static_cast<int32_t>(received));
        if (out != nullptr) {
            *out = decoded.value;
        }
        return decoded.status == 0;
    } catch (...) {
        return false;
    }
}

} // namespace bench
