// TCP connections over BSD sockets, for the native library.
#include "platform/net.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#pragma GCC visibility push(hidden)

namespace zorenc::net {
namespace {

DWORD Left(DWORD deadline)
{
    const DWORD now = GetTickCount();
    const int32_t left = static_cast<int32_t>(deadline - now);
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

int32_t CodeOf(int error)
{
    switch (error) {
    case ECONNREFUSED:
        return static_cast<int32_t>(ERROR_CONNECTION_REFUSED);
    case ETIMEDOUT:
        return static_cast<int32_t>(ERROR_TIMEOUT);
    case ENOMEM:
    case ENOBUFS:
        return static_cast<int32_t>(ERROR_NOT_ENOUGH_MEMORY);
    default:
        return static_cast<int32_t>(ERROR_GEN_FAILURE);
    }
}

void SetOptions(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on));
}

// One address: a non-blocking connect, waited for until the deadline.
int32_t ConnectOne(const addrinfo *address, DWORD deadline, int *out)
{
    const int fd =
        socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC, address->ai_protocol);
    if (fd < 0) {
        return CodeOf(errno);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    SetOptions(fd);
    if (connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
        if (errno != EINPROGRESS) {
            const int32_t code = CodeOf(errno);
            close(fd);
            return code;
        }
        pollfd p{fd, POLLOUT, 0};
        int ready = 0;
        do {
            ready = poll(&p, 1, static_cast<int>(Left(deadline)));
        } while (ready < 0 && errno == EINTR);
        if (ready <= 0) {
            close(fd);
            return static_cast<int32_t>(ERROR_TIMEOUT);
        }
        int error = 0;
        socklen_t size = sizeof(error);
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        if (error != 0) {
            close(fd);
            return CodeOf(error);
        }
    }
    *out = fd;
    return 0;
}

} // namespace

int32_t Connect(const char *host, const char *port, DWORD budget, DWORD *deadline, Socket *out)
{
    *out = kNoSocket;
    *deadline = GetTickCount() + budget; // until the address is known
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo *list = nullptr;
    if (getaddrinfo(host, port, &hints, &list) != 0) {
        // Not a numeric address: a name for the resolver.
        hints.ai_flags = AI_NUMERICSERV;
        const int failed = getaddrinfo(host, port, &hints, &list);
        if (failed != 0) {
            return static_cast<int32_t>(failed == EAI_MEMORY ? ERROR_NOT_ENOUGH_MEMORY
                                                             : ERROR_BAD_NETPATH);
        }
    }
    *deadline = GetTickCount() + budget;
    int32_t code = static_cast<int32_t>(ERROR_BAD_NETPATH);
    for (const addrinfo *a = list; a != nullptr; a = a->ai_next) {
        int fd = -1;
        code = ConnectOne(a, *deadline, &fd);
        if (code == 0) {
            *out = fd;
            break;
        }
        if (Left(*deadline) == 0) {
            break;
        }
    }
    freeaddrinfo(list);
    return code;
}

Io Send(Socket socket, const uint8_t *data, size_t length, size_t *sent)
{
    *sent = 0;
    for (;;) {
        const ssize_t n = send(static_cast<int>(socket), data, length, MSG_NOSIGNAL);
        if (n >= 0) {
            *sent = static_cast<size_t>(n);
            return Io::Done;
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? Io::WouldBlock : Io::Closed;
    }
}

Io Receive(Socket socket, uint8_t *buffer, size_t length, size_t *received)
{
    *received = 0;
    for (;;) {
        const ssize_t n = recv(static_cast<int>(socket), buffer, length, 0);
        if (n > 0) {
            *received = static_cast<size_t>(n);
            return Io::Done;
        }
        if (n == 0) {
            return Io::Closed;
        }
        if (errno == EINTR) {
            continue;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK ? Io::WouldBlock : Io::Closed;
    }
}

bool Wait(Socket socket, bool forWriting, DWORD ms)
{
    pollfd p{static_cast<int>(socket), static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
    const DWORD deadline = GetTickCount() + ms;
    for (;;) {
        const int ready = poll(&p, 1, ms == INFINITE ? -1 : static_cast<int>(Left(deadline)));
        if (ready >= 0 || errno != EINTR) {
            return ready != 0; // an error of poll itself shows in the next call
        }
    }
}

void Close(Socket socket)
{
    if (socket != kNoSocket) {
        close(static_cast<int>(socket));
    }
}

} // namespace zorenc::net

#pragma GCC visibility pop
