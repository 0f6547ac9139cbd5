// Reading the keys of a request, with a usage failure for a wrong type.
#pragma once

#include <string>
#include <vector>

#include "failure.h"
#include "json.h"

namespace zorenc::companion {

bool OptionalBool(const Json &request, const char *key, bool fallback);
std::string OptionalString(const Json &request, const char *key, const std::string &fallback);
std::vector<std::string> OptionalStrings(const Json &request, const char *key);

} // namespace zorenc::companion
