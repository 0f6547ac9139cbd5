// The page served at /.
#pragma once

#include <string>

namespace zormon {

const std::string &IndexPage();

} // namespace zormon
