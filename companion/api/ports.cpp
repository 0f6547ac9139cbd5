// ZorToolsListPorts and ZorToolsResolvePort.
#include "ports.h"
#include "answer.h"
#include "request_keys.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

namespace zorenc::companion {
namespace {

FindOptions Options(const Json &request, const char *extraKey)
{
    FindOptions options;
    options.sysfsRoot = OptionalString(request, "sysfs_root", "");
    options.extra = OptionalStrings(request, extraKey);
    return options;
}

} // namespace
} // namespace zorenc::companion

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsListPorts(const char *request)
{
    return companion::Answer([request] {
        const companion::Json parsed = companion::ParseRequest(request);
        companion::FindOptions options = companion::Options(parsed, "ports");
        options.probe = companion::OptionalBool(parsed, "probe", false);
        companion::Json ports = companion::Json::array();
        for (const auto &record : companion::FindPorts(options)) {
            ports.push_back(companion::PortJson(record));
        }
        return ports;
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsResolvePort(const char *request)
{
    return companion::Answer([request] {
        const companion::Json parsed = companion::ParseRequest(request);
        const std::string identity = companion::OptionalString(parsed, "port", "");
        if (identity.empty()) {
            throw companion::Failure("usage", "\"port\" names the port: a name, serial:SN, "
                                              "usb:VVVV:PPPP or auto");
        }
        const auto options = companion::Options(parsed, "candidates");
        return companion::Json{{"name", companion::ResolvePort(identity, options)}};
    });
}

} // extern "C"
