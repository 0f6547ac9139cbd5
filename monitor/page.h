// The page served at /.
#pragma once

#include <string>

namespace zorenc::monitor {

const std::string &IndexPage();

} // namespace zorenc::monitor
