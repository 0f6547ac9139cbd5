// The settings table is the toolkit's (companion/src/setting_table.h): the one
// definition of every setting, shared with configuration files, the monitor
// and the companion library. The tool uses it under its own namespace.
#pragma once

#include "setting_table.h"

namespace zorenc::cli {

using companion::Arg;
using companion::Args;
using companion::Field;
using companion::FieldKind;
using companion::FindSetting;
using companion::Getter;
using companion::Key;
using companion::ParseArg;
using companion::Reading;
using companion::Scope;
using companion::Setter;
using companion::Setting;
using companion::Settings;
using companion::Subject;

} // namespace zorenc::cli
