// The register transaction as first laid out: write, rest 1 ms, then read
// and rest 1 ms in turn until the reply's terminator has come. Kept here, on
// the same CSerial port class as the library, as the yardstick the library's
// event-driven loop is compared with. Not part of the library.
#pragma once

#include <cstdint>

class CSerial;

namespace bench {

// Opens `path` the way ZorEncOpen opens a handler's port (overlapped, then
// 115200 8N1). Null when the port did not open.
CSerial *OpenDesignedPort(const char *path);
void CloseDesignedPort(CSerial *port);

// One read transaction: returns the reply's status (0 for success), 0xFFF9
// after the 1000 ms deadline, 0xFFF6 for a malformed reply.
uint32_t DesignedSendRead(CSerial &port, uint16_t address, uint32_t value, uint32_t *out);

} // namespace bench
