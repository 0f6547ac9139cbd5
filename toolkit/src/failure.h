// The one kind of exception the toolkit throws: a failure with its kind
// ("usage", "board", "not-found"), a message for people and details for
// programs. The C interface turns it into its error document; the tool into
// its exit status.
#pragma once

#include <stdexcept>
#include <string>

#include "json.h"

namespace zortools {

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

} // namespace zortools
