// CNetSerial: a serial port on the network, behind a serial device server,
// named rfc2217://HOST:PORT (Telnet with COM-PORT-OPTION: the line format and
// purges travel to the server) or socket://HOST:PORT (the raw byte stream).
// It keeps CSerial's contract, so the transactions, raw reads, purges and
// callbacks run on it unchanged: reads and event waits are bounded by their
// time-outs, and received bytes are buffered here. A connection that the
// server closes or resets closes the port: once the bytes received before
// the end have been read, IsOpen is false and the operations answer
// ERROR_NETNAME_DELETED (then ERROR_INVALID_HANDLE), and Open may connect
// again.
#pragma once

#include <string>

#include "platform/net.h"
#include "serial/serial.h"
#include "serial/telnet.h"

namespace zorenc {

// A network port name split up.
struct NetAddress {
    bool rfc2217 = false; // else socket://
    std::string host;     // without the brackets of an IPv6 address
    std::string port;     // decimal, 1 to 65535
};

// Whether name has the form of a network port name: a scheme and "://"
// ahead of anything else. Such a name never opens a local port.
bool IsNetworkName(const char *name);

// Parses rfc2217://HOST:PORT or socket://HOST:PORT (scheme in any case; HOST
// a name, a dotted IPv4 address or [IPv6]). Returns 0, ERROR_NOT_SUPPORTED
// for another scheme, or ERROR_INVALID_PARAMETER for a malformed name.
int32_t ParseNetworkName(const char *name, NetAddress *out);

// The port object a name needs when current, a closed port, is of the other
// kind (a network name on the serial port or a local name on a network
// port); null when current serves the name. *failed is set when the new
// object could not be made.
CSerial *PortForName(const CSerial &current, const char *name, bool *failed);

} // namespace zorenc

class CNetSerial : public CSerial, private zorenc::telnet::Decoder::Handler {
public:
    CNetSerial() = default;
    ~CNetSerial() override;

    int32_t Open(const char *name, DWORD inQueue = 0, DWORD outQueue = 0,
                 bool overlapped = false) override;
    int32_t Close() override;
    int32_t Setup(DWORD baudRate, int dataBits, int parity, int stopBits) override;
    int32_t SetEventChar(char ch, bool adjustMask = true) override;
    int32_t SetMask(DWORD mask) override;
    int32_t WaitEvent(LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE) override;
    int32_t SetupHandshaking(int mode) override;
    int32_t SetupReadTimeouts(int mode) override;
    DWORD GetBaudRate() override;
    int GetDataBits() override;
    int GetParity() override;
    int GetStopBits() override;
    int GetHandshaking() override;
    DWORD GetEventMask() override;
    char GetEventChar() override;
    int32_t Write(const void *data, size_t length, DWORD *written = nullptr,
                  LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE) override;
    int32_t Read(void *buffer, size_t length, DWORD *read = nullptr,
                 LPOVERLAPPED overlapped = nullptr, DWORD timeout = INFINITE) override;
    // RFC 2217: PURGE-DATA to the server, and what arrives before its answer
    // is dropped; the buffered bytes in any case.
    int32_t Purge() override;
    // Drops what has been received, here and in the socket, with no round trip.
    int32_t PurgeRx() override;

private:
    static constexpr size_t kBufferSize = 4096;

    void OnCommand(uint8_t verb, uint8_t option) override;
    void OnSubnegotiation(const uint8_t *body, size_t length) override;

    int32_t Negotiate(DWORD deadline);
    int32_t Settle(DWORD deadline);
    int32_t SendLineFormat(DWORD baudRate, int dataBits, int parity, int stopBits, DWORD deadline);
    void SendComPort(uint8_t command, const uint8_t *value, size_t length);
    void SendCommand(uint8_t verb, uint8_t option);
    bool SendRaw(const uint8_t *data, size_t length, DWORD deadline);
    // Takes what the socket holds, waiting up to ms for it; false once the
    // connection has ended.
    bool Pump(DWORD ms);
    // Pumps until done() or the deadline; false when the connection ended first.
    template <typename Done> bool PumpUntil(DWORD deadline, Done done);
    size_t Take(uint8_t *out, size_t length);
    // Closes the port when the connection has ended and nothing is left to
    // read; true when it did.
    bool DropIfEnded();
    void Reset();

    zorenc::net::Socket socket_ = zorenc::net::kNoSocket;
    bool telnet_ = false;
    bool ended_ = false;  // the server closed or reset the connection
    bool broken_ = false; // a send failed: what is buffered is void as well
    zorenc::telnet::Decoder decoder_;
    bool weWill_[256] = {};   // options we have agreed to do
    bool theyWill_[256] = {}; // options the server has agreed to do
    bool comPortRefused_ = false;
    uint32_t answered_ = 0; // bit n: the server answered COM-PORT command n
    uint8_t buffer_[kBufferSize] = {};
    size_t start_ = 0; // buffered bytes: buffer_[start_, end_)
    size_t end_ = 0;
    DWORD baudRate_ = 0;
    int dataBits_ = 0;
    int parity_ = 0;
    int stopBits_ = 0;
    int handshake_ = HandshakeOff;
    int readMode_ = ReadNonBlocking;
    char eventChar_ = 0;
};
