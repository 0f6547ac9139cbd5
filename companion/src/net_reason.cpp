// Why a network port (rfc2217://HOST:PORT, socket://HOST:PORT) did not open:
// the library says only that it failed, so the connection is tried again here
// and its failure put in words.
#include <cstdlib>
#include <string>

#include "ports.h"

#if defined(_WIN32)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zorenc::companion {

namespace {

constexpr int kConnectBoundMs = 3000;

struct Address {
    std::string host;
    std::string port;
};

// HOST:PORT after the scheme; HOST a name, an IPv4 address or an IPv6
// address in brackets; PORT 1..65535 and nothing after it.
bool ParseAddress(const std::string &name, Address &out)
{
    const std::string rest = name.substr(name.find("://") + 3);
    std::size_t colon = 0;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return false;
        }
        out.host = rest.substr(1, close - 1);
        colon = close + 1;
    } else {
        colon = rest.rfind(':');
        if (colon == std::string::npos) {
            return false;
        }
        out.host = rest.substr(0, colon);
        if (out.host.find(':') != std::string::npos) {
            return false; // an IPv6 address without brackets
        }
    }
    out.port = rest.substr(colon + 1);
    if (out.host.empty() || out.port.empty() || out.port.size() > 5 ||
        out.port.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const long number = std::strtol(out.port.c_str(), nullptr, 10);
    return number >= 1 && number <= 65535;
}

#if defined(_WIN32)

std::string TryConnect(const Address &address)
{
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return "the network is not available (Winsock did not start)";
    }
    std::string reason;
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    if (getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &list) != 0) {
        WSACleanup();
        return "cannot resolve host " + address.host;
    }
    const std::string where = address.host + ":" + address.port;
    reason = "connection refused by " + where;
    for (addrinfo *a = list; a != nullptr; a = a->ai_next) {
        SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (s == INVALID_SOCKET) {
            continue;
        }
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
        int error = 0;
        if (connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            error = WSAGetLastError();
            if (error == WSAEWOULDBLOCK) {
                fd_set writable, failed;
                FD_ZERO(&writable);
                FD_ZERO(&failed);
                FD_SET(s, &writable);
                FD_SET(s, &failed);
                timeval bound = {kConnectBoundMs / 1000, 0};
                if (select(0, nullptr, &writable, &failed, &bound) <= 0) {
                    error = WSAETIMEDOUT;
                } else {
                    int length = sizeof error;
                    error = 0;
                    getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&error), &length);
                }
            }
        }
        closesocket(s);
        if (error == 0) {
            reason = where + " accepts connections, but the port did not open over one "
                             "(another client holds it, or the server speaks another protocol)";
            break;
        }
        reason = error == WSAECONNREFUSED ? "connection refused by " + where
                 : error == WSAETIMEDOUT
                     ? "no answer from " + where + " within 3 s"
                     : "cannot connect to " + where + " (error " + std::to_string(error) + ")";
    }
    freeaddrinfo(list);
    WSACleanup();
    return reason;
}

#else

std::string TryConnect(const Address &address)
{
    addrinfo hints = {};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const int resolved = getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &list);
    if (resolved != 0) {
        return "cannot resolve host " + address.host;
    }
    const std::string where = address.host + ":" + address.port;
    std::string reason = "connection refused by " + where;
    for (addrinfo *a = list; a != nullptr; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            continue;
        }
        int error = 0;
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                pollfd wait = {fd, POLLOUT, 0};
                if (poll(&wait, 1, kConnectBoundMs) <= 0) {
                    error = ETIMEDOUT;
                } else {
                    socklen_t length = sizeof error;
                    error = 0;
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
                }
            }
        }
        close(fd);
        if (error == 0) {
            reason = where + " accepts connections, but the port did not open over one "
                             "(another client holds it, or the server speaks another protocol)";
            break;
        }
        reason = error == ECONNREFUSED ? "connection refused by " + where
                 : error == ETIMEDOUT  ? "no answer from " + where + " within 3 s"
                                       : "cannot connect to " + where + ": " + std::strerror(error);
    }
    freeaddrinfo(list);
    return reason;
}

#endif

} // namespace

std::string NetworkOpenFailureReason(const std::string &name)
{
    Address address;
    if (!ParseAddress(name, address)) {
        return "not a network port name (rfc2217://HOST:PORT or socket://HOST:PORT, PORT "
               "1 to 65535)";
    }
    return TryConnect(address);
}

} // namespace zorenc::companion
