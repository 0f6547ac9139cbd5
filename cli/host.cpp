#include "host.h"

#include <atomic>
#include <cstdio>
#include <iostream>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <cstring>
#include <ctime>
#include <unistd.h>
#endif

namespace zorenc::cli {

namespace {
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
} // namespace

bool Interrupted()
{
    return interrupted.load();
}

#ifdef _WIN32

namespace {
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
        interrupted = true;
        return TRUE;
    default:
        return FALSE;
    }
}
} // namespace

void CatchInterrupts()
{
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

InterruptsBlocked::InterruptsBlocked() {}
InterruptsBlocked::~InterruptsBlocked() {}

void SleepMs(int ms)
{
    Sleep(static_cast<DWORD>(ms > 0 ? ms : 0));
}

bool StdoutIsTerminal()
{
    if (!_isatty(1)) {
        return false;
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        SetConsoleMode(out, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
    return true;
}

#else

namespace {
void OnSignal(int)
{
    interrupted = true;
}
} // namespace

void CatchInterrupts()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: a sleep ends early on Ctrl-C
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

InterruptsBlocked::InterruptsBlocked()
{
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &block, &saved_);
}

InterruptsBlocked::~InterruptsBlocked()
{
    pthread_sigmask(SIG_SETMASK, &saved_, nullptr);
}

void SleepMs(int ms)
{
    if (ms <= 0) {
        return;
    }
    struct timespec wait;
    wait.tv_sec = ms / 1000;
    wait.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    nanosleep(&wait, nullptr); // an interrupt ends it early, as wanted
}

bool StdoutIsTerminal()
{
    return isatty(1) != 0;
}

#endif

} // namespace zorenc::cli
