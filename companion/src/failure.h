// The failures of the toolkit's logic, by kind: the C interface reports them
// as its error documents, the zorenc tool as its messages and exit statuses.
#pragma once

#include <stdexcept>
#include <string>

#include "json.h"

namespace zorenc::companion {

// A failure with its kind ("usage": a malformed request or value, nothing
// was done; "board": the port or the board failed; "not-found": no match, or
// more than one) and details that the error document carries as more keys.
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

// A malformed request or value: nothing was done.
inline Failure UsageFailure(const std::string &message)
{
    return Failure("usage", message);
}

} // namespace zorenc::companion
