// The floor: a request/reply exchange on the raw pseudo-terminal with plain
// POSIX calls and nothing else. Write the request, sleep in poll() until bytes
// are readable, read what is there, until the reply's terminator.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bench {

class RawPort {
public:
    RawPort() = default;
    RawPort(const RawPort &) = delete;
    RawPort &operator=(const RawPort &) = delete;
    ~RawPort();

    // Opens the device non-blocking in raw mode, 115200 8N1.
    bool Open(const char *path);
    void Close();

    // Writes `request` and collects bytes into `reply` (at most `capacity`)
    // until the last one received is 0x03. Returns the count, 0 after
    // `deadlineMs` or on an error.
    size_t Exchange(const uint8_t *request, size_t length, uint8_t *reply, size_t capacity,
                    int deadlineMs);

private:
    int fd_ = -1;
};

// One read transaction of the board's protocol over a RawPort: true when a
// well-formed reply with status 0 came.
bool IdealSendRead(RawPort &port, uint16_t address, uint32_t value, uint32_t *out);

} // namespace bench
