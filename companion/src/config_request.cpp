// Configurations carried in requests (the C interface, the monitor).
#include "config.h"
#include "failure.h"

namespace zorenc::companion {

namespace {

bool Flag(const Json &request, const char *name)
{
    const Json value = request.value(name, Json(false));
    if (!value.is_boolean()) {
        throw UsageFailure(std::string("\"") + name + "\" must be true or false");
    }
    return value.get<bool>();
}

} // namespace

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

ApplyOptions RequestedApplyOptions(const Json &request)
{
    ApplyOptions options;
    options.flash = Flag(request, "flash");
    options.force = Flag(request, "force");
    return options;
}

} // namespace zorenc::companion
