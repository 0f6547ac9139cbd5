#include "serial/net_serial.h"

#include <cctype>
#include <cstring>
#include <new>

namespace tn = zorenc::telnet;
namespace net = zorenc::net;

namespace {

// Connecting and negotiating together, counted once the address is known:
// with the call's own work, an open ends within 2 s.
constexpr DWORD kOpenBudgetMs = 1500;
// How long a socket:// open waits for the server to close the connection at
// once, as a serial server does when its device is busy (ser2net sends "Port's
// device already in use" first); bytes that come meanwhile are kept.
constexpr DWORD kSettleMs = 100;
// Between tries of an open whose connection the server closed.
constexpr DWORD kRetryPauseMs = 50;
// The answer to a change of the line format after the open.
constexpr DWORD kAnswerMs = 1000;
// The answer to PURGE-DATA; a server that gives none has purged all the same.
constexpr DWORD kPurgeAnswerMs = 500;
// PurgeRx drains at most this many buffers of bytes that keep arriving.
constexpr int kMaxDrains = 16;

constexpr int32_t Code(DWORD code)
{
    return static_cast<int32_t>(code);
}

DWORD Left(DWORD deadline)
{
    const int32_t left = static_cast<int32_t>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

bool EqualsIgnoringCase(const std::string &a, const char *b)
{
    const size_t n = std::strlen(b);
    if (a.size() != n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) {
            return false;
        }
    }
    return true;
}

bool IsHostCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

// Windows' parity and stop-bit codes to RFC 2217's (0 means "ask"): NOPARITY
// 0..SPACEPARITY 4 are NONE 1..SPACE 5; ONESTOPBIT 0, ONE5STOPBITS 1 and
// TWOSTOPBITS 2 are 1, 3 and 2.
uint8_t ParityCode(int parity)
{
    return static_cast<uint8_t>(parity + 1);
}

uint8_t StopCode(int stopBits)
{
    static const uint8_t codes[] = {1, 3, 2};
    return codes[stopBits];
}

} // namespace

namespace zorenc {

bool IsNetworkName(const char *name)
{
    if (name == nullptr) {
        return false;
    }
    const char *separator = std::strstr(name, "://");
    if (separator == nullptr || separator == name) {
        return false;
    }
    for (const char *c = name; c != separator; ++c) {
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '+' && *c != '-' && *c != '.') {
            return false;
        }
    }
    return true;
}

int32_t ParseNetworkName(const char *name, NetAddress *out)
{
    if (!IsNetworkName(name)) {
        return Code(ERROR_INVALID_PARAMETER);
    }
    try {
        const std::string text(name);
        const size_t separator = text.find("://");
        const std::string scheme = text.substr(0, separator);
        NetAddress address;
        if (EqualsIgnoringCase(scheme, "rfc2217")) {
            address.rfc2217 = true;
        } else if (!EqualsIgnoringCase(scheme, "socket")) {
            return Code(ERROR_NOT_SUPPORTED);
        }
        const std::string rest = text.substr(separator + 3);
        size_t colon = 0;
        if (!rest.empty() && rest[0] == '[') {
            const size_t close = rest.find(']');
            if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
                return Code(ERROR_INVALID_PARAMETER);
            }
            address.host = rest.substr(1, close - 1);
            for (char c : address.host) {
                if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
                    return Code(ERROR_INVALID_PARAMETER);
                }
            }
            colon = close + 1;
        } else {
            colon = rest.find(':');
            if (colon == std::string::npos) {
                return Code(ERROR_INVALID_PARAMETER);
            }
            address.host = rest.substr(0, colon);
            for (char c : address.host) {
                if (!IsHostCharacter(c)) {
                    return Code(ERROR_INVALID_PARAMETER);
                }
            }
        }
        address.port = rest.substr(colon + 1);
        if (address.host.empty() || address.port.empty() || address.port.size() > 5) {
            return Code(ERROR_INVALID_PARAMETER);
        }
        unsigned long number = 0;
        for (char c : address.port) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                return Code(ERROR_INVALID_PARAMETER);
            }
            number = number * 10 + static_cast<unsigned long>(c - '0');
        }
        if (number == 0 || number > 65535) {
            return Code(ERROR_INVALID_PARAMETER);
        }
        *out = address;
    } catch (...) {
        return Code(ERROR_NOT_ENOUGH_MEMORY);
    }
    return 0;
}

CSerial *PortForName(const CSerial &current, const char *name, bool *failed)
{
    *failed = false;
    const bool network = IsNetworkName(name);
    if (network == (dynamic_cast<const CNetSerial *>(&current) != nullptr)) {
        return nullptr;
    }
    CSerial *port = network ? static_cast<CSerial *>(new (std::nothrow) CNetSerial())
                            : new (std::nothrow) CSerial();
    *failed = port == nullptr;
    return port;
}

} // namespace zorenc

CNetSerial::~CNetSerial()
{
    CNetSerial::Close();
}

void CNetSerial::Reset()
{
    net::Close(socket_);
    socket_ = net::kNoSocket;
    portHandle = nullptr;
    ended_ = false;
    broken_ = false;
    decoder_ = tn::Decoder();
    std::memset(weWill_, 0, sizeof(weWill_));
    std::memset(theyWill_, 0, sizeof(theyWill_));
    comPortRefused_ = false;
    answered_ = 0;
    start_ = end_ = 0;
}

int32_t CNetSerial::Open(const char *name, DWORD /*inQueue*/, DWORD /*outQueue*/,
                         bool /*overlapped*/)
{
    lastError = Code(ERROR_SUCCESS);
    if (IsOpen()) {
        lastError = Code(ERROR_ALREADY_INITIALIZED);
        return lastError;
    }
    zorenc::NetAddress address;
    lastError = zorenc::ParseNetworkName(name, &address);
    if (lastError != 0) {
        return lastError;
    }
    Reset();
    telnet_ = address.rfc2217;
    baudRate_ = CBR_115200;
    dataBits_ = 8;
    parity_ = NOPARITY;
    stopBits_ = ONESTOPBIT;
    handshake_ = HandshakeOff;
    readMode_ = ReadNonBlocking;
    eventChar_ = 0;
    eventMask = DefaultMask;
    DWORD deadline = 0;
    lastError = net::Connect(address.host.c_str(), address.port.c_str(), kOpenBudgetMs, &deadline,
                             &socket_);
    // A server that closes the connection during the open has its device busy;
    // ser2net says so for a few milliseconds after its last client left, so
    // the open is tried again while the bound allows.
    while (lastError == 0) {
        portHandle = reinterpret_cast<HANDLE>(this); // open: IsOpen holds
        lastError = telnet_ ? Negotiate(deadline) : Settle(deadline);
        if (lastError != Code(ERROR_NETNAME_DELETED) ||
            Left(deadline) < kRetryPauseMs + kSettleMs) {
            break;
        }
        Reset();
        Sleep(kRetryPauseMs);
        DWORD unused = 0;
        lastError = net::Connect(address.host.c_str(), address.port.c_str(), Left(deadline),
                                 &unused, &socket_);
    }
    if (lastError != 0) {
        const int32_t kept = lastError;
        Reset();
        lastError = kept;
    }
    return lastError;
}

// Offers binary transmission both ways and COM-PORT-OPTION, then sets the
// line: 115200 baud, 8 data bits, no parity, one stop bit, no flow control.
// The line format must be answered; the flow-control request need not be (a
// server on a pseudo-terminal may never answer control-line requests).
int32_t CNetSerial::Negotiate(DWORD deadline)
{
    SendCommand(tn::kWill, tn::kOptBinary);
    SendCommand(tn::kDo, tn::kOptBinary);
    SendCommand(tn::kWill, tn::kOptComPort);
    if (!PumpUntil(deadline, [this] { return weWill_[tn::kOptComPort] || comPortRefused_; })) {
        return Code(ended_ ? ERROR_NETNAME_DELETED : ERROR_TIMEOUT);
    }
    if (comPortRefused_) {
        return Code(ERROR_NOT_SUPPORTED); // a Telnet server without serial control
    }
    const int32_t result = SendLineFormat(baudRate_, dataBits_, parity_, stopBits_, deadline);
    if (result == 0) {
        const uint8_t noFlowControl = 1;
        SendComPort(tn::kSetControl, &noFlowControl, 1);
    }
    return result;
}

// Sends the four settings of the line format and waits for their answers.
int32_t CNetSerial::SendLineFormat(DWORD baudRate, int dataBits, int parity, int stopBits,
                                   DWORD deadline)
{
    const uint8_t baud[4] = {static_cast<uint8_t>(baudRate >> 24),
                             static_cast<uint8_t>(baudRate >> 16),
                             static_cast<uint8_t>(baudRate >> 8), static_cast<uint8_t>(baudRate)};
    const uint8_t size = static_cast<uint8_t>(dataBits);
    const uint8_t parityCode = ParityCode(parity);
    const uint8_t stopCode = StopCode(stopBits);
    const uint32_t wanted = (1u << tn::kSetBaudRate) | (1u << tn::kSetDataSize) |
                            (1u << tn::kSetParity) | (1u << tn::kSetStopSize);
    answered_ &= ~wanted;
    SendComPort(tn::kSetBaudRate, baud, sizeof(baud));
    SendComPort(tn::kSetDataSize, &size, 1);
    SendComPort(tn::kSetParity, &parityCode, 1);
    SendComPort(tn::kSetStopSize, &stopCode, 1);
    if (!PumpUntil(deadline, [&] { return (answered_ & wanted) == wanted; })) {
        return Code(ended_ ? ERROR_NETNAME_DELETED : ERROR_TIMEOUT);
    }
    return 0;
}

// A plain TCP server has nothing to negotiate; one whose device is busy
// closes the connection at once, which this short wait catches.
int32_t CNetSerial::Settle(DWORD deadline)
{
    const DWORD settle = GetTickCount() + kSettleMs;
    const DWORD until = static_cast<int32_t>(settle - deadline) < 0 ? settle : deadline;
    PumpUntil(until, [] { return false; });
    return ended_ ? Code(ERROR_NETNAME_DELETED) : 0;
}

void CNetSerial::SendCommand(uint8_t verb, uint8_t option)
{
    const uint8_t command[3] = {tn::kIac, verb, option};
    SendRaw(command, sizeof(command), GetTickCount() + kAnswerMs);
}

void CNetSerial::SendComPort(uint8_t command, const uint8_t *value, size_t length)
{
    uint8_t message[4 + 2 * 4 + 2] = {tn::kIac, tn::kSb, tn::kOptComPort, command};
    size_t n = 4 + tn::EscapeData(value, length, message + 4);
    message[n++] = tn::kIac;
    message[n++] = tn::kSe;
    SendRaw(message, n, GetTickCount() + kAnswerMs);
}

// Sends all of data, waiting for room until the deadline. False when it could
// not: the connection ended (then the port is closed) or the time ran out.
bool CNetSerial::SendRaw(const uint8_t *data, size_t length, DWORD deadline)
{
    size_t done = 0;
    while (done < length) {
        size_t sent = 0;
        const net::Io io = net::Send(socket_, data + done, length - done, &sent);
        if (io == net::Io::Closed) {
            ended_ = true;
            broken_ = true; // what it brought is void
            return false;
        }
        done += sent;
        if (done < length && (Left(deadline) == 0 || !net::Wait(socket_, true, Left(deadline)))) {
            return false;
        }
    }
    return true;
}

// The options wanted: binary both ways, COM-PORT-OPTION from us, and no
// go-aheads; echo from the server is refused. Only a change is answered, so
// that both ends' offers cannot loop.
void CNetSerial::OnCommand(uint8_t verb, uint8_t option)
{
    const bool wantUs = option == tn::kOptBinary || option == tn::kOptSuppressGoAhead ||
                        (telnet_ && option == tn::kOptComPort);
    const bool wantThem = option == tn::kOptBinary || option == tn::kOptSuppressGoAhead;
    switch (verb) {
    case tn::kDo:
        if (!wantUs) {
            SendCommand(tn::kWont, option);
        } else if (!weWill_[option]) {
            weWill_[option] = true;
            if (option != tn::kOptBinary && option != tn::kOptComPort) {
                SendCommand(tn::kWill, option); // the others we offered ourselves
            }
        }
        break;
    case tn::kDont:
        if (option == tn::kOptComPort) {
            comPortRefused_ = true;
        }
        if (weWill_[option]) {
            weWill_[option] = false;
            SendCommand(tn::kWont, option);
        }
        break;
    case tn::kWill:
        if (!wantThem) {
            SendCommand(tn::kDont, option);
        } else if (!theyWill_[option]) {
            theyWill_[option] = true;
            if (option != tn::kOptBinary) {
                SendCommand(tn::kDo, option);
            }
        }
        break;
    case tn::kWont:
        if (theyWill_[option]) {
            theyWill_[option] = false;
            SendCommand(tn::kDont, option);
        }
        break;
    default:
        break;
    }
}

// Answers of the server carry the command's code plus 100; its notifications
// (line and modem state) are not used.
void CNetSerial::OnSubnegotiation(const uint8_t *body, size_t length)
{
    if (length >= 2 && body[0] == tn::kOptComPort && body[1] > tn::kServerOffset &&
        body[1] - tn::kServerOffset < 32) {
        answered_ |= 1u << (body[1] - tn::kServerOffset);
    }
}

bool CNetSerial::Pump(DWORD ms)
{
    if (socket_ == net::kNoSocket || ended_) {
        return false;
    }
    if (start_ == end_) {
        start_ = end_ = 0;
    } else if (end_ == kBufferSize && start_ > 0) {
        std::memmove(buffer_, buffer_ + start_, end_ - start_);
        end_ -= start_;
        start_ = 0;
    }
    if (end_ == kBufferSize) {
        return true; // full: the caller must take some first
    }
    if (ms > 0 && !net::Wait(socket_, false, ms)) {
        return true;
    }
    // Decoded data never outgrow what was received, so receiving no more than
    // the room left keeps them in the buffer.
    uint8_t raw[1024];
    while (end_ < kBufferSize) {
        const size_t room = kBufferSize - end_;
        size_t received = 0;
        const net::Io io =
            net::Receive(socket_, raw, room < sizeof(raw) ? room : sizeof(raw), &received);
        if (io == net::Io::WouldBlock) {
            break;
        }
        if (io == net::Io::Closed) {
            ended_ = true;
            return false;
        }
        if (telnet_) {
            end_ += decoder_.Feed(raw, received, buffer_ + end_, *this);
        } else {
            std::memcpy(buffer_ + end_, raw, received);
            end_ += received;
        }
        if (ended_) {
            return false; // an answer to a command found the connection gone
        }
    }
    return true;
}

template <typename Done> bool CNetSerial::PumpUntil(DWORD deadline, Done done)
{
    while (!done()) {
        const DWORD left = Left(deadline);
        if (!Pump(left) && !done()) {
            return false;
        }
        if (left == 0) {
            return done();
        }
    }
    return true;
}

size_t CNetSerial::Take(uint8_t *out, size_t length)
{
    const size_t have = end_ - start_;
    const size_t n = length < have ? length : have;
    if (n > 0) {
        std::memcpy(out, buffer_ + start_, n);
        start_ += n;
    }
    return n;
}

bool CNetSerial::DropIfEnded()
{
    if (!ended_ || (!broken_ && start_ != end_)) {
        return false;
    }
    Reset();
    return true;
}

int32_t CNetSerial::Close()
{
    lastError = Code(ERROR_SUCCESS);
    Reset();
    return lastError;
}

int32_t CNetSerial::Setup(DWORD baudRate, int dataBits, int parity, int stopBits)
{
    if (!Ready()) {
        return lastError;
    }
    if (dataBits < 5 || dataBits > 8 || parity < NOPARITY || parity > SPACEPARITY ||
        stopBits < ONESTOPBIT || stopBits > TWOSTOPBITS || baudRate == 0) {
        lastError = Code(ERROR_INVALID_PARAMETER);
        return lastError;
    }
    if (baudRate == baudRate_ && dataBits == dataBits_ && parity == parity_ &&
        stopBits == stopBits_) {
        return lastError; // set already (the open sets the library's format)
    }
    if (telnet_) {
        lastError =
            SendLineFormat(baudRate, dataBits, parity, stopBits, GetTickCount() + kAnswerMs);
        if (lastError != 0) {
            DropIfEnded();
            return lastError;
        }
    }
    // A plain TCP server keeps the line as it was configured there.
    baudRate_ = baudRate;
    dataBits_ = dataBits;
    parity_ = parity;
    stopBits_ = stopBits;
    return lastError;
}

int32_t CNetSerial::SetEventChar(char ch, bool adjustMask)
{
    if (!Ready()) {
        return lastError;
    }
    eventChar_ = ch;
    if (adjustMask) {
        eventMask |= EV_RXFLAG;
    }
    return lastError;
}

int32_t CNetSerial::SetMask(DWORD mask)
{
    if (Ready()) {
        eventMask = mask;
    }
    return lastError;
}

int32_t CNetSerial::SetupHandshaking(int mode)
{
    if (!Ready()) {
        return lastError;
    }
    if (mode != HandshakeOff && mode != HandshakeHardware && mode != HandshakeSoftware) {
        lastError = static_cast<int32_t>(E_INVALIDARG);
        return lastError;
    }
    if (telnet_) {
        // SET-CONTROL 1 none, 2 XON/XOFF, 3 hardware; not waited for.
        static const uint8_t codes[] = {1, 3, 2};
        SendComPort(tn::kSetControl, &codes[mode], 1);
        if (DropIfEnded()) {
            lastError = Code(ERROR_NETNAME_DELETED);
            return lastError;
        }
    }
    handshake_ = mode;
    return lastError;
}

int32_t CNetSerial::SetupReadTimeouts(int mode)
{
    if (!Ready()) {
        return lastError;
    }
    if (mode != ReadNonBlocking && mode != ReadBlocking) {
        lastError = static_cast<int32_t>(E_INVALIDARG);
        return lastError;
    }
    readMode_ = mode;
    return lastError;
}

DWORD CNetSerial::GetBaudRate()
{
    return Ready() ? baudRate_ : 0xFFFFFFFFu;
}

int CNetSerial::GetDataBits()
{
    return Ready() ? dataBits_ : -1;
}

int CNetSerial::GetParity()
{
    return Ready() ? parity_ : -1;
}

int CNetSerial::GetStopBits()
{
    return Ready() ? stopBits_ : -1;
}

int CNetSerial::GetHandshaking()
{
    return Ready() ? handshake_ : -1;
}

DWORD CNetSerial::GetEventMask()
{
    return Ready() ? eventMask : 0;
}

char CNetSerial::GetEventChar()
{
    return Ready() ? eventChar_ : 0;
}

int32_t CNetSerial::WaitEvent(LPOVERLAPPED overlapped, DWORD timeout)
{
    receivedEvents = 0;
    if (!Ready()) {
        return lastError;
    }
    if (overlapped != nullptr) {
        lastError = Code(ERROR_NOT_SUPPORTED); // no caller's OVERLAPPED on a network port
        return lastError;
    }
    const DWORD deadline = GetTickCount() + timeout;
    for (;;) {
        if (start_ != end_ && (eventMask & EV_RXCHAR) != 0) {
            receivedEvents = EV_RXCHAR;
            return lastError;
        }
        const DWORD left = timeout == INFINITE ? INFINITE : Left(deadline);
        if (!Pump(left) && DropIfEnded()) {
            lastError = Code(ERROR_NETNAME_DELETED);
            return lastError;
        }
        if (left == 0 && start_ == end_) {
            lastError = Code(ERROR_TIMEOUT);
            return lastError;
        }
    }
}

int32_t CNetSerial::Write(const void *data, size_t length, DWORD *written, LPOVERLAPPED overlapped,
                          DWORD timeout)
{
    DWORD localCount = 0;
    DWORD *count = written != nullptr ? written : &localCount;
    *count = 0;
    if (!Ready()) {
        return lastError;
    }
    if (overlapped != nullptr) {
        lastError = Code(ERROR_NOT_SUPPORTED);
        return lastError;
    }
    if (data == nullptr && length > 0) {
        lastError = Code(ERROR_INVALID_PARAMETER);
        return lastError;
    }
    const DWORD deadline =
        timeout == INFINITE ? GetTickCount() + 0x7FFFFFFFu : GetTickCount() + timeout;
    const auto *bytes = static_cast<const uint8_t *>(data);
    uint8_t escaped[512];
    size_t done = 0;
    while (done < length) {
        const size_t chunk =
            length - done < sizeof(escaped) / 2 ? length - done : sizeof(escaped) / 2;
        size_t n = chunk;
        const uint8_t *out = bytes + done;
        if (telnet_) {
            n = tn::EscapeData(bytes + done, chunk, escaped);
            out = escaped;
        }
        if (!SendRaw(out, n, deadline)) {
            DropIfEnded();
            lastError = Code(IsOpen() ? ERROR_TIMEOUT : ERROR_NETNAME_DELETED);
            return lastError;
        }
        done += chunk;
        *count = static_cast<DWORD>(done);
    }
    return lastError;
}

int32_t CNetSerial::Read(void *buffer, size_t length, DWORD *read, LPOVERLAPPED overlapped,
                         DWORD timeout)
{
    DWORD localCount = 0;
    DWORD *count = read != nullptr ? read : &localCount;
    *count = 0;
    if (!Ready()) {
        return lastError;
    }
    if (overlapped != nullptr) {
        lastError = Code(ERROR_NOT_SUPPORTED);
        return lastError;
    }
    if (buffer == nullptr && length > 0) {
        lastError = Code(ERROR_INVALID_PARAMETER);
        return lastError;
    }
    if (length > MAXDWORD) {
        length = MAXDWORD;
    }
    auto *out = static_cast<uint8_t *>(buffer);
    size_t done = 0;
    if (readMode_ == ReadNonBlocking) {
        // What has come, at once: what is buffered and what the socket holds.
        Pump(0);
        done = Take(out, length);
        if (done < length) {
            Pump(0);
            done += Take(out + done, length - done);
        }
    } else {
        // The whole count, within the time-out.
        const DWORD deadline = GetTickCount() + timeout;
        for (;;) {
            done += Take(out + done, length - done);
            if (done == length) {
                break;
            }
            const DWORD left = timeout == INFINITE ? INFINITE : Left(deadline);
            if (!Pump(left) && start_ == end_) {
                break; // ended
            }
            if (left == 0 && start_ == end_) {
                lastError = Code(ERROR_TIMEOUT);
                break;
            }
        }
    }
    *count = static_cast<DWORD>(done);
    // The port closes on the read that finds nothing more to come, so that
    // the bytes before the end reach the caller first.
    if (done == 0 && DropIfEnded()) {
        lastError = Code(ERROR_NETNAME_DELETED);
    }
    return lastError;
}

int32_t CNetSerial::PurgeRx()
{
    if (!Ready()) {
        return lastError;
    }
    for (int i = 0; i < kMaxDrains; ++i) {
        start_ = end_ = 0;
        if (!Pump(0) || start_ == end_) {
            break;
        }
    }
    start_ = end_ = 0;
    if (DropIfEnded()) {
        lastError = Code(ERROR_NETNAME_DELETED);
    }
    return lastError;
}

int32_t CNetSerial::Purge()
{
    if (!Ready()) {
        return lastError;
    }
    if (telnet_) {
        // Both of the server's buffers; what it sent before its answer is
        // stale and dropped.
        const uint8_t both = 3;
        const uint32_t bit = 1u << tn::kPurgeData;
        answered_ &= ~bit;
        SendComPort(tn::kPurgeData, &both, 1);
        PumpUntil(GetTickCount() + kPurgeAnswerMs, [&] {
            start_ = end_ = 0;
            return (answered_ & bit) != 0;
        });
    }
    return PurgeRx();
}
