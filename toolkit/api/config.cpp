// The C interface of configuration files and of single settings by name.
#include "config.h"
#include "answer.h"
#include "setting_access.h"
#include "zorenc_tools.h"

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigSave(ZorEncHandle handle, const char *request)
{
    return zortools::Answer([&] {
        const zortools::Json r = zortools::ParseRequest(request);
        return zortools::SaveConfig(handle, r.value("port", zortools::Json()),
                                    r.value("serial_number", zortools::Json()));
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigCheck(const char *request)
{
    return zortools::Answer([&] {
        const zortools::Config config = zortools::RequestedConfig(zortools::ParseRequest(request));
        return zortools::Json{{"entries", config.entries.size()}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigDiff(ZorEncHandle handle, const char *request)
{
    return zortools::Answer([&] {
        const zortools::Config config = zortools::RequestedConfig(zortools::ParseRequest(request));
        return zortools::DiffConfig(handle, config);
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsConfigApply(ZorEncHandle handle, const char *request)
{
    return zortools::Answer([&] {
        const zortools::Json r = zortools::ParseRequest(request);
        const zortools::ApplyOptions options = zortools::RequestedApplyOptions(r);
        const zortools::Config config = zortools::RequestedConfig(r);
        return zortools::ApplyConfig(handle, config, options);
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsGetSetting(ZorEncHandle handle, const char *request)
{
    return zortools::Answer(
        [&] { return zortools::GetSetting(handle, zortools::ParseRequest(request)); });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsSetSetting(ZorEncHandle handle, const char *request)
{
    return zortools::Answer(
        [&] { return zortools::SetSetting(handle, zortools::ParseRequest(request)); });
}

} // extern "C"
