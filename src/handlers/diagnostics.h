// The library's fixed lines on standard output ("connected!!!!!", the
// close_handle() and release() lines, ...), and the per-process switch that
// silences them.
#pragma once

// True when the environment variable ZORENC_QUIET is set to anything but an
// empty value or "0": the library then prints none of its fixed lines. Read
// anew by every call that prints (once per call), so a program may set it at
// any time before such a call; it must not change while other threads call
// the library.
bool DiagnosticsQuiet() noexcept;
