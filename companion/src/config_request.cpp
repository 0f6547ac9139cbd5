// Configurations carried in requests (the C interface, the monitor).
#include "config.h"
#include "failure.h"
#include "request_keys.h"

namespace zorenc::companion {

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
    options.flash = OptionalBool(request, "flash", false);
    options.force = OptionalBool(request, "force", false);
    return options;
}

} // namespace zorenc::companion
