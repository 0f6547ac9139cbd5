// The console's frames: the last frames sent and received, decoded with the
// register map (register name, value as its encoding reads, status).
#pragma once

#include <vector>

#include "board_thread.h"
#include "json.h"

namespace zorenc::monitor {

companion::Json FramesJson(const std::vector<Frame> &frames);

} // namespace zorenc::monitor
