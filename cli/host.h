// What the tool needs from the operating system beyond the library: Ctrl-C,
// sleeping and the terminal. The POSIX and
// Windows versions live side by side in host.cpp.
#pragma once

#include <string>

#ifndef _WIN32
#include <signal.h>
#endif

namespace zorenc::cli {

// Makes Ctrl-C (SIGINT, SIGTERM; Ctrl-C, Ctrl-Break and closing the console
// on Windows) raise a flag instead of ending the process.
void CatchInterrupts();
bool Interrupted();

// Blocks SIGINT and SIGTERM in the calling thread for its lifetime, so that
// threads started meanwhile (the simulated board's) never take them and the
// main thread sees every Ctrl-C. Nothing on Windows.
class InterruptsBlocked {
public:
    InterruptsBlocked();
    ~InterruptsBlocked();
    InterruptsBlocked(const InterruptsBlocked &) = delete;
    InterruptsBlocked &operator=(const InterruptsBlocked &) = delete;

private:
#ifndef _WIN32
    sigset_t saved_;
#endif
};

void SleepMs(int ms);

// True when stdout is a terminal; then also switches a Windows console to
// ANSI escape sequences.
bool StdoutIsTerminal();

} // namespace zorenc::cli
