#include "library_quiet.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cstdlib>
#endif

namespace zorenc::companion {

namespace {
constexpr const char *kQuietVariable = "ZORENC_QUIET";
}

void QuietLibrary(bool force)
{
#if defined(_WIN32)
    // The process's environment block, which the library reads with
    // GetEnvironmentVariableA (the C runtime's copy is not what it sees).
    if (!force) {
        char value[2];
        SetLastError(ERROR_SUCCESS); // an empty value answers 0 too
        if (GetEnvironmentVariableA(kQuietVariable, value, sizeof value) != 0 ||
            GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
            return; // set, possibly empty or "0"
        }
    }
    SetEnvironmentVariableA(kQuietVariable, "1");
#else
    setenv(kQuietVariable, "1", force ? 1 : 0);
#endif
}

} // namespace zorenc::companion
