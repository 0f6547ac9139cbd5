#include "quiet_stdout.h"

#include <cstdio>
#include <iostream>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace zorenc::companion {

#if defined(_WIN32)

QuietStdout::QuietStdout()
{
    std::cout.flush();
    std::fflush(stdout);
    const int null = _open("NUL", _O_WRONLY);
    saved_ = _dup(1);
    if (null >= 0 && saved_ >= 0) {
        _dup2(null, 1);
    }
    if (null >= 0) {
        _close(null);
    }
}

QuietStdout::~QuietStdout()
{
    std::cout.flush();
    std::fflush(stdout);
    if (saved_ >= 0) {
        _dup2(saved_, 1);
        _close(saved_);
    }
}

#else

QuietStdout::QuietStdout()
{
    std::cout.flush();
    std::fflush(stdout);
    const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
    saved_ = fcntl(1, F_DUPFD_CLOEXEC, 3);
    if (null >= 0 && saved_ >= 0) {
        dup2(null, 1);
    }
    if (null >= 0) {
        close(null);
    }
}

QuietStdout::~QuietStdout()
{
    std::cout.flush();
    std::fflush(stdout);
    if (saved_ >= 0) {
        dup2(saved_, 1);
        close(saved_);
    }
}

#endif

} // namespace zorenc::companion
