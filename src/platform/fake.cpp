// The scripted device behind fake.h. OVERLAPPED.Internal holds
// STATUS_PENDING while an operation runs and its Win32 result afterwards;
// InternalHigh holds the count.
#include "platform/fake.h"
#include "platform/default_dcb.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <list>
#include <map>

namespace fake {
namespace {

constexpr ULONG_PTR StatusPending = 0x103;
constexpr uint64_t Never = std::numeric_limits<uint64_t>::max();
// No script needs more turns than this to settle one wait; more means a bug.
constexpr int MaxTurns = 1000000;

enum class OpKind { Read, Write, Wait };

struct Op {
    bool active = false;
    bool parked = false; // overlapped on an overlapped handle
    bool orphan = false; // kept by the device after its handle was closed
    OpKind kind = OpKind::Read;
    LPOVERLAPPED overlapped = nullptr;
    uintptr_t event = 0;
    BYTE *buffer = nullptr;
    const BYTE *data = nullptr;
    DWORD length = 0;
    DWORD done = 0;
    bool immediate = false;
    bool firstByteEnds = false;
    uint64_t deadline = Never;
    uint64_t interval = Never;
    uint64_t lastByte = 0;
    DWORD *events = nullptr;
    DWORD occurred = 0;
    DWORD status = ERROR_SUCCESS;
};

struct File {
    bool overlapped = false;
    Op read;
    Op write;
    Op wait;
};

struct Event {
    bool manualReset = true;
    bool signalled = false;
    Op *pending = nullptr;
};

struct Arrival {
    uint64_t at;
    uint8_t byte;
};

struct Failure {
    std::string fn;
    DWORD code;
    int left;
    int after; // calls of fn still to let through first
};

struct State {
    std::vector<Call> calls;
    std::map<uintptr_t, File> files;
    std::map<uintptr_t, Event> events;
    std::list<Op> kept; // orphans
    uintptr_t nextFile = 0x1000;
    uintptr_t nextEvent = 0x2000;
    std::deque<Arrival> rx;
    std::vector<uint8_t> tx;
    std::vector<Failure> failures;
    Pend mode = Pend::Never;
    bool keepsCancelled = false;
    uint64_t now = 0;
    DCB dcb = DefaultDcb();
    COMMTIMEOUTS timeouts{};
    DWORD mask = 0;
    bool stalled = false;
};

State &S()
{
    static State state;
    return state;
}

thread_local DWORD t_lastError = ERROR_SUCCESS;

BOOL Fail(DWORD code)
{
    t_lastError = code;
    return FALSE;
}

void Record(const char *fn, std::vector<uint64_t> args = {}, const char *text = nullptr)
{
    S().calls.push_back(Call{fn, text != nullptr ? text : "", std::move(args)});
}

// True (with the last error set) when a scripted failure is due for `fn`.
bool Failing(const char *fn)
{
    for (Failure &failure : S().failures) {
        if (failure.left > 0 && failure.fn == fn) {
            if (failure.after > 0) {
                --failure.after;
                return false;
            }
            --failure.left;
            t_lastError = failure.code;
            return true;
        }
    }
    return false;
}

uint64_t H(HANDLE handle)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle));
}

File *FindFile(HANDLE handle)
{
    auto it = S().files.find(reinterpret_cast<uintptr_t>(handle));
    return it != S().files.end() ? &it->second : nullptr;
}

Event *FindEvent(uintptr_t handle)
{
    auto it = S().events.find(handle);
    return it != S().events.end() ? &it->second : nullptr;
}

size_t Arrived()
{
    size_t count = 0;
    for (const Arrival &arrival : S().rx) {
        if (arrival.at > S().now) {
            break;
        }
        ++count;
    }
    return count;
}

uint64_t NextArrival()
{
    for (const Arrival &arrival : S().rx) {
        if (arrival.at > S().now) {
            return arrival.at;
        }
    }
    return Never;
}

void Begin(Op &op, OpKind kind, LPOVERLAPPED overlapped, bool parked)
{
    op = Op{};
    op.active = true;
    op.parked = parked;
    op.kind = kind;
    op.overlapped = overlapped;
    if (overlapped != nullptr) {
        overlapped->Internal = StatusPending;
        overlapped->InternalHigh = 0;
        op.event = reinterpret_cast<uintptr_t>(overlapped->hEvent);
        if (Event *event = FindEvent(op.event)) {
            event->signalled = false;
        }
    }
}

void Complete(Op &op, DWORD status)
{
    if (op.overlapped != nullptr) {
        op.overlapped->Internal = status;
        op.overlapped->InternalHigh = op.kind == OpKind::Wait ? 0 : op.done;
    }
    if (op.kind == OpKind::Wait && status == ERROR_SUCCESS && op.events != nullptr) {
        *op.events = op.occurred;
    }
    op.status = status;
    op.active = false;
    if (Event *event = FindEvent(op.event)) {
        if (event->pending == &op) {
            event->pending = nullptr;
        }
        event->signalled = true;
    }
}

void Abort(Op &op)
{
    if (op.active) {
        Complete(op, ERROR_OPERATION_ABORTED);
    }
}

// Moves an operation on at the current moment; true once it has ended.
bool Step(Op &op)
{
    State &s = S();
    if (op.orphan || (op.parked && s.mode == Pend::Stall)) {
        return false;
    }
    switch (op.kind) {
    case OpKind::Write:
        s.tx.insert(s.tx.end(), op.data, op.data + op.length);
        op.done = op.length;
        Complete(op, ERROR_SUCCESS);
        return true;
    case OpKind::Wait:
        if ((s.mask & EV_RXCHAR) != 0 && Arrived() > 0) {
            op.occurred = EV_RXCHAR;
            Complete(op, ERROR_SUCCESS);
            return true;
        }
        return false;
    case OpKind::Read:
        break;
    }
    while (op.done < op.length && !s.rx.empty() && s.rx.front().at <= s.now) {
        op.buffer[op.done++] = s.rx.front().byte;
        s.rx.pop_front();
        op.lastByte = s.now;
    }
    const bool waitsForBytes = op.parked && s.mode == Pend::WhenEmpty && op.done == 0;
    const bool ended = op.done == op.length || (op.immediate && !waitsForBytes) ||
                       (op.firstByteEnds && op.done > 0) || s.now >= op.deadline ||
                       (op.interval != Never && op.done > 0 && s.now - op.lastByte >= op.interval);
    if (ended) {
        Complete(op, ERROR_SUCCESS);
    }
    return ended;
}

// The next moment after now at which something could end `op`.
uint64_t NextWake(const Op &op)
{
    const State &s = S();
    if (op.orphan || (op.parked && s.mode == Pend::Stall)) {
        return Never;
    }
    uint64_t wake = NextArrival();
    if (op.kind == OpKind::Read) {
        if (op.deadline > s.now) {
            wake = std::min(wake, op.deadline);
        }
        if (op.interval != Never && op.done > 0) {
            wake = std::min(wake, op.lastByte + op.interval);
        }
    }
    return wake;
}

// Moves the clock on until `op` ends or `budget` ms have passed (Never: no
// limit). False when it is still pending; an unlimited drive that cannot end
// marks the fake stalled.
bool Drive(Op &op, uint64_t budget)
{
    State &s = S();
    const uint64_t end = budget == Never ? Never : s.now + budget;
    for (int turn = 0; turn < MaxTurns; ++turn) {
        if (Step(op)) {
            return true;
        }
        const uint64_t next = NextWake(op);
        // Nothing will ever wake an unlimited drive (next is Never too): stalled.
        if (next == Never || next > end || next <= s.now) {
            if (end == Never) {
                s.stalled = true;
            } else {
                s.now = end;
            }
            return false;
        }
        s.now = next;
    }
    s.stalled = true;
    return false;
}

void SetReadTimers(Op &op, const COMMTIMEOUTS &t)
{
    const uint64_t now = S().now;
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
    op.deadline = total != 0 ? now + total : Never;
    op.interval = ri != 0 && ri != MAXDWORD ? ri : Never;
}

// Starts an operation prepared by Begin: completes it at once where the mode
// allows, else parks it (overlapped) or runs it to its end (synchronous).
BOOL Run(Op &op)
{
    const bool pendsFirst = op.parked && S().mode != Pend::Never && S().mode != Pend::WhenEmpty;
    if (pendsFirst || !Step(op)) {
        if (op.parked) {
            if (Event *event = FindEvent(op.event)) {
                event->pending = &op;
            }
            return Fail(ERROR_IO_PENDING);
        }
        if (!Drive(op, Never)) {
            Complete(op, ERROR_GEN_FAILURE);
        }
    }
    return op.status == ERROR_SUCCESS ? TRUE : Fail(op.status);
}

Op *FindOp(File &file, LPOVERLAPPED overlapped)
{
    for (Op *op : {&file.read, &file.write, &file.wait}) {
        if (op->active && op->overlapped == overlapped) {
            return op;
        }
    }
    return nullptr;
}

} // namespace

void Reset()
{
    S() = State{};
}

const std::vector<Call> &Calls()
{
    return S().calls;
}

std::vector<std::string> Names()
{
    std::vector<std::string> names;
    for (const Call &call : S().calls) {
        names.push_back(call.fn);
    }
    return names;
}

void ClearCalls()
{
    S().calls.clear();
}

void QueueRx(const void *data, size_t length, DWORD delayMs)
{
    State &s = S();
    const uint64_t at = s.now + delayMs;
    auto position = std::upper_bound(s.rx.begin(), s.rx.end(), at,
                                     [](uint64_t t, const Arrival &a) { return t < a.at; });
    const uint8_t *bytes = static_cast<const uint8_t *>(data);
    std::vector<Arrival> arrivals;
    for (size_t i = 0; i < length; ++i) {
        arrivals.push_back(Arrival{at, bytes[i]});
    }
    s.rx.insert(position, arrivals.begin(), arrivals.end());
}

void QueueRx(const std::vector<uint8_t> &bytes, DWORD delayMs)
{
    QueueRx(bytes.data(), bytes.size(), delayMs);
}

size_t RxQueued()
{
    return Arrived();
}

std::vector<uint8_t> TakeTx()
{
    std::vector<uint8_t> taken;
    taken.swap(S().tx);
    return taken;
}

void FailNext(const std::string &fn, DWORD code, int times, int after)
{
    S().failures.push_back(Failure{fn, code, times, after});
}

void SetPendMode(Pend mode)
{
    S().mode = mode;
}

void SetKeepsCancelled(bool keep)
{
    S().keepsCancelled = keep;
}

int FinishKept()
{
    State &s = S();
    std::vector<Op *> pending;
    for (auto &entry : s.files) {
        for (Op *op : {&entry.second.read, &entry.second.write, &entry.second.wait}) {
            if (op->active) {
                pending.push_back(op);
            }
        }
    }
    for (Op &op : s.kept) {
        pending.push_back(&op);
    }
    for (Op *op : pending) {
        switch (op->kind) {
        case OpKind::Read:
            std::memset(op->buffer, 0xEE, op->length);
            op->done = op->length;
            break;
        case OpKind::Write:
            s.tx.insert(s.tx.end(), op->data, op->data + op->length);
            op->done = op->length;
            break;
        case OpKind::Wait:
            op->occurred = EV_ERR;
            break;
        }
        Complete(*op, ERROR_SUCCESS);
    }
    s.kept.clear();
    return static_cast<int>(pending.size());
}

uint64_t Now()
{
    return S().now;
}

void Advance(DWORD ms)
{
    S().now += ms;
}

DCB &Dcb()
{
    return S().dcb;
}

COMMTIMEOUTS &Timeouts()
{
    return S().timeouts;
}

DWORD Mask()
{
    return S().mask;
}

int OpenHandles()
{
    return static_cast<int>(S().files.size() + S().events.size());
}

bool IsSignalled(HANDLE event)
{
    const Event *found = FindEvent(reinterpret_cast<uintptr_t>(event));
    return found != nullptr && found->signalled;
}

bool Stalled()
{
    return S().stalled;
}

} // namespace fake

using namespace fake;

HANDLE CreateFileA(LPCSTR name, DWORD access, DWORD shareMode, void *, DWORD disposition,
                   DWORD flags, HANDLE)
{
    Record("CreateFileA", {access, shareMode, disposition, flags}, name);
    if (Failing("CreateFileA")) {
        return INVALID_HANDLE_VALUE;
    }
    const uintptr_t handle = S().nextFile++;
    S().files[handle].overlapped = (flags & FILE_FLAG_OVERLAPPED) != 0;
    return reinterpret_cast<HANDLE>(handle);
}

BOOL CloseHandle(HANDLE object)
{
    Record("CloseHandle", {H(object)});
    if (Failing("CloseHandle")) {
        return FALSE;
    }
    const uintptr_t key = reinterpret_cast<uintptr_t>(object);
    if (File *file = FindFile(object)) {
        for (Op *op : {&file->read, &file->write, &file->wait}) {
            if (!op->active || !S().keepsCancelled) {
                Abort(*op);
                continue;
            }
            // The device keeps it, and the memory it was given.
            Op &orphan = S().kept.emplace_back(*op);
            orphan.orphan = true;
            if (Event *event = FindEvent(orphan.event)) {
                if (event->pending == op) {
                    event->pending = &orphan;
                }
            }
        }
        S().files.erase(key);
        return TRUE;
    }
    if (Event *event = FindEvent(key)) {
        if (event->pending != nullptr) {
            event->pending->event = 0;
        }
        S().events.erase(key);
        return TRUE;
    }
    return Fail(ERROR_INVALID_HANDLE);
}

HANDLE CreateEventA(void *, BOOL manualReset, BOOL initialState, LPCSTR)
{
    Record("CreateEventA",
           {static_cast<uint64_t>(manualReset), static_cast<uint64_t>(initialState)});
    if (Failing("CreateEventA")) {
        return nullptr;
    }
    const uintptr_t handle = S().nextEvent++;
    Event &event = S().events[handle];
    event.manualReset = manualReset != FALSE;
    event.signalled = initialState != FALSE;
    return reinterpret_cast<HANDLE>(handle);
}

BOOL SetEvent(HANDLE handle)
{
    Record("SetEvent", {H(handle)});
    if (Failing("SetEvent")) {
        return FALSE;
    }
    Event *event = FindEvent(reinterpret_cast<uintptr_t>(handle));
    if (event == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    event->signalled = true;
    return TRUE;
}

BOOL ResetEvent(HANDLE handle)
{
    Record("ResetEvent", {H(handle)});
    if (Failing("ResetEvent")) {
        return FALSE;
    }
    Event *event = FindEvent(reinterpret_cast<uintptr_t>(handle));
    if (event == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    event->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    Record("WaitForSingleObject", {H(handle), milliseconds});
    if (Failing("WaitForSingleObject")) {
        return WAIT_FAILED;
    }
    Event *event = FindEvent(reinterpret_cast<uintptr_t>(handle));
    if (event == nullptr) {
        Fail(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const uint64_t budget = milliseconds == INFINITE ? Never : milliseconds;
    if (!event->signalled && event->pending != nullptr) {
        Drive(*event->pending, budget);
    } else if (!event->signalled) {
        if (budget == Never) {
            S().stalled = true;
        } else {
            S().now += budget;
        }
    }
    if (event->signalled) {
        if (!event->manualReset) {
            event->signalled = false;
        }
        return WAIT_OBJECT_0;
    }
    if (budget == Never) {
        Fail(ERROR_GEN_FAILURE);
        return WAIT_FAILED;
    }
    return WAIT_TIMEOUT;
}

BOOL SetupComm(HANDLE file, DWORD inQueue, DWORD outQueue)
{
    Record("SetupComm", {inQueue, outQueue});
    if (Failing("SetupComm")) {
        return FALSE;
    }
    return FindFile(file) != nullptr ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL GetCommState(HANDLE file, LPDCB dcb)
{
    Record("GetCommState");
    if (Failing("GetCommState")) {
        return FALSE;
    }
    if (FindFile(file) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    *dcb = S().dcb;
    return TRUE;
}

BOOL SetCommState(HANDLE file, LPDCB dcb)
{
    Record("SetCommState",
           {dcb->BaudRate, dcb->ByteSize, dcb->Parity, dcb->StopBits, dcb->fParity,
            dcb->fOutxCtsFlow, dcb->fOutxDsrFlow, dcb->fDtrControl, dcb->fRtsControl, dcb->fOutX,
            dcb->fInX, static_cast<uint64_t>(static_cast<uint8_t>(dcb->EvtChar))});
    if (Failing("SetCommState")) {
        return FALSE;
    }
    if (FindFile(file) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    S().dcb = *dcb;
    return TRUE;
}

BOOL GetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts)
{
    Record("GetCommTimeouts");
    if (Failing("GetCommTimeouts")) {
        return FALSE;
    }
    if (FindFile(file) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    *timeouts = S().timeouts;
    return TRUE;
}

BOOL SetCommTimeouts(HANDLE file, LPCOMMTIMEOUTS timeouts)
{
    Record("SetCommTimeouts",
           {timeouts->ReadIntervalTimeout, timeouts->ReadTotalTimeoutMultiplier,
            timeouts->ReadTotalTimeoutConstant, timeouts->WriteTotalTimeoutMultiplier,
            timeouts->WriteTotalTimeoutConstant});
    if (Failing("SetCommTimeouts")) {
        return FALSE;
    }
    if (FindFile(file) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    S().timeouts = *timeouts;
    return TRUE;
}

BOOL SetCommMask(HANDLE handle, DWORD mask)
{
    Record("SetCommMask", {mask});
    if (Failing("SetCommMask")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (file->wait.active) {
        file->wait.occurred = 0;
        Complete(file->wait, ERROR_SUCCESS);
    }
    S().mask = mask;
    return TRUE;
}

BOOL WaitCommEvent(HANDLE handle, LPDWORD mask, LPOVERLAPPED overlapped)
{
    Record("WaitCommEvent", {overlapped != nullptr ? 1u : 0u});
    if (Failing("WaitCommEvent")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool parked = overlapped != nullptr && file->overlapped;
    if (mask == nullptr || S().mask == 0 || (parked && file->wait.active)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Op local;
    Op &op = parked ? file->wait : local;
    Begin(op, OpKind::Wait, overlapped, parked);
    op.events = mask;
    return Run(op);
}

BOOL GetDefaultCommConfigA(LPCSTR name, LPCOMMCONFIG config, LPDWORD size)
{
    Record("GetDefaultCommConfigA", {*size, config->dwSize}, name);
    if (Failing("GetDefaultCommConfigA")) {
        return FALSE;
    }
    if (*size < sizeof(COMMCONFIG)) {
        *size = sizeof(COMMCONFIG);
        return Fail(122); // ERROR_INSUFFICIENT_BUFFER
    }
    config->dcb = S().dcb;
    *size = sizeof(COMMCONFIG);
    return TRUE;
}

BOOL SetCommConfig(HANDLE file, LPCOMMCONFIG config, DWORD size)
{
    Record("SetCommConfig", {size});
    if (Failing("SetCommConfig")) {
        return FALSE;
    }
    if (FindFile(file) == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    S().dcb = config->dcb;
    return TRUE;
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped)
{
    Record("ReadFile", {toRead, overlapped != nullptr ? 1u : 0u});
    if (read != nullptr) {
        *read = 0;
    }
    if (Failing("ReadFile")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool parked = overlapped != nullptr && file->overlapped;
    if (parked && file->read.active) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Op local;
    Op &op = parked ? file->read : local;
    Begin(op, OpKind::Read, overlapped, parked);
    op.buffer = static_cast<BYTE *>(buffer);
    op.length = toRead;
    SetReadTimers(op, S().timeouts);
    const BOOL ok = Run(op);
    if (ok && read != nullptr) {
        *read = op.done;
    }
    return ok;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written,
               LPOVERLAPPED overlapped)
{
    Record("WriteFile", {toWrite, overlapped != nullptr ? 1u : 0u});
    if (written != nullptr) {
        *written = 0;
    }
    if (Failing("WriteFile")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    const bool parked = overlapped != nullptr && file->overlapped;
    if (parked && file->write.active) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    Op local;
    Op &op = parked ? file->write : local;
    Begin(op, OpKind::Write, overlapped, parked);
    op.data = static_cast<const BYTE *>(buffer);
    op.length = toWrite;
    const BOOL ok = Run(op);
    if (ok && written != nullptr) {
        *written = op.done;
    }
    return ok;
}

BOOL GetOverlappedResult(HANDLE handle, LPOVERLAPPED overlapped, LPDWORD transferred, BOOL wait)
{
    Record("GetOverlappedResult", {static_cast<uint64_t>(wait)});
    if (Failing("GetOverlappedResult")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (Op *op = FindOp(*file, overlapped)) {
        if (wait) {
            Drive(*op, Never);
        } else {
            Step(*op);
        }
    }
    if (overlapped->Internal == StatusPending) {
        return Fail(wait ? ERROR_GEN_FAILURE : ERROR_IO_INCOMPLETE);
    }
    if (transferred != nullptr) {
        *transferred = static_cast<DWORD>(overlapped->InternalHigh);
    }
    const DWORD status = static_cast<DWORD>(overlapped->Internal);
    return status == ERROR_SUCCESS ? TRUE : Fail(status);
}

BOOL CancelIo(HANDLE handle)
{
    Record("CancelIo");
    if (Failing("CancelIo")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (!S().keepsCancelled) {
        Abort(file->read);
        Abort(file->write);
        Abort(file->wait);
    }
    return TRUE;
}

BOOL PurgeComm(HANDLE handle, DWORD flags)
{
    Record("PurgeComm", {flags});
    if (Failing("PurgeComm")) {
        return FALSE;
    }
    File *file = FindFile(handle);
    if (file == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if ((flags & PURGE_RXABORT) != 0) {
        Abort(file->read);
    }
    if ((flags & PURGE_TXABORT) != 0) {
        Abort(file->write);
    }
    if ((flags & PURGE_RXCLEAR) != 0) {
        S().rx.erase(S().rx.begin(), S().rx.begin() + static_cast<std::ptrdiff_t>(Arrived()));
    }
    return TRUE;
}

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
    Record("Sleep", {milliseconds});
    S().now += milliseconds;
}

DWORD GetTickCount(void)
{
    Record("GetTickCount");
    return static_cast<DWORD>(S().now);
}

// Real locks: the handler table takes them, and tests may drive it from
// several threads even though the scripted device is not thread-safe.
void AcquireSRWLockExclusive(PSRWLOCK lock)
{
    pthread_mutex_lock(&lock->mutex);
}

void ReleaseSRWLockExclusive(PSRWLOCK lock)
{
    pthread_mutex_unlock(&lock->mutex);
}
