// JSON for the companion library and its front ends: nlohmann's, with object
// members kept in the order they were written.
#pragma once

#include <nlohmann/json.hpp>

namespace zortools {
using Json = nlohmann::ordered_json;
}
