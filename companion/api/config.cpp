// The C interface of configuration files.
#include "config.h"
#include "answer.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigSave(ZorEncHandle handle, const char *request)
{
    return companion::Answer([&] {
        const companion::Json r = companion::ParseRequest(request);
        return companion::SaveConfig(handle, r.value("port", companion::Json()),
                                     r.value("serial_number", companion::Json()));
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigCheck(const char *request)
{
    return companion::Answer([&] {
        const companion::Config config =
            companion::RequestedConfig(companion::ParseRequest(request));
        return companion::Json{{"entries", config.entries.size()}, {"warnings", config.warnings}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigDiff(ZorEncHandle handle, const char *request)
{
    return companion::Answer([&] {
        const companion::Config config =
            companion::RequestedConfig(companion::ParseRequest(request));
        return companion::DiffConfig(handle, config);
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigApply(ZorEncHandle handle, const char *request)
{
    return companion::Answer([&] {
        const companion::Json r = companion::ParseRequest(request);
        const companion::ApplyOptions options = companion::RequestedApplyOptions(r);
        const companion::Config config = companion::RequestedConfig(r);
        return companion::ApplyConfig(handle, config, options);
    });
}

} // extern "C"
