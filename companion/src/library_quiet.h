// The board library's fixed lines on stdout ("connected!!!!!", the
// close_handle() lines) go when the environment variable ZORENC_QUIET says so
// (zorenc.h). Front ends set it once, early, instead of redirecting stdout.
#pragma once

namespace zorenc::companion {

// Sets ZORENC_QUIET=1 for the process: always with force, otherwise only when
// the variable is not set at all (a program or user that set it, even to "0"
// to keep the lines, has chosen). Call it while no other thread calls the
// board library: the library reads the variable at each open and close.
void QuietLibrary(bool force);

} // namespace zorenc::companion
