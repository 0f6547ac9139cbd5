// A scripted stand-in for the Win32 communications subset, for unit tests
// and fuzzers. It models one serial device: bytes the test queues arrive in
// the receive queue at chosen moments of a fake clock, bytes written are kept
// for the test to take, every call is recorded, and any call can be made to
// fail. No real time passes: the clock moves only through Sleep, Advance and
// waits that have to wait. Not thread-safe.
//
// What each call records in Call::args (handles are small numbers, the
// same after every Reset):
//   CreateFileA           text = name; access, share mode, disposition, flags
//   CloseHandle           handle
//   CreateEventA          manual reset, initial state
//   SetEvent, ResetEvent  handle
//   WaitForSingleObject   handle, milliseconds
//   SetupComm             in queue, out queue
//   SetCommState          BaudRate, ByteSize, Parity, StopBits, fParity, fOutxCtsFlow,
//                         fOutxDsrFlow, fDtrControl, fRtsControl, fOutX, fInX, EvtChar
//   SetCommTimeouts       ReadInterval, ReadMultiplier, ReadConstant, WriteMultiplier,
//                         WriteConstant
//   SetCommMask           mask
//   WaitCommEvent         1 if an OVERLAPPED was given, else 0
//   GetDefaultCommConfigA text = name; size argument, dwSize of the record
//   SetCommConfig         size
//   ReadFile, WriteFile   byte count, 1 if an OVERLAPPED was given, else 0
//   GetOverlappedResult   wait flag
//   PurgeComm             flags
//   Sleep                 milliseconds
//   GetCommState, GetCommTimeouts, CancelIo, GetTickCount: nothing
// GetLastError, SetLastError and the lock functions are not recorded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace fake {

struct Call {
    std::string fn;
    std::string text;
    std::vector<uint64_t> args;
};

// How overlapped operations of the device behave.
enum class Pend {
    // Reads complete at once whenever the read time-outs allow it (an
    // immediate-return read always does); waits pend while nothing is
    // queued. Windows' own driver.
    Never,
    // As Never, but an immediate-return read that finds the queue empty
    // pends until bytes arrive. Wine's driver.
    WhenEmpty,
    // Every overlapped read, write and wait pends, and completes (as far as
    // it can) when it is next waited on.
    Always,
    // Every overlapped read, write and wait pends and makes no progress;
    // only CancelIo, SetCommMask (waits) or CloseHandle end it.
    Stall,
};

// Back to a fresh device: no calls, no handles, empty queues, no failures,
// Pend::Never, clock 0, a 9600 8N1 DCB, all time-outs 0, mask 0.
void Reset();

const std::vector<Call> &Calls();
// The function names of Calls(), in order.
std::vector<std::string> Names();
void ClearCalls();

// Bytes that arrive in the receive queue `delayMs` after the current clock.
void QueueRx(const void *data, size_t length, DWORD delayMs = 0);
void QueueRx(const std::vector<uint8_t> &bytes, DWORD delayMs = 0);
// Bytes that have arrived and not been read or purged.
size_t RxQueued();
// Bytes written to the device since the last call, removed from it.
std::vector<uint8_t> TakeTx();

// The next `times` calls of `fn` fail with `code` as their last error
// (CreateFileA gives INVALID_HANDLE_VALUE, CreateEventA null,
// WaitForSingleObject WAIT_FAILED, the rest FALSE) and have no effect; with
// `after`, only once that many further calls of `fn` have gone through.
void FailNext(const std::string &fn, DWORD code, int times = 1, int after = 0);

void SetPendMode(Pend mode);

// With true, the device never completes a cancel: CancelIo and CloseHandle
// leave pending overlapped operations pending. Until CloseHandle they go on
// as the pend mode lets them; after it only FinishKept ends them.
void SetKeepsCancelled(bool keep);
// Ends every overlapped operation still pending, as a driver that lets go at
// last: it fills a read's whole buffer with 0xEE, takes a write's bytes, sets
// a wait's events to EV_ERR, writes each OVERLAPPED and signals each event
// still open. Returns how many it ended.
int FinishKept();

// The fake clock, in milliseconds (GetTickCount gives its low 32 bits).
uint64_t Now();
void Advance(DWORD ms);

// The device's settings, as GetCommState/GetCommTimeouts report them and
// Set* leave them; tests may change them directly.
DCB &Dcb();
COMMTIMEOUTS &Timeouts();
DWORD Mask();

// Handles (files and events) currently open.
int OpenHandles();
bool IsSignalled(HANDLE event);
// True once a wait without limit (or a synchronous operation) found nothing
// that could ever end it; it then failed with ERROR_GEN_FAILURE instead of
// hanging.
bool Stalled();

} // namespace fake
