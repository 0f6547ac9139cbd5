// Fails the build when an exported function could let an exception out: each
// function of the export list must be declared, and so defined, noexcept. An
// exception that reached a C caller would tear down its process.
#include <type_traits>

#include "zorenc.h"

namespace {

template <class F> struct IsNothrowExport : std::false_type {
};
template <class R, class... A>
struct IsNothrowExport<R(ZORENC_CALL *)(A...) noexcept> : std::true_type {
};

#define ZORENC_FN(name, bytes)                                                                     \
    static_assert(IsNothrowExport<decltype(&name)>::value, #name ": every export must be "         \
                                                                 "noexcept");
#include "exports.inc"
#undef ZORENC_FN

} // namespace
