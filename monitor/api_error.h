// A request the monitor cannot carry out: the HTTP status, the kind of the
// failure (as the companion library names them) and a message for people.
#pragma once

#include <stdexcept>
#include <string>

#include "json.h"

namespace zorenc::monitor {

class ApiError : public std::runtime_error {
public:
    ApiError(int status, std::string kind, const std::string &message,
             companion::Json details = companion::Json::object())
        : std::runtime_error(message), status_(status), kind_(std::move(kind)),
          details_(std::move(details))
    {
    }
    int Status() const { return status_; }
    const std::string &Kind() const { return kind_; }
    const companion::Json &Details() const { return details_; }

private:
    int status_;
    std::string kind_;
    companion::Json details_;
};

// 400 "usage", 404 "not-found", 502 "board".
inline ApiError UsageFailure(const std::string &message)
{
    return ApiError(400, "usage", message);
}

} // namespace zorenc::monitor
