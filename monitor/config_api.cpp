#include "config_api.h"

#include "capture.h"
#include "failure.h"

namespace zorenc::monitor {

namespace {

using companion::Json;

// The toolkit's failure as the monitor answers it.
ApiError Translated(const companion::Failure &failure)
{
    const Json &details = failure.Details();
    if (failure.Kind() == "usage") {
        return ApiError(400, "usage", failure.what(), details);
    }
    if (failure.Kind() == "not-found") {
        return ApiError(404, "not-found", failure.what(), details);
    }
    if (details.value("reason", "") == "version") {
        return ApiError(409, "board",
                        std::string(failure.what()) + " (\"force\": true applies it anyway)",
                        details);
    }
    return ApiError(502, "board", failure.what(), details);
}

template <typename Fn> Json OnBoard(ZorEncHandle handle, Fn work)
{
    try {
        return work();
    } catch (const companion::Failure &failure) {
        // A time-out or frame error annotates its request in a capture.
        const Json &result = failure.Details().value("result", Json());
        if (result.is_number_unsigned()) {
            companion::NoteCaptureResult(handle, result.get<ZorEncResult>());
        }
        throw Translated(failure);
    }
}

} // namespace

ConfigRequest ParseConfigRequest(const Json &body, bool apply)
{
    ConfigRequest request;
    try {
        if (apply) {
            request.options = companion::RequestedApplyOptions(body);
        }
        request.config = companion::RequestedConfig(body);
    } catch (const companion::Failure &failure) {
        const Json faults = failure.Details().value("faults", Json::array());
        if (faults.empty()) {
            throw Translated(failure);
        }
        // As `zorenc config` refuses a file: every fault, nothing sent.
        const size_t n = faults.size();
        throw ApiError(400, "usage",
                       "refused, " + std::to_string(n) + (n == 1 ? " fault" : " faults") +
                           " (nothing was sent to the board): " + faults[0].get<std::string>(),
                       failure.Details());
    }
    return request;
}

Json DownloadConfig(ZorEncHandle handle, const std::string &port)
{
    return OnBoard(handle, [&] { return companion::SaveConfig(handle, port, nullptr); });
}

Json DiffConfig(ZorEncHandle handle, const ConfigRequest &request)
{
    return OnBoard(handle, [&] { return companion::DiffConfig(handle, request.config); });
}

Json ApplyConfig(ZorEncHandle handle, const ConfigRequest &request)
{
    return OnBoard(handle,
                   [&] { return companion::ApplyConfig(handle, request.config, request.options); });
}

std::string ConfigFileText(const Json &document)
{
    return companion::ConfigText(document);
}

} // namespace zorenc::monitor
