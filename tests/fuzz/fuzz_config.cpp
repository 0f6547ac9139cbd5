// libFuzzer target for the configuration reader: any text given to
// CheckConfigText, and the same text as a request that carries a
// configuration, either yields a configuration or a usage Failure: never a
// crash, a deep recursion, another exception or an unbounded allocation
// (run.sh caps the memory).
#include <cstddef>
#include <cstdint>
#include <string>

#include "config.h"
#include "failure.h"
#include "json.h"

namespace companion = zorenc::companion;

namespace {

void Check(bool ok)
{
    if (!ok) {
        __builtin_trap();
    }
}

// Runs read, which must end normally or with a usage Failure; one about the
// document itself (every refusal of CheckConfigText) lists its faults.
template <typename Read> void Refused(Read read, bool withFaults)
{
    try {
        read();
    } catch (const companion::Failure &failure) {
        Check(failure.IsUsage() && (!withFaults || failure.Details().contains("faults")));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    Refused([&] { companion::CheckConfigText(text); }, true);
    Refused(
        [&] {
            const companion::Json request = companion::ReadJson(text, "the request");
            if (request.is_object()) {
                companion::RequestedConfig(request);
                companion::RequestedApplyOptions(request);
            }
        },
        false);
    return 0;
}
