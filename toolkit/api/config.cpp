// The C interface of configuration files and of single settings by name.
#include "config.h"
#include "answer.h"
#include "setting_access.h"
#include "zorenc_tools.h"

namespace zortools {
namespace {

Config RequestedConfig(const Json &request)
{
    if (request.contains("text")) {
        if (!request["text"].is_string()) {
            throw UsageFailure("\"text\" must be the text of a configuration file");
        }
        return CheckConfigText(request["text"].get<std::string>());
    }
    if (!request.contains("config")) {
        throw UsageFailure("the request needs \"config\" (a document) or \"text\" (a file's text)");
    }
    return CheckConfig(request["config"]);
}

bool Flag(const Json &request, const char *name)
{
    const Json value = request.value(name, Json(false));
    if (!value.is_boolean()) {
        throw UsageFailure(std::string("\"") + name + "\" must be true or false");
    }
    return value.get<bool>();
}

} // namespace
} // namespace zortools

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
        zortools::ApplyOptions options;
        options.flash = zortools::Flag(r, "flash");
        options.force = zortools::Flag(r, "force");
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
