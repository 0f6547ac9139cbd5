// JSON for the companion library and its front ends: nlohmann's, with object
// members kept in the order they were written.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "text.h"

namespace zorenc::companion {
using Json = nlohmann::ordered_json;

// One line as the zorenc tool prints its documents: a space after each ','
// and ':', numbers in their shortest form (1.5, 0.28, 2 for 2.0), not-finite
// numbers as null, invalid UTF-8 replaced rather than refused.
std::string DumpLine(const Json &json);

} // namespace zorenc::companion
