// One setting read or written by name, from a JSON request, with the checks
// of zorenc set: what the companion library's ZorToolsGetSetting and
// ZorToolsSetSetting, the monitor and the bindings use.
#pragma once

#include "json.h"
#include "zorenc.h"

namespace zorenc::companion {

// Request {"setting", "channel" | "input", "index", "args": [...]}; result
// the object zorenc get --json prints. Usage Failure for a bad request, board
// Failure when the library fails.
Json GetSetting(ZorEncHandle handle, const Json &request);

// Request as GetSetting with "value" or "values": [...]; writes, reads back
// and returns the read-back as GetSetting does.
Json SetSetting(ZorEncHandle handle, const Json &request);

} // namespace zorenc::companion
