// Facts about the companion library itself.
#pragma once

namespace zorenc::companion {

// The project's version ("1.0.0").
const char *Version();

} // namespace zorenc::companion
