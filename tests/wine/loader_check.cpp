// Loads the DLL at run time, as an application without the import library
// would: every function of src/exports.inc must be found under its exact
// export name (_Name@N in the 32-bit DLL, plain in the 64-bit one), and a few
// calls through pointers typed by hand, as such an application declares them,
// must behave. Prints "N passed, N failed"; non-zero exit on any failure.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>

#include "zorenc.h"

namespace {

#ifdef _WIN64
const char *const kDll = "zorenc_x64.dll";
#define EXPORT_NAME(name, bytes) #name
#define OTHER_NAME(name, bytes) "_" #name "@" #bytes
#else
const char *const kDll = "zorenc_x32.dll";
#define EXPORT_NAME(name, bytes) "_" #name "@" #bytes
#define OTHER_NAME(name, bytes) #name
#endif

struct Export {
    const char *name;  // as exported by this build
    const char *other; // as the other build exports it: must not resolve here
};

const Export kExports[] = {
#define ZORENC_FN(name, bytes) {EXPORT_NAME(name, bytes), OTHER_NAME(name, bytes)},
#include "exports.inc"
#undef ZORENC_FN
};

// The pointer types an application writes from the documentation; WINAPI is
// __stdcall on 32-bit Windows and nothing on 64-bit.
using CreateHandlerFn = intptr_t(WINAPI *)();
using HandleBoolFn = bool(WINAPI *)(intptr_t);
using SendReadFn = uint32_t(WINAPI *)(intptr_t, unsigned short, uint32_t, uint32_t *);
using SetEncoderInversionFn = uint32_t(WINAPI *)(intptr_t, int32_t, int32_t);
using GetTriggerPulseWidthFn = double(WINAPI *)(intptr_t, int32_t, double *);
using ReleaseFn = void(WINAPI *)();

// The header must declare the same types, noexcept, so that they convert to
// the application's.
template <class F> struct Nothrow;
template <class R, class... A> struct Nothrow<R(WINAPI *)(A...)> {
    using type = R(WINAPI *)(A...) noexcept;
};
static_assert(std::is_same_v<Nothrow<CreateHandlerFn>::type, decltype(&ZorEncCreateHandler)>);
static_assert(std::is_same_v<Nothrow<HandleBoolFn>::type, decltype(&ZorEncIsValidHandle)>);
static_assert(std::is_same_v<Nothrow<HandleBoolFn>::type, decltype(&ZorEncIsOpen)>);
static_assert(std::is_same_v<Nothrow<SendReadFn>::type, decltype(&ZorEncSendRead)>);
static_assert(
    std::is_same_v<Nothrow<SetEncoderInversionFn>::type, decltype(&ZorEncSetEncoderInversion)>);
static_assert(
    std::is_same_v<Nothrow<GetTriggerPulseWidthFn>::type, decltype(&ZorEncGetTriggerPulseWidth)>);
static_assert(std::is_same_v<Nothrow<ReleaseFn>::type, decltype(&ZorEncRelease)>);

int g_passed = 0;
int g_failed = 0;

void Check(bool ok, const std::string &what)
{
    (ok ? g_passed : g_failed)++;
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
    }
}

template <class F> F Lookup(HMODULE dll, const char *name)
{
    return reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
}

} // namespace

int main()
{
    HMODULE dll = LoadLibraryA(kDll);
    if (dll == nullptr) {
        std::printf("FAIL: LoadLibraryA(\"%s\"): error %lu\n0 passed, 1 failed\n", kDll,
                    GetLastError());
        return 1;
    }
    char path[MAX_PATH] = "";
    GetModuleFileNameA(dll, path, sizeof path);
    std::printf("loaded %s\n", path);

    const int count = static_cast<int>(sizeof kExports / sizeof kExports[0]);
    Check(count == 82, "the export list names 82 functions, not " + std::to_string(count));
    for (const Export &e : kExports) {
        Check(GetProcAddress(dll, e.name) != nullptr, std::string("missing export ") + e.name);
        Check(GetProcAddress(dll, e.other) == nullptr,
              std::string("exported under the other build's name too: ") + e.other);
    }

    const auto create = Lookup<CreateHandlerFn>(dll, EXPORT_NAME(ZorEncCreateHandler, 0));
    const auto is_valid = Lookup<HandleBoolFn>(dll, EXPORT_NAME(ZorEncIsValidHandle, 4));
    const auto is_open = Lookup<HandleBoolFn>(dll, EXPORT_NAME(ZorEncIsOpen, 4));
    const auto send_read = Lookup<SendReadFn>(dll, EXPORT_NAME(ZorEncSendRead, 16));
    const auto set_inversion =
        Lookup<SetEncoderInversionFn>(dll, EXPORT_NAME(ZorEncSetEncoderInversion, 12));
    const auto pulse_width =
        Lookup<GetTriggerPulseWidthFn>(dll, EXPORT_NAME(ZorEncGetTriggerPulseWidth, 12));
    const auto release = Lookup<ReleaseFn>(dll, EXPORT_NAME(ZorEncRelease, 0));
    if (create && is_valid && is_open && send_read && set_inversion && pulse_width && release) {
        const intptr_t handle = create();
        Check(handle == 1, "ZorEncCreateHandler returned " + std::to_string(handle) + ", not 1");
        Check(is_valid(1), "ZorEncIsValidHandle(1) is false");
        Check(!is_valid(2), "ZorEncIsValidHandle(2) is true with one handler");
        Check(!is_open(1), "ZorEncIsOpen(1) is true before any ZorEncOpen");

        uint32_t out = 0xA5A5A5A5u;
        const uint32_t result = send_read(1, 0x0500, 0, &out);
        Check(result == ZORENC_ERR_NOT_OPEN,
              "ZorEncSendRead on a closed handle returned " + std::to_string(result));
        Check(out == 0xA5A5A5A5u, "ZorEncSendRead on a closed handle wrote its output");

        // The channel, the second argument, is checked before the port.
        Check(set_inversion(1, 4, 1) == ZORENC_ERR_CHANNEL, "channel 4 not refused");
        Check(set_inversion(1, 0, 1) == ZORENC_ERR_NOT_OPEN, "channel 0 on a closed port");

        // A double result comes back in the register the caller reads.
        double width = 0.0;
        const double code = pulse_width(1, 0, &width);
        Check(code == 65522.0,
              "ZorEncGetTriggerPulseWidth on a closed handle returned " + std::to_string(code));

        release();
        Check(!is_valid(1), "ZorEncRelease left handle 1 valid");
        Check(create() == 1, "the first handle after ZorEncRelease is not 1");
        release();
    }

    // Bit 0 of the control word is the least significant, with MinGW's
    // Microsoft bit-field layout as with the native one.
    TriggerControls controls{};
    controls.nibble2 = 0xF;
    controls.bit30 = 1;
    uint32_t word = 0;
    std::memcpy(&word, &controls, sizeof word);
    Check(word == 0x40000F00u, "TriggerControls layout: " + std::to_string(word));

    std::fflush(stdout);
    Check(FreeLibrary(dll) != 0, "FreeLibrary failed");
    std::printf("%d passed, %d failed\n", g_passed, g_failed);
    return g_failed > 0 ? 1 : 0;
}
