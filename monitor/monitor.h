// `zorenc monitor`: the board live in a browser, served over HTTP.
#pragma once

#include "commands.h"

namespace zorenc::cli {

Action PlanMonitor(const Invocation &inv);

} // namespace zorenc::cli
