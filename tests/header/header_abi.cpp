// The public header compiled as C++, and a compile-time check of every
// exported function against its line in src/exports.inc: the function must be
// declared, use the 32-bit build's calling convention (stdcall) and take
// exactly the argument bytes that its decorated name _Name@N announces, each
// argument counted as pushed on a 32-bit stack (rounded up to 4 bytes, a
// double 8). The i686 build counts the real sizes; the other builds count as
// a 32-bit build would, with pointers and the pointer-sized handle 4 bytes.
#include "zorenc.h"

#include <type_traits>

namespace {

#if defined(_WIN32) && !defined(_WIN64)
#define EXPECTED_CALL __stdcall
template <class T> constexpr unsigned StackBytes32()
{
    return (sizeof(T) + 3) / 4 * 4;
}
#else
#define EXPECTED_CALL
template <class T> constexpr unsigned StackBytes32()
{
    if constexpr (std::is_pointer_v<T> || std::is_same_v<T, ZorEncHandle>) {
        return 4;
    } else {
        return (sizeof(T) + 3) / 4 * 4;
    }
}
#endif

// Declared only for the expected convention and noexcept: a function of
// another convention, or one that may throw, fails to compile here.
template <class F> struct ArgumentBytes;
template <class R, class... A> struct ArgumentBytes<R(EXPECTED_CALL *)(A...) noexcept> {
    static constexpr unsigned value = (0u + ... + StackBytes32<A>());
};

#define ZORENC_FN(name, bytes)                                                                     \
    static_assert(ArgumentBytes<decltype(&name)>::value == (bytes),                                \
                  #name ": the declared arguments do not add up to the bytes of its export name");
#include "exports.inc"
#undef ZORENC_FN

static_assert(
    std::is_same_v<ZorEncEventCallback, void(EXPECTED_CALL *)(const unsigned char *, int32_t)>,
    "callbacks use the convention of the exports");
static_assert(sizeof(bool) == 1, "boolean results are one byte");
static_assert(sizeof(ZorEncHandle) == sizeof(void *), "the handle is pointer-sized");
static_assert(sizeof(ZorEncResult) == 4 && sizeof(TriggerControls) == 4, "32-bit words");

} // namespace
