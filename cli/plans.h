// The plan of each command (see commands.h), and the small output helpers
// they share.
#pragma once

#include <string>
#include <vector>

#include "commands.h"
#include "output.h"
#include "settings.h"

namespace zorenc::cli {

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
// identity (auto, serial:SN, usb:VVVV:PPPP) names. Throws BoardError listing
// the ports seen when none or several match, UsageError for a malformed one.
std::string ResolvePortOption(const Invocation &inv);

Action PlanConfig(const Invocation &inv);

// What `clear` clears: a name, all of them at once, or one by number.
using ClearAll = ZorEncResult(ZORENC_CALL *)(ZorEncHandle);
using ClearOne = ZorEncResult(ZORENC_CALL *)(ZorEncHandle, int32_t);
struct ClearTarget {
    const char *name;
    Scope scope; // kBoard: no number; kChannel or kInput: an optional number
    ClearAll all;
    ClearOne one;
    const char *what;
};
const std::vector<ClearTarget> &ClearTargets();

// What `flash` does: save, load, defaults.
struct FlashOp {
    const char *name;
    ZorEncResult(ZORENC_CALL *fn)(ZorEncHandle);
    const char *failure;
    const char *done;
};
const std::vector<FlashOp> &FlashOps();

// Help texts generated from the tables.
std::string SettingsHelp();
std::string ClearTargetsHelp();

// One JSON document on its own line of stdout.
void PrintJson(const Json &json);
// A field's value as a table cell and as JSON.
std::string FieldText(const Field &field);
Json FieldJson(const Field &field);
// kebab-case to snake_case, for JSON keys.
std::string Snake(std::string name);

} // namespace zorenc::cli
