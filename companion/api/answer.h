// The one way an exported function of the companion library answers: a
// JSON document allocated for the caller, never an exception.
#pragma once

#include <string>

#include "failure.h"
#include "json.h"

namespace zorenc::companion {

// Parses a request document: NULL or "" is an empty object; anything but an
// object is a usage failure.
Json ParseRequest(const char *request);

// Copies text into memory the caller frees with ZorToolsFree; nullptr when
// none can be had.
char *Allocate(const std::string &text) noexcept;

// Runs body and wraps what it returns, or the failure it throws, into the
// answer document.
template <typename Body> char *Answer(Body &&body) noexcept
{
    try {
        Json answer = Json::object();
        answer["ok"] = true;
        answer["result"] = body();
        return Allocate(DumpCompact(answer));
    } catch (const Failure &failure) {
        try {
            Json error = failure.Details();
            error["kind"] = failure.Kind();
            error["message"] = failure.what();
            return Allocate(DumpCompact(Json{{"ok", false}, {"error", error}}));
        } catch (...) {
            return nullptr;
        }
    } catch (const std::exception &error) {
        try {
            return Allocate(
                Json{{"ok", false}, {"error", {{"kind", "internal"}, {"message", error.what()}}}}
                    .dump(-1, ' ', false, Json::error_handler_t::replace));
        } catch (...) {
            return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

} // namespace zorenc::companion
