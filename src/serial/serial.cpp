#include "serial/serial.h"

#include <atomic>
#include <cstring>
#include <new>
#include <string>

// What an operation that the port waits for itself hands to the platform:
// the record, the count, the event bits and the bytes. An operation the
// driver still holds after its cancel may write into all of them at any later
// time, so a block is freed only once its operation has ended.
struct CSerial::IoBlock {
    OVERLAPPED overlapped;
    DWORD count;
    DWORD events;
    IoBlock *next; // in the list of blocks left to their drivers
    uint8_t data[IoChunk];
};

namespace {

constexpr int32_t Code(DWORD code)
{
    return static_cast<int32_t>(code);
}

// The count handed to the platform is 32 bits wide; a longer buffer is
// offered in part only.
DWORD ClampLength(size_t length)
{
    return length > static_cast<size_t>(MAXDWORD) ? MAXDWORD : static_cast<DWORD>(length);
}

// Runs one Read, Write or WaitEvent on the caller's OVERLAPPED, or without
// one on a synchronous port. `start` issues the platform call with it and
// returns its BOOL. An operation that pends on the caller's record is the
// caller's to collect.
template <typename Start> int32_t RunDirect(LPOVERLAPPED overlapped, Start start)
{
    if (start(overlapped)) {
        // Completed at once: signal the event as a completion would.
        if (overlapped != nullptr) {
            SetEvent(overlapped->hEvent);
        }
        return Code(ERROR_SUCCESS);
    }
    const DWORD code = GetLastError();
    return Code(overlapped != nullptr && code == ERROR_IO_PENDING ? ERROR_SUCCESS : code);
}

// Milliseconds left of `timeout` since `started` (a tick count).
DWORD Remaining(DWORD timeout, DWORD started)
{
    if (timeout == INFINITE) {
        return INFINITE;
    }
    const DWORD elapsed = GetTickCount() - started;
    return elapsed < timeout ? timeout - elapsed : 0;
}

// Whether a port name begins with the device namespace "\\.\" or the
// Win32 file namespace "\\?\", either of which CreateFileA takes as it stands.
bool HasNamespacePrefix(const std::string &name)
{
    return name.size() >= 4 && name[0] == '\\' && name[1] == '\\' &&
           (name[2] == '.' || name[2] == '?') && name[3] == '\\';
}

// The driver's DCB, with its length filled in; false (GetLastError set) when
// it cannot be read.
bool ReadState(HANDLE port, DCB &dcb)
{
    std::memset(&dcb, 0, sizeof(dcb));
    dcb.DCBlength = sizeof(dcb);
    return GetCommState(port, &dcb) != FALSE;
}

// The setters' common path: reads the DCB, lets edit change it and writes it
// back. Keeps lastError unless a DCB call fails, so that an edit may leave
// its own outcome there.
template <typename Edit> int32_t EditState(HANDLE port, int32_t &lastError, Edit edit)
{
    DCB dcb;
    if (!ReadState(port, dcb)) {
        lastError = Code(GetLastError());
        return lastError;
    }
    edit(dcb);
    if (!SetCommState(port, &dcb)) {
        lastError = Code(GetLastError());
    }
    return lastError;
}

} // namespace

// Clears lastError; false, with ERROR_INVALID_HANDLE, for a closed port.
bool CSerial::Ready()
{
    lastError = Code(ERROR_SUCCESS);
    if (portHandle == nullptr) {
        lastError = Code(ERROR_INVALID_HANDLE);
        return false;
    }
    return true;
}

CSerial::~CSerial()
{
    if (portHandle != nullptr) {
        CSerial::Close();
    }
}

int32_t CSerial::Open(const char *name, DWORD inQueue, DWORD outQueue, bool overlapped)
{
    lastError = Code(ERROR_SUCCESS);
    if (portHandle != nullptr) {
        lastError = Code(ERROR_ALREADY_INITIALIZED);
        return lastError;
    }
    if (name == nullptr) {
        lastError = Code(ERROR_INVALID_PARAMETER);
        return lastError;
    }

    // Names of five characters or more (COM10 and up) go through the device
    // namespace; COM1 to COM9 are used as given, and so is a name that already
    // names a namespace (\\.\COM12, \\?\COM12).
    std::string devicePath;
    try {
        devicePath = name;
        if (devicePath.size() >= 5 && !HasNamespacePrefix(devicePath)) {
            devicePath.insert(0, "\\\\.\\");
        }
    } catch (...) {
        lastError = Code(ERROR_NOT_ENOUGH_MEMORY);
        return lastError;
    }

    IoBlock *block = nullptr;
    if (overlapped) {
        block = new (std::nothrow) IoBlock();
        if (block == nullptr) {
            lastError = Code(ERROR_NOT_ENOUGH_MEMORY);
            return lastError;
        }
    }

    HANDLE handle = CreateFileA(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError = Code(GetLastError());
        delete block;
        return lastError;
    }
    portHandle = handle;

    if (overlapped) {
        ioEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (ioEvent == nullptr) {
            lastError = Code(GetLastError());
            CloseHandle(portHandle);
            portHandle = nullptr;
            delete block;
            return lastError;
        }
        io = block;
    }

    if (inQueue != 0 || outQueue != 0) {
        if (!SetupComm(portHandle, inQueue, outQueue)) {
            const int32_t kept = Code(GetLastError());
            CSerial::Close();
            lastError = kept;
            return lastError;
        }
    }

    // Neither default step closes the port; only the read mode's outcome is
    // reported, as each step starts by clearing lastError.
    CSerial::SetMask(DefaultMask);
    CSerial::SetupReadTimeouts(ReadNonBlocking);

    COMMCONFIG config;
    std::memset(&config, 0, sizeof(config));
    config.dwSize = sizeof(config);
    DWORD size = sizeof(config);
    if (GetDefaultCommConfigA(devicePath.c_str(), &config, &size)) {
        SetCommConfig(portHandle, &config, size);
    }
    return lastError;
}

int32_t CSerial::Close()
{
    lastError = Code(ERROR_SUCCESS);
    if (portHandle == nullptr) {
        return lastError;
    }
    if (ioEvent != nullptr) {
        CloseHandle(ioEvent);
        ioEvent = nullptr;
    }
    CloseHandle(portHandle);
    portHandle = nullptr;
    // Every operation on the block has ended within its own call.
    delete io;
    io = nullptr;
    return lastError;
}

int32_t CSerial::Setup(DWORD baudRate, int dataBits, int parity, int stopBits)
{
    if (!Ready()) {
        return lastError;
    }
    return EditState(portHandle, lastError, [&](DCB &dcb) {
        dcb.BaudRate = baudRate;
        dcb.ByteSize = static_cast<BYTE>(dataBits & 0xFF);
        dcb.Parity = static_cast<BYTE>(parity & 0xFF);
        dcb.StopBits = static_cast<BYTE>(stopBits & 0xFF);
        dcb.fParity = parity != 0 ? 1 : 0;
    });
}

int32_t CSerial::SetEventChar(char ch, bool adjustMask)
{
    if (!Ready()) {
        return lastError;
    }
    return EditState(portHandle, lastError, [&](DCB &dcb) {
        dcb.EvtChar = ch;
        if (adjustMask) {
            // Leaves its outcome in lastError: reported unless the DCB write
            // fails.
            CSerial::SetMask(CSerial::GetEventMask() | EV_RXFLAG);
        }
    });
}

int32_t CSerial::SetMask(DWORD mask)
{
    if (!Ready()) {
        return lastError;
    }
    if (!SetCommMask(portHandle, mask)) {
        lastError = Code(GetLastError());
        return lastError;
    }
    eventMask = mask;
    return lastError;
}

// The checks Read, Write and WaitEvent make before anything starts: a closed
// port, and a synchronous port given an OVERLAPPED or a finite time-out.
int32_t CSerial::CheckIo(LPOVERLAPPED overlapped, DWORD timeout)
{
    if (Ready() && ioEvent == nullptr && (overlapped != nullptr || timeout != INFINITE)) {
        lastError = Code(ERROR_INVALID_FUNCTION);
    }
    return lastError;
}

int32_t CSerial::WaitEvent(LPOVERLAPPED overlapped, DWORD timeout)
{
    if (CheckIo(overlapped, timeout) != ERROR_SUCCESS) {
        return lastError;
    }

    if (overlapped != nullptr || ioEvent == nullptr) {
        // The platform writes receivedEvents when the event occurs.
        lastError = RunDirect(overlapped, [this](LPOVERLAPPED used) {
            return WaitCommEvent(portHandle, &receivedEvents, used);
        });
        return lastError;
    }
    lastError = RunOnBlock(timeout, false, [this](LPOVERLAPPED used) {
        return WaitCommEvent(portHandle, &io->events, used);
    });
    if (lastError == ERROR_SUCCESS) {
        receivedEvents = io->events;
    }
    return lastError;
}

int32_t CSerial::SetupHandshaking(int mode)
{
    if (!Ready()) {
        return lastError;
    }
    if (mode != HandshakeOff && mode != HandshakeHardware && mode != HandshakeSoftware) {
        lastError = static_cast<int32_t>(E_INVALIDARG);
        return lastError;
    }
    const bool hardware = mode == HandshakeHardware;
    const bool software = mode == HandshakeSoftware;
    return EditState(portHandle, lastError, [&](DCB &dcb) {
        dcb.fOutxCtsFlow = hardware ? 1 : 0;
        dcb.fOutxDsrFlow = hardware ? 1 : 0;
        dcb.fDtrControl = hardware ? DTR_CONTROL_HANDSHAKE : DTR_CONTROL_DISABLE;
        dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
        dcb.fOutX = software ? 1 : 0;
        dcb.fInX = software ? 1 : 0;
    });
}

int32_t CSerial::SetupReadTimeouts(int mode)
{
    if (!Ready()) {
        return lastError;
    }
    if (mode != ReadNonBlocking && mode != ReadBlocking) {
        lastError = static_cast<int32_t>(E_INVALIDARG);
        return lastError;
    }
    COMMTIMEOUTS timeouts;
    std::memset(&timeouts, 0, sizeof(timeouts));
    if (!GetCommTimeouts(portHandle, &timeouts)) {
        lastError = Code(GetLastError());
        return lastError;
    }
    // Non-blocking: MAXDWORD/0/0 returns at once with what is queued.
    // Blocking: 0/0/0 waits for the whole count.
    timeouts.ReadIntervalTimeout = mode == ReadNonBlocking ? MAXDWORD : 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    if (!SetCommTimeouts(portHandle, &timeouts)) {
        lastError = Code(GetLastError());
    }
    return lastError;
}

namespace {

// The getters' common path: clears lastError, refuses a closed port, reads the
// driver's DCB and picks a value from it; the failure value otherwise.
template <typename T, typename Pick>
T ReadSetting(HANDLE port, int32_t &lastError, T failure, Pick pick)
{
    lastError = Code(ERROR_SUCCESS);
    if (port == nullptr) {
        lastError = Code(ERROR_INVALID_HANDLE);
        return failure;
    }
    DCB dcb;
    if (!ReadState(port, dcb)) {
        lastError = Code(GetLastError());
        return failure;
    }
    return pick(dcb);
}

} // namespace

DWORD CSerial::GetBaudRate()
{
    return ReadSetting<DWORD>(portHandle, lastError, 0xFFFFFFFFu,
                              [](const DCB &dcb) { return dcb.BaudRate; });
}

int CSerial::GetDataBits()
{
    return ReadSetting<int>(portHandle, lastError, -1, [](const DCB &dcb) { return dcb.ByteSize; });
}

int CSerial::GetParity()
{
    return ReadSetting<int>(portHandle, lastError, -1,
                            [](const DCB &dcb) { return dcb.fParity ? dcb.Parity : NOPARITY; });
}

int CSerial::GetStopBits()
{
    return ReadSetting<int>(portHandle, lastError, -1, [](const DCB &dcb) { return dcb.StopBits; });
}

// Hardware when both DTR and RTS are in handshake mode, software when both
// XON/XOFF directions are on; the CTS and DSR output flags are not consulted.
int CSerial::GetHandshaking()
{
    return ReadSetting<int>(portHandle, lastError, -1, [](const DCB &dcb) {
        if (dcb.fDtrControl == DTR_CONTROL_HANDSHAKE && dcb.fRtsControl == RTS_CONTROL_HANDSHAKE) {
            return static_cast<int>(HandshakeHardware);
        }
        return static_cast<int>(dcb.fOutX && dcb.fInX ? HandshakeSoftware : HandshakeOff);
    });
}

DWORD CSerial::GetEventMask()
{
    return Ready() ? eventMask : 0;
}

char CSerial::GetEventChar()
{
    return ReadSetting<char>(portHandle, lastError, 0, [](const DCB &dcb) { return dcb.EvtChar; });
}

int32_t CSerial::WriteString(const char *text, DWORD *written, LPOVERLAPPED overlapped,
                             DWORD timeout)
{
    return Write(text, text != nullptr ? std::strlen(text) : 0, written, overlapped, timeout);
}

int32_t CSerial::Write(const void *data, size_t length, DWORD *written, LPOVERLAPPED overlapped,
                       DWORD timeout)
{
    return Transfer(true, const_cast<void *>(data), length, written, overlapped, timeout);
}

int32_t CSerial::Read(void *buffer, size_t length, DWORD *read, LPOVERLAPPED overlapped,
                      DWORD timeout)
{
    return Transfer(false, buffer, length, read, overlapped, timeout);
}

// Write and Read: the count (the caller's or a local one) is 0 before
// anything can fail. Without a caller's OVERLAPPED on an overlapped port the
// bytes go through the port's block, a chunk at a time, all within `timeout`;
// a chunk that moves less than asked ends the call.
int32_t CSerial::Transfer(bool write, void *buffer, size_t length, DWORD *userCount,
                          LPOVERLAPPED overlapped, DWORD timeout)
{
    DWORD localCount = 0;
    DWORD *count = userCount != nullptr ? userCount : &localCount;
    *count = 0;
    if (CheckIo(overlapped, timeout) != ERROR_SUCCESS) {
        return lastError;
    }
    const DWORD total = ClampLength(length);
    if (overlapped != nullptr || ioEvent == nullptr) {
        lastError = RunDirect(overlapped, [&](LPOVERLAPPED used) {
            return write ? WriteFile(portHandle, buffer, total, count, used)
                         : ReadFile(portHandle, buffer, total, count, used);
        });
        return lastError;
    }

    uint8_t *bytes = static_cast<uint8_t *>(buffer);
    const bool chunked = total > IoChunk && timeout != INFINITE;
    const DWORD started = chunked ? GetTickCount() : 0;
    DWORD done = 0;
    for (;;) {
        const DWORD n = total - done < IoChunk ? total - done : IoChunk;
        if (write && n > 0) {
            std::memcpy(io->data, bytes + done, n);
        }
        lastError = RunOnBlock(
            done > 0 ? Remaining(timeout, started) : timeout, true, [&](LPOVERLAPPED used) {
                return write ? WriteFile(portHandle, io->data, n, &io->count, used)
                             : ReadFile(portHandle, io->data, n, &io->count, used);
            });
        if (io == nullptr) {
            return lastError; // left to the driver, and the port closed
        }
        const DWORD moved = io->count < n ? io->count : n;
        if (!write && moved > 0) {
            std::memcpy(bytes + done, io->data, moved);
        }
        done += moved;
        *count = done;
        if (lastError != ERROR_SUCCESS || moved < n || done == total) {
            return lastError;
        }
    }
}

// Runs one operation on the port's block. One that pends is waited for up to
// `timeout`; if it has not ended by then, it is cancelled and given
// CancelGraceMs to end, and the count keeps what it moved before. A driver
// that keeps it even then gets the block (Abandon): ERROR_IO_INCOMPLETE.
// `collect` fetches the count after a completed wait (event waits have none).
template <typename Start> int32_t CSerial::RunOnBlock(DWORD timeout, bool collect, Start start)
{
    std::memset(&io->overlapped, 0, sizeof(io->overlapped));
    io->overlapped.hEvent = ioEvent;
    io->count = 0;
    if (start(&io->overlapped)) {
        SetEvent(ioEvent); // completed at once: signalled as a completion would be
        return Code(ERROR_SUCCESS);
    }
    const DWORD code = GetLastError();
    if (code != ERROR_IO_PENDING) {
        return Code(code);
    }
    const DWORD waited = WaitForSingleObject(ioEvent, timeout);
    if (waited == WAIT_OBJECT_0) {
        if (collect && !GetOverlappedResult(portHandle, &io->overlapped, &io->count, FALSE)) {
            return Code(GetLastError());
        }
        return Code(ERROR_SUCCESS);
    }
    const int32_t result = waited == WAIT_TIMEOUT ? Code(ERROR_TIMEOUT) : Code(GetLastError());
    CancelPendingIo();
    WaitForSingleObject(ioEvent, CancelGraceMs);
    if (!HasOverlappedIoCompleted(&io->overlapped)) {
        Abandon();
        return Code(ERROR_IO_INCOMPLETE);
    }
    GetOverlappedResult(portHandle, &io->overlapped, &io->count, FALSE);
    return result;
}

// The driver keeps an operation on the block after its cancel: the port is
// closed (which asks the driver once more to let go), and the block, unless
// its operation has ended by then, is kept for good in a list that nothing
// frees, where a late completion finds it.
void CSerial::Abandon()
{
    static std::atomic<IoBlock *> kept{nullptr};
    CloseHandle(portHandle);
    portHandle = nullptr;
    if (HasOverlappedIoCompleted(&io->overlapped)) {
        delete io;
    } else {
        io->next = kept.load(std::memory_order_relaxed);
        while (!kept.compare_exchange_weak(io->next, io, std::memory_order_release,
                                           std::memory_order_relaxed)) {
        }
    }
    io = nullptr;
    CloseHandle(ioEvent);
    ioEvent = nullptr;
}

int32_t CSerial::Purge()
{
    if (!Ready()) {
        return lastError;
    }
    if (!PurgeComm(portHandle, PURGE_TXCLEAR | PURGE_RXCLEAR)) {
        lastError = Code(GetLastError());
    }
    return lastError;
}

int32_t CSerial::PurgeRx()
{
    if (!Ready()) {
        return lastError;
    }
    if (!PurgeComm(portHandle, PURGE_RXCLEAR)) {
        lastError = Code(GetLastError());
    }
    return lastError;
}

void CSerial::CancelPendingIo()
{
    if (portHandle != nullptr) {
        CancelIo(portHandle);
    }
}
