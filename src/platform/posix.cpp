// The Win32 communications subset over termios, for the native library.
//
// Handles are pointers to small objects of this file: a file object per open
// device, an event object per CreateEventA. No thread is started. An
// overlapped read, write or event wait that cannot complete at once is parked in its
// file object and driven lazily by whoever waits for it: WaitForSingleObject
// on its event (for at most the time-out given there) or GetOverlappedResult
// with wait TRUE. OVERLAPPED.Internal holds STATUS_PENDING while an operation
// runs and its Win32 result code afterwards; InternalHigh holds the count.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/serial.h>
#endif

#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <string>

// Keep the layer out of the library's exported symbols.
#pragma GCC visibility push(hidden)

#include "platform/default_dcb.h"
#include "platform/win32.h"

namespace {

constexpr ULONG_PTR StatusPending = 0x103;
constexpr DWORD ErrorInsufficientBuffer = 122;
// A write that makes no progress for this long (output held by flow control,
// or nobody draining a pseudo-terminal) gives up when the port has no write
// time-outs of its own. Callers that wait for an overlapped write bound it
// with their own, shorter time-out.
constexpr int64_t WriteStallLimitMs = 5000;

thread_local DWORD t_lastError = ERROR_SUCCESS;

BOOL Fail(DWORD code)
{
    t_lastError = code;
    return FALSE;
}

int64_t NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

DWORD FromErrno(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENXIO:
    case ENODEV:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY:
    case EWOULDBLOCK:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case EIO:
        return ERROR_DEVICE_NOT_CONNECTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

enum class Kind : uint32_t { None = 0, File = 0x46494c45, Event = 0x45564e54 };

struct Object {
    Kind kind = Kind::None;
};

struct FileObject;
struct Operation;

struct EventObject : Object {
    std::mutex lock;
    std::condition_variable changed;
    bool manualReset = true;
    bool signalled = false;
    Operation *pending = nullptr; // an operation that signals this event when it ends
};

enum class OpKind { Read, Write, Wait };

// One read, write or event wait, parked in its file object while it pends, or on the
// stack of a synchronous call.
struct Operation {
    bool active = false;
    OpKind kind = OpKind::Read;
    FileObject *file = nullptr;
    LPOVERLAPPED overlapped = nullptr;
    EventObject *event = nullptr;
    // Read and write.
    BYTE *buffer = nullptr;     // read
    const BYTE *data = nullptr; // write
    DWORD length = 0;
    DWORD done = 0;
    bool immediate = false;     // MAXDWORD/0/0: whatever is queued, at once
    bool firstByteEnds = false; // MAXDWORD/MAXDWORD/n: the first bytes, or n ms
    int64_t deadline = -1;      // total time-out, absolute ms; -1 none
    int64_t interval = -1;      // between bytes, ms; -1 none
    int64_t lastByte = 0;       // read: the last byte in; write: the last byte out
    // Wait.
    DWORD *events = nullptr;
    DWORD occurred = 0;
    DWORD status = ERROR_SUCCESS; // once ended
};

struct FileObject : Object {
    int fd = -1;
    bool overlapped = false;
    bool pseudo = false; // a pseudo-terminal: no real line behind it
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0;
    Operation read;
    Operation write;
    Operation wait;
};

FileObject *AsFile(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    Object *object = static_cast<Object *>(handle);
    return object->kind == Kind::File ? static_cast<FileObject *>(object) : nullptr;
}

EventObject *AsEvent(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    Object *object = static_cast<Object *>(handle);
    return object->kind == Kind::Event ? static_cast<EventObject *>(object) : nullptr;
}

void Signal(EventObject *event)
{
    {
        std::lock_guard<std::mutex> guard(event->lock);
        event->signalled = true;
    }
    event->changed.notify_all();
}

void Unsignal(EventObject *event)
{
    std::lock_guard<std::mutex> guard(event->lock);
    event->signalled = false;
}

// Takes the signal of an event if it is set (an auto-reset event is reset).
bool TakeSignal(EventObject *event)
{
    std::lock_guard<std::mutex> guard(event->lock);
    if (!event->signalled) {
        return false;
    }
    if (!event->manualReset) {
        event->signalled = false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Operations

void Begin(Operation &op, OpKind kind, FileObject *file, LPOVERLAPPED overlapped)
{
    op = Operation{};
    op.active = true;
    op.kind = kind;
    op.file = file;
    op.overlapped = overlapped;
    if (overlapped != nullptr) {
        overlapped->Internal = StatusPending;
        overlapped->InternalHigh = 0;
        op.event = AsEvent(overlapped->hEvent);
        if (op.event != nullptr) {
            Unsignal(op.event);
        }
    }
}

// Ends an operation: records its result in its OVERLAPPED and signals the
// event. A wait reports its events; one that failed (a line gone away,
// cancelled) reports none, so that the events of an earlier wait are not
// taken for new ones.
void Complete(Operation &op, DWORD status)
{
    if (op.overlapped != nullptr) {
        op.overlapped->Internal = status;
        op.overlapped->InternalHigh = op.kind != OpKind::Wait ? op.done : 0;
    }
    if (op.kind == OpKind::Wait && op.events != nullptr) {
        *op.events = status == ERROR_SUCCESS ? op.occurred : 0;
    }
    op.status = status;
    op.active = false;
    EventObject *event = op.event;
    op.event = nullptr;
    if (event != nullptr) {
        if (event->pending == &op) {
            event->pending = nullptr;
        }
        Signal(event);
    }
}

void SetReadTimers(Operation &op, const COMMTIMEOUTS &t, int64_t now)
{
    const DWORD ri = t.ReadIntervalTimeout;
    const DWORD rm = t.ReadTotalTimeoutMultiplier;
    const DWORD rc = t.ReadTotalTimeoutConstant;
    op.immediate = ri == MAXDWORD && rm == 0 && rc == 0;
    op.firstByteEnds = ri == MAXDWORD && rm == MAXDWORD && rc != 0 && rc != MAXDWORD;
    if (op.firstByteEnds) {
        op.deadline = now + rc;
        return;
    }
    const uint64_t total = static_cast<uint64_t>(rm) * op.length + rc;
    op.deadline = total != 0 ? now + static_cast<int64_t>(total) : -1;
    op.interval = ri != 0 && ri != MAXDWORD ? static_cast<int64_t>(ri) : -1;
}

// The write time-outs: multiplier x length + constant ends the write with
// what went out; without them only a stall ends it (WriteStallLimitMs).
void SetWriteTimers(Operation &op, const COMMTIMEOUTS &t, int64_t now)
{
    const uint64_t total = static_cast<uint64_t>(t.WriteTotalTimeoutMultiplier) * op.length +
                           t.WriteTotalTimeoutConstant;
    op.deadline = total != 0 ? now + static_cast<int64_t>(total) : -1;
    op.lastByte = now;
}

constexpr short HangupEvents = POLLHUP | POLLERR | POLLNVAL;

// Moves a read on without blocking; true once it has ended. `revents` are
// the poll results that led here (0 when none).
bool StepRead(Operation &op, int64_t now, short revents)
{
    const int fd = op.file->fd;
    DWORD error = ERROR_SUCCESS;
    bool hungUp = false;
    bool drained = false;
    while (op.done < op.length) {
        const ssize_t n = ::read(fd, op.buffer + op.done, op.length - op.done);
        if (n > 0) {
            op.done += static_cast<DWORD>(n);
            op.lastByte = now;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            drained = true;
        } else if (n == 0 || errno == EIO) {
            hungUp = true; // the other side of a pseudo-terminal is gone
        } else {
            error = FromErrno(errno);
        }
        break;
    }
    if (drained && (revents & HangupEvents) != 0) {
        hungUp = true;
    }
    if (op.done == op.length) {
        Complete(op, ERROR_SUCCESS);
        return true;
    }
    if (error != ERROR_SUCCESS || hungUp) {
        Complete(op, op.done > 0 ? ERROR_SUCCESS : (hungUp ? ERROR_DEVICE_NOT_CONNECTED : error));
        return true;
    }
    const bool ended = op.immediate || (op.firstByteEnds && op.done > 0) ||
                       (op.deadline >= 0 && now >= op.deadline) ||
                       (op.interval >= 0 && op.done > 0 && now - op.lastByte >= op.interval);
    if (ended) {
        Complete(op, ERROR_SUCCESS);
    }
    return ended;
}

// Moves a write on without blocking; true once it has ended. Writes what the
// driver takes now; a driver that takes nothing (output held back, a
// pseudo-terminal nobody drains) leaves it pending until its time-outs end it.
bool StepWrite(Operation &op, int64_t now, short revents)
{
    while (op.done < op.length) {
        const ssize_t n = ::write(op.file->fd, op.data + op.done, op.length - op.done);
        if (n > 0) {
            op.done += static_cast<DWORD>(n);
            op.lastByte = now;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            Complete(op, FromErrno(errno));
            return true;
        }
        break;
    }
    if (op.done == op.length) {
        Complete(op, ERROR_SUCCESS);
        return true;
    }
    if ((revents & POLLOUT) == 0 && (revents & HangupEvents) != 0) {
        Complete(op, ERROR_DEVICE_NOT_CONNECTED);
        return true;
    }
    if (op.deadline >= 0 && now >= op.deadline) {
        Complete(op, ERROR_SUCCESS); // the write time-out ends it with what went out
        return true;
    }
    if (op.deadline < 0 && now - op.lastByte >= WriteStallLimitMs) {
        Complete(op, ERROR_TIMEOUT);
        return true;
    }
    return false;
}

// Moves an event wait on without blocking; true once it has ended. Received
// characters are the only event detected; a wait for anything else ends by
// SetCommMask, CancelIo or a hangup.
bool StepWait(Operation &op, short revents)
{
    int queued = 0;
    if (ioctl(op.file->fd, FIONREAD, &queued) != 0) {
        queued = 0;
    }
    if ((op.file->mask & EV_RXCHAR) != 0 && queued > 0) {
        op.occurred = EV_RXCHAR;
        Complete(op, ERROR_SUCCESS);
        return true;
    }
    if ((revents & HangupEvents) != 0 && queued == 0) {
        Complete(op, ERROR_DEVICE_NOT_CONNECTED);
        return true;
    }
    return false;
}

bool Step(Operation &op, int64_t now, short revents)
{
    switch (op.kind) {
    case OpKind::Read:
        return StepRead(op, now, revents);
    case OpKind::Write:
        return StepWrite(op, now, revents);
    case OpKind::Wait:
        break;
    }
    return StepWait(op, revents);
}

// The next moment at which a read or write ends by itself; -1 for none.
int64_t NextWake(const Operation &op)
{
    if (op.kind == OpKind::Write) {
        return op.deadline >= 0 ? op.deadline : op.lastByte + WriteStallLimitMs;
    }
    if (op.kind != OpKind::Read) {
        return -1;
    }
    int64_t wake = op.deadline;
    if (op.interval >= 0 && op.done > 0) {
        const int64_t byInterval = op.lastByte + op.interval;
        if (wake < 0 || byInterval < wake) {
            wake = byInterval;
        }
    }
    return wake;
}

// A read still missing n bytes cannot end before n - 1 more byte times of
// the line have passed, even if the next byte is arriving now: sleeps through
// them instead of waking for each byte. The sleep is cut short by the
// kernel's default timer slack (a sleep may end that much late), so that it
// never ends after the read could have. Never past `wake` (absolute ms, -1
// none); at most 20 ms at a time. True when it slept. Drive pauses again only
// after bytes have come: a silent line is waited for in poll().
bool PauseForLine(const Operation &op, int64_t wake)
{
    if (op.kind != OpKind::Read || op.immediate || op.firstByteEnds) {
        return false;
    }
    const DWORD missing = op.length - op.done;
    const DCB &dcb = op.file->dcb;
    if (missing < 2 || dcb.BaudRate == 0) {
        return false;
    }
    const int64_t bits =
        2 + dcb.ByteSize + (dcb.Parity != NOPARITY ? 1 : 0) + (dcb.StopBits != ONESTOPBIT ? 1 : 0);
    constexpr int64_t kTimerSlackUs = 50;
    int64_t pauseUs =
        static_cast<int64_t>(missing - 1) * bits * 1000000 / dcb.BaudRate - kTimerSlackUs;
    if (pauseUs > 20000) {
        pauseUs = 20000;
    }
    if (wake >= 0) {
        const int64_t leftUs = (wake - NowMs()) * 1000;
        if (leftUs < pauseUs) {
            pauseUs = leftUs;
        }
    }
    if (pauseUs < 50) {
        return false;
    }
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(pauseUs / 1000000);
    ts.tv_nsec = static_cast<long>(pauseUs % 1000000) * 1000;
    nanosleep(&ts, nullptr);
    return true;
}

// Drives an operation until it ends or `budgetMs` has passed (negative: no
// limit). Each turn sleeps in poll() until data, a hangup, the operation's
// own deadline or the end of the budget.
void Drive(Operation &op, int64_t budgetMs)
{
    const int64_t start = NowMs();
    short revents = 0;
    DWORD pausedAt = MAXDWORD; // bytes done at the last pause
    while (op.active) {
        const int64_t now = NowMs();
        if (Step(op, now, revents)) {
            return;
        }
        if (budgetMs >= 0 && now - start >= budgetMs) {
            return;
        }
        int64_t wake = budgetMs >= 0 ? start + budgetMs : -1;
        const int64_t own = NextWake(op);
        if (own >= 0 && (wake < 0 || own < wake)) {
            wake = own;
        }
        int timeout = -1;
        if (wake >= 0) {
            const int64_t left = wake > now ? wake - now : 0;
            timeout = left > INT_MAX ? INT_MAX : static_cast<int>(left);
        }
        if (op.done != pausedAt && PauseForLine(op, wake)) {
            pausedAt = op.done;
            continue;
        }
        pollfd pfd{};
        pfd.fd = op.file->fd;
        const bool wantsData = op.kind == OpKind::Read || (op.file->mask & EV_RXCHAR) != 0;
        pfd.events = op.kind == OpKind::Write ? POLLOUT : (wantsData ? POLLIN : 0);
        const int ready = ::poll(&pfd, 1, timeout);
        if (ready < 0 && errno != EINTR) {
            Complete(op, FromErrno(errno));
            return;
        }
        revents = ready > 0 ? pfd.revents : 0;
    }
}

// Starts a read, write or wait prepared by Begin: completes it at once if it can,
// else parks it (overlapped) or drives it to its end (synchronous).
BOOL Run(Operation &op, bool parked)
{
    if (!Step(op, NowMs(), 0)) {
        if (parked) {
            if (op.event != nullptr) {
                op.event->pending = &op;
            }
            return Fail(ERROR_IO_PENDING);
        }
        Drive(op, -1);
    }
    return op.status == ERROR_SUCCESS ? TRUE : Fail(op.status);
}

void Abort(Operation &op)
{
    if (op.active) {
        Complete(op, ERROR_OPERATION_ABORTED);
    }
}

Operation *FindOperation(FileObject *file, LPOVERLAPPED overlapped)
{
    if (file->read.active && file->read.overlapped == overlapped) {
        return &file->read;
    }
    if (file->write.active && file->write.overlapped == overlapped) {
        return &file->write;
    }
    if (file->wait.active && file->wait.overlapped == overlapped) {
        return &file->wait;
    }
    return nullptr;
}

// ---------------------------------------------------------------------------
// Line settings

struct RateCode {
    DWORD rate;
    speed_t code;
};

constexpr RateCode Rates[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},
#ifdef B4000000 // the higher rates of Linux
    {460800, B460800},   {500000, B500000},   {576000, B576000},   {921600, B921600},
    {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000}, {2000000, B2000000},
    {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
#endif
};

bool SpeedOf(DWORD rate, speed_t &code)
{
    for (const RateCode &entry : Rates) {
        if (entry.rate == rate) {
            code = entry.code;
            return true;
        }
    }
    return false;
}

DWORD RateOf(speed_t code)
{
    for (const RateCode &entry : Rates) {
        if (entry.code == code) {
            return entry.rate;
        }
    }
    return CBR_9600;
}

DCB DcbFromTermios(const termios &t)
{
    DCB dcb = DefaultDcb();
    dcb.BaudRate = RateOf(cfgetospeed(&t));
    switch (t.c_cflag & CSIZE) {
    case CS5:
        dcb.ByteSize = 5;
        break;
    case CS6:
        dcb.ByteSize = 6;
        break;
    case CS7:
        dcb.ByteSize = 7;
        break;
    default:
        dcb.ByteSize = 8;
        break;
    }
    if ((t.c_cflag & PARENB) != 0) {
        const bool odd = (t.c_cflag & PARODD) != 0;
#ifdef CMSPAR
        if ((t.c_cflag & CMSPAR) != 0) {
            dcb.Parity = odd ? MARKPARITY : SPACEPARITY;
        } else
#endif
        {
            dcb.Parity = odd ? ODDPARITY : EVENPARITY;
        }
        dcb.fParity = (t.c_iflag & INPCK) != 0 ? 1 : 0;
    }
    dcb.StopBits = (t.c_cflag & CSTOPB) != 0 ? TWOSTOPBITS : ONESTOPBIT;
    if ((t.c_cflag & CRTSCTS) != 0) {
        dcb.fOutxCtsFlow = 1;
        dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    }
    dcb.fOutX = (t.c_iflag & IXON) != 0 ? 1 : 0;
    dcb.fInX = (t.c_iflag & IXOFF) != 0 ? 1 : 0;
    return dcb;
}

// Fills `t` from `dcb`; false for a setting the line cannot take.
bool TermiosFromDcb(const DCB &dcb, termios &t)
{
    speed_t speed;
    if (!SpeedOf(dcb.BaudRate, speed)) {
        return false;
    }
    tcflag_t size;
    switch (dcb.ByteSize) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return false;
    }
    tcflag_t parity = 0;
    switch (dcb.Parity) {
    case NOPARITY:
        break;
    case ODDPARITY:
        parity = PARENB | PARODD;
        break;
    case EVENPARITY:
        parity = PARENB;
        break;
#ifdef CMSPAR
    case MARKPARITY:
        parity = PARENB | CMSPAR | PARODD;
        break;
    case SPACEPARITY:
        parity = PARENB | CMSPAR;
        break;
#endif
    default:
        return false;
    }
    tcflag_t stop = 0;
    switch (dcb.StopBits) {
    case ONESTOPBIT:
        break;
    case TWOSTOPBITS:
        stop = CSTOPB;
        break;
    case ONE5STOPBITS: // a UART sends 1.5 stop bits for 5-bit characters only
        if (dcb.ByteSize != 5) {
            return false;
        }
        stop = CSTOPB;
        break;
    default:
        return false;
    }
    if ((dcb.fOutX || dcb.fInX) && dcb.XonChar == dcb.XoffChar) {
        return false;
    }

    tcflag_t cflag = t.c_cflag & ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
#ifdef CMSPAR
    cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    cflag |= size | parity | stop | CLOCAL | CREAD;
    if (dcb.fOutxCtsFlow || dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
        cflag |= CRTSCTS;
    }
    t.c_cflag = cflag;
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    if (dcb.fOutX) {
        t.c_iflag |= IXON;
    }
    if (dcb.fInX) {
        t.c_iflag |= IXOFF;
    }
    if (dcb.fParity && parity != 0) {
        t.c_iflag |= INPCK;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    return true;
}

// Sets or clears a modem line. Pseudo-terminals and some adapters have no
// modem lines; that is not an error.
bool SetLine(int fd, int line, bool on)
{
    if (ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
}

// The device path behind a Win32 name: a leading "\\.\" or "\\?\" goes,
// COMn is /dev/ttyS(n-1), anything else is a path. May throw std::bad_alloc.
std::string DevicePath(const char *name)
{
    std::string path(name);
    if (path.compare(0, 4, "\\\\.\\") == 0 || path.compare(0, 4, "\\\\?\\") == 0) {
        path.erase(0, 4);
    }
    if (path.size() > 3 && path.size() <= 6 && strncasecmp(path.c_str(), "COM", 3) == 0 &&
        path[3] >= '1' && path[3] <= '9') {
        unsigned number = 0;
        bool digits = true;
        for (size_t i = 3; i < path.size(); ++i) {
            if (path[i] < '0' || path[i] > '9') {
                digits = false;
                break;
            }
            number = number * 10 + static_cast<unsigned>(path[i] - '0');
        }
        if (digits) {
            char device[24];
            std::snprintf(device, sizeof(device), "/dev/ttyS%u", number - 1);
            return device;
        }
    }
    return path;
}

// Pseudo-terminal slaves (majors 136 to 143, and 3 for the old BSD kind)
// always run 8 bits without parity; glibc's tcsetattr reports EINVAL when a
// change of those was the only one requested.
bool IsPseudoTerminal(int fd)
{
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    const unsigned major = major(info.st_rdev);
    return (major >= 136 && major <= 143) || major == 3;
}

// Asks the driver to hand received bytes on at once rather than after its
// buffering delay (ASYNC_LOW_LATENCY). Pseudo-terminals and many drivers
// refuse it; that is no error, the port works as before.
void RequestLowLatency(int fd)
{
#if defined(__linux__) && defined(TIOCSSERIAL)
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0 && (serial.flags & ASYNC_LOW_LATENCY) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        ioctl(fd, TIOCSSERIAL, &serial);
    }
#else
    (void)fd;
#endif
}

bool Apply(int fd, bool pseudo, const termios &t)
{
    return tcsetattr(fd, TCSANOW, &t) == 0 || (pseudo && errno == EINVAL);
}

} // namespace

// ---------------------------------------------------------------------------
// Files

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void *, DWORD disposition,
                   DWORD flags, HANDLE)
{
    if (name == nullptr || disposition != OPEN_EXISTING) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path;
    try {
        path = DevicePath(name);
    } catch (...) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return INVALID_HANDLE_VALUE;
    }
    const bool reads = (access & GENERIC_READ) != 0;
    const bool writes = (access & GENERIC_WRITE) != 0;
    const int mode = reads && writes ? O_RDWR : (writes ? O_WRONLY : O_RDONLY);
    const int fd = ::open(path.c_str(), mode | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail(FromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    auto refuse = [fd](DWORD code) {
        ::close(fd);
        Fail(code);
        return INVALID_HANDLE_VALUE;
    };
    if (!isatty(fd)) {
        return refuse(ERROR_FILE_NOT_FOUND); // not a serial device
    }
    // Share mode 0 is exclusive. TIOCEXCL alone does not stop root, so the
    // lock on the device decides; shared opens take a shared lock so that
    // they and an exclusive open exclude each other.
    if (flock(fd, (shareMode == 0 ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        return refuse(errno == EWOULDBLOCK ? ERROR_ACCESS_DENIED : FromErrno(errno));
    }
    if (shareMode == 0) {
        ioctl(fd, TIOCEXCL);
    }

    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        return refuse(FromErrno(errno));
    }
    cfmakeraw(&t);
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK);
    t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    const bool pseudo = IsPseudoTerminal(fd);
    if (!Apply(fd, pseudo, t)) {
        return refuse(FromErrno(errno));
    }
    if (!pseudo) {
        RequestLowLatency(fd);
    }

    FileObject *file = new (std::nothrow) FileObject();
    if (file == nullptr) {
        return refuse(ERROR_NOT_ENOUGH_MEMORY);
    }
    file->kind = Kind::File;
    file->fd = fd;
    file->overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    file->pseudo = pseudo;
    file->dcb = DcbFromTermios(t);
    return static_cast<Object *>(file);
}

BOOL CloseHandle(HANDLE object)
{
    if (FileObject *file = AsFile(object)) {
        Abort(file->read);
        Abort(file->write);
        Abort(file->wait);
        ioctl(file->fd, TIOCNXCL);
        ::close(file->fd); // releases the lock
        file->kind = Kind::None;
        delete file;
        return TRUE;
    }
    if (EventObject *event = AsEvent(object)) {
        if (event->pending != nullptr) {
            event->pending->event = nullptr;
        }
        event->kind = Kind::None;
        delete event;
        return TRUE;
    }
    return Fail(ERROR_INVALID_HANDLE);
}

BOOL SetupComm(HANDLE file, DWORD, DWORD)
{
    return AsFile(file) != nullptr ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL GetCommState(HANDLE handle, LPDCB dcb)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (dcb == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    *dcb = file->dcb;
    return TRUE;
}

BOOL SetCommState(HANDLE handle, LPDCB dcb)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (dcb == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    termios t{};
    if (tcgetattr(file->fd, &t) != 0) {
        return Fail(FromErrno(errno));
    }
    if (!TermiosFromDcb(*dcb, t)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!Apply(file->fd, file->pseudo, t)) {
        return Fail(FromErrno(errno));
    }
    const bool dtr = dcb->fDtrControl != DTR_CONTROL_DISABLE;
    const bool rts = dcb->fRtsControl != RTS_CONTROL_DISABLE;
    if (!SetLine(file->fd, TIOCM_DTR, dtr) || !SetLine(file->fd, TIOCM_RTS, rts)) {
        return Fail(FromErrno(errno));
    }
    // Kept whole, so that the members termios cannot hold read back as set.
    file->dcb = *dcb;
    file->dcb.DCBlength = sizeof(DCB);
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (timeouts == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    *timeouts = file->timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE handle, LPCOMMTIMEOUTS timeouts)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (timeouts == nullptr || (timeouts->ReadIntervalTimeout == MAXDWORD &&
                                timeouts->ReadTotalTimeoutMultiplier == MAXDWORD &&
                                timeouts->ReadTotalTimeoutConstant == MAXDWORD)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    file->timeouts = *timeouts;
    return TRUE;
}

BOOL SetCommMask(HANDLE handle, DWORD mask)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    // A pending wait ends, successfully, with no events.
    if (file->wait.active) {
        file->wait.occurred = 0;
        Complete(file->wait, ERROR_SUCCESS);
    }
    file->mask = mask;
    return TRUE;
}

BOOL WaitCommEvent(HANDLE handle, LPDWORD mask, LPOVERLAPPED overlapped)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool parked = overlapped != nullptr && file->overlapped;
    if (mask == nullptr || file->mask == 0 || (parked && file->wait.active)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Operation local;
    Operation &op = parked ? file->wait : local;
    Begin(op, OpKind::Wait, file, overlapped);
    op.events = mask;
    return Run(op, parked);
}

BOOL GetDefaultCommConfigA(LPCSTR name, LPCOMMCONFIG config, LPDWORD size)
{
    if (name == nullptr || size == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (config == nullptr || *size < sizeof(COMMCONFIG)) {
        *size = sizeof(COMMCONFIG);
        return Fail(ErrorInsufficientBuffer);
    }
    std::string path;
    try {
        path = DevicePath(name);
    } catch (...) {
        return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return Fail(ERROR_FILE_NOT_FOUND);
    }
    std::memset(config, 0, sizeof(COMMCONFIG));
    config->dwSize = sizeof(COMMCONFIG);
    config->wVersion = 1;
    config->dcb = DefaultDcb();
    config->dwProviderSubType = 1; // RS-232
    *size = sizeof(COMMCONFIG);
    return TRUE;
}

BOOL SetCommConfig(HANDLE handle, LPCOMMCONFIG config, DWORD size)
{
    if (AsFile(handle) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (config == nullptr || size < offsetof(COMMCONFIG, dcb) + sizeof(DCB)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    return SetCommState(handle, &config->dcb);
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped)
{
    FileObject *file = AsFile(handle);
    if (read != nullptr) {
        *read = 0;
    }
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool parked = overlapped != nullptr && file->overlapped;
    if ((buffer == nullptr && toRead != 0) || (parked && file->read.active)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Operation local;
    Operation &op = parked ? file->read : local;
    Begin(op, OpKind::Read, file, overlapped);
    op.buffer = static_cast<BYTE *>(buffer);
    op.length = toRead;
    SetReadTimers(op, file->timeouts, NowMs());
    const BOOL ok = Run(op, parked);
    if (ok && read != nullptr) {
        *read = op.done;
    }
    return ok;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped)
{
    FileObject *file = AsFile(handle);
    if (written != nullptr) {
        *written = 0;
    }
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool parked = overlapped != nullptr && file->overlapped;
    if ((buffer == nullptr && toWrite != 0) || (parked && file->write.active)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Operation local;
    Operation &op = parked ? file->write : local;
    Begin(op, OpKind::Write, file, overlapped);
    op.data = static_cast<const BYTE *>(buffer);
    op.length = toWrite;
    SetWriteTimers(op, file->timeouts, NowMs());
    const BOOL ok = Run(op, parked);
    if (written != nullptr && (ok || !parked)) {
        *written = op.done;
    }
    return ok;
}

BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (overlapped == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (Operation *op = FindOperation(file, overlapped)) {
        Drive(*op, wait ? -1 : 0);
    }
    if (overlapped->Internal == StatusPending) {
        return Fail(wait ? ERROR_INVALID_PARAMETER : ERROR_IO_INCOMPLETE);
    }
    if (transferred != nullptr) {
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
    }
    const DWORD status = static_cast<DWORD>(overlapped->Internal);
    return status == ERROR_SUCCESS ? TRUE : Fail(status);
}

BOOL CancelIo(HANDLE handle)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    Abort(file->read);
    Abort(file->write);
    Abort(file->wait);
    return TRUE;
}

BOOL PurgeComm(HANDLE handle, DWORD flags)
{
    FileObject *file = AsFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if ((flags & PURGE_RXABORT) != 0) {
        Abort(file->read);
    }
    if ((flags & PURGE_TXABORT) != 0) {
        Abort(file->write);
    }
    if ((flags & PURGE_RXCLEAR) != 0 && tcflush(file->fd, TCIFLUSH) != 0) {
        return Fail(FromErrno(errno));
    }
    if ((flags & PURGE_TXCLEAR) != 0 && tcflush(file->fd, TCOFLUSH) != 0) {
        return Fail(FromErrno(errno));
    }
    return TRUE;
}

// ---------------------------------------------------------------------------
// Events

HANDLE CreateEventA(void *, BOOL manualReset, BOOL initialState, LPCSTR)
{
    EventObject *event = new (std::nothrow) EventObject();
    if (event == nullptr) {
        Fail(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    event->kind = Kind::Event;
    event->manualReset = manualReset != FALSE;
    event->signalled = initialState != FALSE;
    return static_cast<Object *>(event);
}

BOOL SetEvent(HANDLE handle)
{
    EventObject *event = AsEvent(handle);
    if (event == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    Signal(event);
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    EventObject *event = AsEvent(handle);
    if (event == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    Unsignal(event);
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    EventObject *event = AsEvent(handle);
    if (event == nullptr) {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    if (TakeSignal(event)) {
        return WAIT_OBJECT_0;
    }
    if (event->pending != nullptr) {
        Drive(*event->pending, milliseconds == INFINITE ? -1 : milliseconds);
        return TakeSignal(event) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
    }
    std::unique_lock<std::mutex> guard(event->lock);
    auto signalled = [event] { return event->signalled; };
    if (milliseconds == INFINITE) {
        event->changed.wait(guard, signalled);
    } else if (!event->changed.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                        signalled)) {
        return WAIT_TIMEOUT;
    }
    if (!event->manualReset) {
        event->signalled = false;
    }
    return WAIT_OBJECT_0;
}

// ---------------------------------------------------------------------------
// Errors and time

DWORD GetLastError(void)
{
    return t_lastError;
}

void SetLastError(DWORD code)
{
    t_lastError = code;
}

void Sleep(DWORD milliseconds)
{
    timespec left{};
    left.tv_sec = static_cast<time_t>(milliseconds / 1000);
    left.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

DWORD GetTickCount(void)
{
    return static_cast<DWORD>(static_cast<uint64_t>(NowMs()));
}

// ---------------------------------------------------------------------------
// Locks

void AcquireSRWLockExclusive(PSRWLOCK lock)
{
    pthread_mutex_lock(&lock->mutex);
}

void ReleaseSRWLockExclusive(PSRWLOCK lock)
{
    pthread_mutex_unlock(&lock->mutex);
}

#pragma GCC visibility pop
