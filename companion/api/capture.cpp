// Captures through the C interface (src/capture.h does the work).
#include "capture.h"
#include "answer.h"
#include "zorenc_tools.h"

namespace companion = zorenc::companion;

namespace {

template <typename Body> char *AnswerCapture(Body &&body) noexcept
{
    return companion::Answer([&]() -> companion::Json {
        try {
            return body();
        } catch (const companion::CaptureError &error) {
            throw companion::Failure(error.Kind(), error.what());
        }
    });
}

} // namespace

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStart(ZorEncHandle handle, const char *request)
{
    return AnswerCapture([&] {
        const companion::Json options = companion::ParseRequest(request);
        companion::CaptureOptions capture;
        for (const char *key : {"path", "port"}) {
            if (options.contains(key) && !options[key].is_string()) {
                throw companion::Failure("usage", std::string("\"") + key + "\" must be a string");
            }
        }
        capture.path = options.value("path", "");
        capture.port = options.value("port", "");
        companion::StartCapture(handle, capture);
        return companion::Json{{"path", capture.path}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureNote(ZorEncHandle handle, uint32_t result)
{
    return AnswerCapture([&] {
        const bool capturing = companion::Capturing(handle);
        companion::NoteCaptureResult(handle, result);
        return companion::Json{{"noted", capturing}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStop(ZorEncHandle handle)
{
    return AnswerCapture([&] {
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
