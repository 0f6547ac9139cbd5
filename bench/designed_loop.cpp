#include "designed_loop.h"

#include <cstddef>

#include "protocol/codec.h"
#include "serial/serial.h"

namespace bench {

namespace {

constexpr uint32_t kResultTimeout = 0xFFF9;
constexpr uint32_t kResultFrame = 0xFFF6;
constexpr DWORD kDeadlineMs = 1000;
constexpr size_t kWorkBuffer = 1024;

} // namespace

CSerial *OpenDesignedPort(const char *path)
{
    CSerial *port = new CSerial();
    port->Open(path, 0, 0, true);
    port->Setup(CBR_115200, 8, NOPARITY, ONESTOPBIT);
    if (!port->IsOpen()) {
        delete port;
        return nullptr;
    }
    return port;
}

void CloseDesignedPort(CSerial *port)
{
    if (port != nullptr) {
        port->Close();
        delete port;
    }
}

uint32_t DesignedSendRead(CSerial &port, uint16_t address, uint32_t value, uint32_t *out)
{
    namespace proto = zorenc::protocol;
    uint8_t buffer[kWorkBuffer];
    const int32_t length = proto::EncodeFrame(proto::kCommandRead, address, value, buffer);
    port.Write(buffer, static_cast<size_t>(length), nullptr, nullptr, INFINITE);
    Sleep(1);

    size_t received = 0;
    const DWORD t0 = GetTickCount();
    for (;;) {
        DWORD count = 0;
        port.Read(buffer + received, kWorkBuffer - received, &count, nullptr, INFINITE);
        received += count;
        Sleep(1);
        if (GetTickCount() - t0 > kDeadlineMs) {
            return kResultTimeout;
        }
        if (received > 0 && buffer[received - 1] == proto::kEtx) {
            break;
        }
    }

    proto::EncReply reply{};
    try {
        reply = proto::DecodeReply(buffer, static_cast<int32_t>(received));
    } catch (...) {
        return kResultFrame;
    }
    if (out != nullptr) {
        *out = reply.value;
    }
    return reply.status;
}

} // namespace bench
