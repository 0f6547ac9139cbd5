// Captures through the C interface (src/capture.h does the work).
#include "capture.h"
#include "answer.h"
#include "zorenc_tools.h"

namespace {

template <typename Body> char *AnswerCapture(Body &&body) noexcept
{
    return zortools::Answer([&]() -> zortools::Json {
        try {
            return body();
        } catch (const zortools::CaptureError &error) {
            throw zortools::Failure(error.Kind(), error.what());
        }
    });
}

} // namespace

extern "C" {

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStart(ZorEncHandle handle, const char *request)
{
    return AnswerCapture([&] {
        const zortools::Json options = zortools::ParseRequest(request);
        zortools::CaptureOptions capture;
        for (const char *key : {"path", "port"}) {
            if (options.contains(key) && !options[key].is_string()) {
                throw zortools::Failure("usage", std::string("\"") + key + "\" must be a string");
            }
        }
        capture.path = options.value("path", "");
        capture.port = options.value("port", "");
        zortools::StartCapture(handle, capture);
        return zortools::Json{{"path", capture.path}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureNote(ZorEncHandle handle, uint32_t result)
{
    return AnswerCapture([&] {
        const bool capturing = zortools::Capturing(handle);
        zortools::NoteCaptureResult(handle, result);
        return zortools::Json{{"noted", capturing}};
    });
}

ZORTOOLS_API char *ZORTOOLS_CALL ZorToolsCaptureStop(ZorEncHandle handle)
{
    return AnswerCapture([&] {
        const zortools::CaptureSummary summary = zortools::StopCapture(handle);
        if (!summary.error.empty()) {
            throw zortools::Failure("board", summary.error, {{"path", summary.path}});
        }
        return zortools::Json{{"path", summary.path},
                              {"requests", summary.requests},
                              {"replies", summary.replies},
                              {"annotated", summary.annotated}};
    });
}

} // extern "C"
