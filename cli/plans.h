// The plan of each command (see commands.h), and the small output helpers
// they share.
#pragma once

#include <string>
#include <vector>

#include "commands.h"
#include "output.h"
#include "setting_table.h"

namespace zorenc::cli {

// The settings table is the companion library's: the one definition of
// every setting, which the tool shares with every other front end.
using companion::Field;
using companion::FindSetting;
using companion::Key;
using companion::Reading;
using companion::Scope;
using companion::Setting;
using companion::Settings;

Action PlanInfo(const Invocation &inv);
Action PlanStatus(const Invocation &inv);
Action PlanTour(const Invocation &inv);
Action PlanGet(const Invocation &inv);
Action PlanSet(const Invocation &inv);
Action PlanClear(const Invocation &inv);
Action PlanCalibration(const Invocation &inv);
Action PlanFlash(const Invocation &inv);
Action PlanRead(const Invocation &inv);
Action PlanWrite(const Invocation &inv);
Action PlanDump(const Invocation &inv);
// Needs no board: lists (and probes) the ports itself and returns no action.
Action PlanPorts(const Invocation &inv);

// The port name that --port gives: the name itself, or the one port that an
// identity (auto, serial:SN, usb:VVVV:PPPP) names. Throws a board Failure
// listing the ports seen when none or several match, a usage Failure for a
// malformed one.
std::string ResolvePortOption(const Invocation &inv);

Action PlanConfig(const Invocation &inv);
Action PlanMonitor(const Invocation &inv);
// The port of the monitor's first board (--port NAME=PORT gives PORT): the
// one the session opens.
std::string MonitorFirstPort(const Invocation &inv);

// Help texts generated from the tables.
std::string SettingsHelp();
std::string ClearTargetsHelp();

// One JSON document on its own line of stdout.
void PrintJson(const Json &json);
// kebab-case to snake_case, for JSON keys.
std::string Snake(std::string name);

} // namespace zorenc::cli
