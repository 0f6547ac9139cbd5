// The board's actions beside its settings, one table and one request path
// each for every front end: clearing counters and positions, and the flash
// and default-settings commands.
#pragma once

#include <string>
#include <vector>

#include "json.h"
#include "setting_table.h"
#include "zorenc.h"

namespace zorenc::companion {

// What a clear clears: a name, all of them at once, or one by number.
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

struct ClearRequest {
    const ClearTarget *target = nullptr;
    int32_t number = -1; // channel or input; -1 for all of them
};
// {"what": NAME, "channel" | "input": N}, checked in full. Usage Failure.
ClearRequest ParseClear(const Json &request);
// "trigger-count of channel 1".
std::string ClearSubject(const ClearRequest &request);
// Clears; result {"cleared": NAME, "channel" | "input": N}. Board Failure.
Json RunClear(ZorEncHandle handle, const ClearRequest &request);

// What flash save, load and defaults do.
struct FlashOp {
    const char *name;
    ZorEncResult(ZORENC_CALL *fn)(ZorEncHandle);
    const char *failure;
    const char *done;
};
const std::vector<FlashOp> &FlashOps();
// {"action": "save" | "load" | "defaults"}. Usage Failure.
const FlashOp &ParseFlash(const Json &request);
// Result {"flash": NAME, "done": TEXT}. Board Failure.
Json RunFlash(ZorEncHandle handle, const FlashOp &op);

} // namespace zorenc::companion
