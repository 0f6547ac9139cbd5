// The one family of failures of the companion library and every front end
// over it: the C interface answers them as its error documents, the zorenc
// tool as its messages and exit statuses, the monitor as HTTP answers.
#pragma once

#include <stdexcept>
#include <string>

#include "json.h"
#include "zorenc.h"

namespace zorenc::companion {

// A failure with its kind and details that the error document carries as
// more keys. Kinds:
// - "usage": a malformed request or value; nothing was done;
// - "board": the port or the board failed (details "result" when a library
//   call returned a code);
// - "not-found": no match, or more than one;
// - "internal": anything else.
class Failure : public std::runtime_error {
public:
    Failure(std::string kind, const std::string &message, Json details = Json::object())
        : std::runtime_error(message), kind_(std::move(kind)), details_(std::move(details))
    {
    }
    const std::string &Kind() const { return kind_; }
    const Json &Details() const { return details_; }
    bool IsUsage() const { return kind_ == "usage"; }

private:
    std::string kind_;
    Json details_;
};

inline Failure UsageFailure(const std::string &message)
{
    return Failure("usage", message);
}

inline Failure BoardFailure(const std::string &message)
{
    return Failure("board", message);
}

// A library call that returned result.
inline Failure BoardFailure(const std::string &message, ZorEncResult result)
{
    return Failure("board", message, {{"result", result}});
}

inline Failure NotFoundFailure(const std::string &message, Json details = Json::object())
{
    return Failure("not-found", message, std::move(details));
}

} // namespace zorenc::companion
