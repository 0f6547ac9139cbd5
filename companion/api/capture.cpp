// Captures through the C interface (src/capture.h does the work).
#include "capture.h"
#include "answer.h"
#include "request_keys.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStart(ZorEncHandle handle, const char *request)
{
    return companion::Answer([&] {
        const companion::Json options = companion::ParseRequest(request);
        companion::CaptureOptions capture;
        capture.path = companion::OptionalString(options, "path", "");
        capture.port = companion::OptionalString(options, "port", "");
        companion::StartCapture(handle, capture);
        return companion::Json{{"path", capture.path}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureNote(ZorEncHandle handle, uint32_t result)
{
    return companion::Answer([&] {
        const bool capturing = companion::Capturing(handle);
        companion::NoteCaptureResult(handle, result);
        return companion::Json{{"noted", capturing}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStop(ZorEncHandle handle)
{
    return companion::Answer([&] {
        const companion::CaptureSummary summary = companion::StopCapture(handle);
        if (!summary.error.empty()) {
            throw companion::Failure("board", summary.error, {{"path", summary.path}});
        }
        return companion::Json{{"path", summary.path},
                               {"requests", summary.requests},
                               {"replies", summary.replies},
                               {"annotated", summary.annotated}};
    });
}

} // extern "C"
