// The toolkit's logic, shared by the zorenc tool, the monitor and the
// companion library's C interface.
#pragma once

namespace zorenc::companion {

// The project's version ("1.0.0").
const char *Version();

} // namespace zorenc::companion
