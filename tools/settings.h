// The settings table is the toolkit's (toolkit/src/setting_table.h): the one
// definition of every setting, shared with configuration files, the monitor
// and the companion library. The tool uses it under its own namespace.
#pragma once

#include "setting_table.h"

namespace zortool {

using zortools::Arg;
using zortools::Args;
using zortools::Field;
using zortools::FieldKind;
using zortools::FindSetting;
using zortools::Getter;
using zortools::Key;
using zortools::ParseArg;
using zortools::Reading;
using zortools::Scope;
using zortools::Setter;
using zortools::Setting;
using zortools::Settings;
using zortools::Subject;

} // namespace zortool
