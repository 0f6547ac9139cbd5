#include "handlers/diagnostics.h"

#include <cstdlib>
#include <cstring>

#include "platform/win32.h"

bool DiagnosticsQuiet() noexcept
{
#ifdef _WIN32
    // The process's environment block, where SetEnvironmentVariable (and so
    // .NET and Python) put the variable; the C runtime's copy may not have it.
    char value[2];
    const DWORD length = GetEnvironmentVariableA("ZORENC_QUIET", value, sizeof(value));
    // 0: unset or empty; more than 1: a longer value, which did not fit.
    return length > 1 || (length == 1 && value[0] != '0');
#else
    const char *value = std::getenv("ZORENC_QUIET");
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
#endif
}
