// TCP connections over Winsock, for the DLLs. ws2_32.dll is loaded on the
// first connection and its functions are looked up by name, so the DLLs import
// only kernel32 and the C runtime. The headers give the types and constants
// alone: nothing here calls a Winsock function directly (FD_ISSET, htons and
// the like would import it).
#include "platform/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace zorenc::net {
namespace {

struct Winsock {
    bool ready = false;
    int(WSAAPI *startup)(WORD, LPWSADATA) = nullptr;
    int(WSAAPI *lastError)() = nullptr;
    SOCKET(WSAAPI *socket)(int, int, int) = nullptr;
    int(WSAAPI *connect)(SOCKET, const sockaddr *, int) = nullptr;
    int(WSAAPI *closesocket)(SOCKET) = nullptr;
    int(WSAAPI *send)(SOCKET, const char *, int, int) = nullptr;
    int(WSAAPI *recv)(SOCKET, char *, int, int) = nullptr;
    int(WSAAPI *select)(int, fd_set *, fd_set *, fd_set *, const timeval *) = nullptr;
    int(WSAAPI *setsockopt)(SOCKET, int, int, const char *, int) = nullptr;
    int(WSAAPI *getsockopt)(SOCKET, int, int, char *, int *) = nullptr;
    int(WSAAPI *ioctlsocket)(SOCKET, long, u_long *) = nullptr;
    int(WSAAPI *getaddrinfo)(const char *, const char *, const ADDRINFOA *, ADDRINFOA **) = nullptr;
    void(WSAAPI *freeaddrinfo)(ADDRINFOA *) = nullptr;
};

Winsock g_ws;
SRWLOCK g_wsLock = SRWLOCK_INIT;

template <typename F> bool Find(HMODULE module, const char *name, F &function)
{
    function = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    return function != nullptr;
}

// Loads ws2_32.dll and starts Winsock once per process; it stays loaded until
// the process ends. Null when it cannot be had.
const Winsock *Load()
{
    AcquireSRWLockExclusive(&g_wsLock);
    if (!g_ws.ready) {
        HMODULE module = LoadLibraryA("ws2_32.dll");
        Winsock w;
        bool found = module != nullptr && Find(module, "WSAStartup", w.startup) &&
                     Find(module, "WSAGetLastError", w.lastError) &&
                     Find(module, "socket", w.socket) && Find(module, "connect", w.connect) &&
                     Find(module, "closesocket", w.closesocket) && Find(module, "send", w.send) &&
                     Find(module, "recv", w.recv) && Find(module, "select", w.select) &&
                     Find(module, "setsockopt", w.setsockopt) &&
                     Find(module, "getsockopt", w.getsockopt) &&
                     Find(module, "ioctlsocket", w.ioctlsocket) &&
                     Find(module, "getaddrinfo", w.getaddrinfo) &&
                     Find(module, "freeaddrinfo", w.freeaddrinfo);
        WSADATA data;
        if (found && w.startup(MAKEWORD(2, 2), &data) == 0) {
            w.ready = true;
            g_ws = w;
        } else if (module != nullptr) {
            FreeLibrary(module);
        }
    }
    const Winsock *result = g_ws.ready ? &g_ws : nullptr;
    ReleaseSRWLockExclusive(&g_wsLock);
    return result;
}

const Winsock &Ws()
{
    return g_ws; // loaded by Connect before any socket exists
}

DWORD Left(DWORD deadline)
{
    const int32_t left = static_cast<int32_t>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

int32_t CodeOf(int error)
{
    switch (error) {
    case WSAECONNREFUSED:
        return static_cast<int32_t>(ERROR_CONNECTION_REFUSED);
    case WSAETIMEDOUT:
        return static_cast<int32_t>(ERROR_TIMEOUT);
    case WSAENOBUFS:
        return static_cast<int32_t>(ERROR_NOT_ENOUGH_MEMORY);
    default:
        return static_cast<int32_t>(ERROR_GEN_FAILURE);
    }
}

bool InSet(const fd_set &set, SOCKET s)
{
    for (u_int i = 0; i < set.fd_count; ++i) {
        if (set.fd_array[i] == s) {
            return true;
        }
    }
    return false;
}

// select on one socket: 1 ready (or failed: in `failed` when asked), 0 after ms.
int Select(SOCKET s, bool forWriting, DWORD ms, bool *failed)
{
    fd_set ready;
    fd_set errors;
    ready.fd_count = 1;
    ready.fd_array[0] = s;
    errors.fd_count = 1;
    errors.fd_array[0] = s;
    timeval limit;
    limit.tv_sec = static_cast<long>(ms / 1000);
    limit.tv_usec = static_cast<long>(ms % 1000) * 1000;
    const int n = Ws().select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr,
                              &errors, ms == INFINITE ? nullptr : &limit);
    if (failed != nullptr) {
        *failed = n > 0 && InSet(errors, s);
    }
    return n != 0 ? 1 : 0;
}

// One address: a non-blocking connect, waited for until the deadline. A
// refused connect shows as an error of the socket; Windows itself retries a
// refused connect for about two seconds, which the deadline cuts short.
int32_t ConnectOne(const ADDRINFOA *address, DWORD deadline, SOCKET *out)
{
    const Winsock &ws = Ws();
    const SOCKET s = ws.socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (s == INVALID_SOCKET) {
        return CodeOf(ws.lastError());
    }
    u_long nonBlocking = 1;
    ws.ioctlsocket(s, FIONBIO, &nonBlocking);
    const BOOL on = TRUE;
    ws.setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof(on));
    ws.setsockopt(s, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char *>(&on), sizeof(on));
    if (ws.connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) != 0) {
        const int error = ws.lastError();
        if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS) {
            ws.closesocket(s);
            return CodeOf(error);
        }
        bool failed = false;
        if (Select(s, true, Left(deadline), &failed) == 0) {
            ws.closesocket(s);
            return static_cast<int32_t>(ERROR_TIMEOUT);
        }
        int socketError = 0;
        int size = sizeof(socketError);
        ws.getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(&socketError), &size);
        if (failed || socketError != 0) {
            ws.closesocket(s);
            return CodeOf(socketError != 0 ? socketError : WSAECONNREFUSED);
        }
    }
    *out = s;
    return 0;
}

} // namespace

int32_t Connect(const char *host, const char *port, DWORD budget, DWORD *deadline, Socket *out)
{
    *out = kNoSocket;
    *deadline = GetTickCount() + budget; // until the address is known
    const Winsock *ws = Load();
    if (ws == nullptr) {
        return static_cast<int32_t>(ERROR_NOT_SUPPORTED);
    }
    ADDRINFOA hints;
    ZeroMemory(&hints, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICHOST;
    ADDRINFOA *list = nullptr;
    if (ws->getaddrinfo(host, port, &hints, &list) != 0) {
        // Not a numeric address: a name for the resolver.
        hints.ai_flags = 0;
        if (ws->getaddrinfo(host, port, &hints, &list) != 0) {
            return static_cast<int32_t>(ERROR_BAD_NETPATH);
        }
    }
    *deadline = GetTickCount() + budget;
    int32_t code = static_cast<int32_t>(ERROR_BAD_NETPATH);
    for (const ADDRINFOA *a = list; a != nullptr; a = a->ai_next) {
        SOCKET s = INVALID_SOCKET;
        code = ConnectOne(a, *deadline, &s);
        if (code == 0) {
            *out = static_cast<Socket>(s);
            break;
        }
        if (Left(*deadline) == 0) {
            break;
        }
    }
    ws->freeaddrinfo(list);
    return code;
}

Io Send(Socket socket, const uint8_t *data, size_t length, size_t *sent)
{
    *sent = 0;
    const int chunk = length > 0x10000 ? 0x10000 : static_cast<int>(length);
    const int n =
        Ws().send(static_cast<SOCKET>(socket), reinterpret_cast<const char *>(data), chunk, 0);
    if (n >= 0) {
        *sent = static_cast<size_t>(n);
        return Io::Done;
    }
    return Ws().lastError() == WSAEWOULDBLOCK ? Io::WouldBlock : Io::Closed;
}

Io Receive(Socket socket, uint8_t *buffer, size_t length, size_t *received)
{
    *received = 0;
    const int chunk = length > 0x10000 ? 0x10000 : static_cast<int>(length);
    const int n =
        Ws().recv(static_cast<SOCKET>(socket), reinterpret_cast<char *>(buffer), chunk, 0);
    if (n > 0) {
        *received = static_cast<size_t>(n);
        return Io::Done;
    }
    if (n == 0) {
        return Io::Closed;
    }
    return Ws().lastError() == WSAEWOULDBLOCK ? Io::WouldBlock : Io::Closed;
}

bool Wait(Socket socket, bool forWriting, DWORD ms)
{
    return Select(static_cast<SOCKET>(socket), forWriting, ms, nullptr) != 0;
}

void Close(Socket socket)
{
    if (socket != kNoSocket) {
        Ws().closesocket(static_cast<SOCKET>(socket));
    }
}

} // namespace zorenc::net
