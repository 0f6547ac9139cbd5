// The one way an exported function of the companion library answers: a
// JSON document allocated for the caller, never an exception.
#pragma once

#include <stdexcept>
#include <string>

#include "json.h"

namespace zortools {

// Failures that the answer reports with their kind ("usage", "board",
// "not-found"); anything else thrown is "internal".
class Failure : public std::runtime_error {
public:
    Failure(std::string kind, const std::string &message, Json details = Json::object())
        : std::runtime_error(message), kind_(std::move(kind)), details_(std::move(details))
    {
    }
    const std::string &Kind() const { return kind_; }
    const Json &Details() const { return details_; }

private:
    std::string kind_;
    Json details_;
};

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
        return Allocate(answer.dump());
    } catch (const Failure &failure) {
        try {
            Json error = failure.Details();
            error["kind"] = failure.Kind();
            error["message"] = failure.what();
            return Allocate(Json{{"ok", false}, {"error", error}}.dump());
        } catch (...) {
            return nullptr;
        }
    } catch (const std::exception &error) {
        try {
            return Allocate(
                Json{{"ok", false}, {"error", {{"kind", "internal"}, {"message", error.what()}}}}
                    .dump());
        } catch (...) {
            return nullptr;
        }
    } catch (...) {
        return nullptr;
    }
}

} // namespace zortools
