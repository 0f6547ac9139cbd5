// ZorToolsListPorts and ZorToolsResolvePort.
#include "ports.h"
#include "answer.h"
#include "request.h"
#include "zorenc_tools.h"

namespace zortools {
namespace {

FindOptions Options(const Json &request, const char *extraKey)
{
    FindOptions options;
    options.sysfsRoot = OptionalString(request, "sysfs_root", "");
    options.extra = OptionalStrings(request, extraKey);
    return options;
}

} // namespace
} // namespace zortools

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsListPorts(const char *request)
{
    return zortools::Answer([request] {
        const zortools::Json parsed = zortools::ParseRequest(request);
        zortools::FindOptions options = zortools::Options(parsed, "ports");
        options.probe = zortools::OptionalBool(parsed, "probe", false);
        zortools::Json ports = zortools::Json::array();
        for (const auto &record : zortools::FindPorts(options)) {
            ports.push_back(zortools::PortJson(record));
        }
        return ports;
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsResolvePort(const char *request)
{
    return zortools::Answer([request] {
        const zortools::Json parsed = zortools::ParseRequest(request);
        const std::string identity = zortools::OptionalString(parsed, "port", "");
        if (identity.empty()) {
            throw zortools::Failure("usage", "\"port\" names the port: a name, serial:SN, "
                                             "usb:VVVV:PPPP or auto");
        }
        const auto options = zortools::Options(parsed, "candidates");
        return zortools::Json{{"name", zortools::ResolvePort(identity, options)}};
    });
}

} // extern "C"
