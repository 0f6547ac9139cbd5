// TCP connections for the network ports: the few socket operations they need,
// over BSD sockets natively (net_posix.cpp) and over Winsock on Windows
// (net_win32.cpp), which loads ws2_32.dll at run time so that the DLLs import
// nothing beyond kernel32 and the C runtime. Sockets are non-blocking; every
// wait takes its own bound. Results are Win32 error codes, as in CSerial.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// Codes of the network ports that the Win32 subset elsewhere does not need.
#ifndef ERROR_NOT_SUPPORTED
#define ERROR_NOT_SUPPORTED 50u
#endif
#ifndef ERROR_BAD_NETPATH
#define ERROR_BAD_NETPATH 53u
#endif
#ifndef ERROR_NETNAME_DELETED
#define ERROR_NETNAME_DELETED 64u
#endif
#ifndef ERROR_CONNECTION_REFUSED
#define ERROR_CONNECTION_REFUSED 1225u
#endif

namespace zorenc::net {

using Socket = intptr_t;
constexpr Socket kNoSocket = -1;

// Resolves host (a name, a dotted IPv4 address or an IPv6 address without
// brackets) and connects to port (decimal) over TCP, trying each address in
// turn until one connects or *deadline passes: budget ms after the address is
// known (a GetTickCount value, set here). A numeric address is never handed to
// the resolver; a name is resolved first, for as long as the system's
// resolver takes, and the budget bounds the rest. The
// socket has TCP_NODELAY and keep-alive set. Returns 0 and the socket, or
// ERROR_BAD_NETPATH (unknown name), ERROR_CONNECTION_REFUSED, ERROR_TIMEOUT,
// ERROR_NOT_SUPPORTED (no socket library) or another code.
int32_t Connect(const char *host, const char *port, DWORD budget, DWORD *deadline, Socket *out);

// What a send or receive came to.
enum class Io { Done, WouldBlock, Closed };

// Sends what the socket takes now, without waiting; *sent tells how much.
// Closed: the connection is gone (reset, or shut by the peer).
Io Send(Socket socket, const uint8_t *data, size_t length, size_t *sent);

// Receives what has arrived, without waiting; *received > 0 with Done.
// Closed: the peer closed the connection or it was reset.
Io Receive(Socket socket, uint8_t *buffer, size_t length, size_t *received);

// Waits at most ms for the socket to become readable (or writable). True when
// it is (or has failed, which the next call then reports), false after ms.
bool Wait(Socket socket, bool forWriting, DWORD ms);

void Close(Socket socket);

} // namespace zorenc::net
