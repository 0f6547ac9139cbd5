// The library's result codes as people read them, worded once for every
// front end: the tool's messages, the monitor's answers and the companion
// library's error documents.
#pragma once

#include <string>

#include "zorenc.h"

namespace zorenc::companion {

// The status zorenc-sim --replay answers to a request that its captures do
// not hold (device/sim_statuses.inc, NotRecorded).
#define ZORSIM_STATUS(name, code, meaning) constexpr ZorEncResult kSimStatus##name = code;
#include "device/sim_statuses.inc"
constexpr ZorEncResult kStatusNotRecorded = kSimStatusNotRecorded;

// "no reply from the board within 1000 ms (ZORENC_ERR_TIMEOUT)"; a board's
// status byte and an unknown code also show their number:
// "the board answered with a non-zero status 0x02 (ZORENC_STATUS)"; status
// 0x08 also says what it means from a replaying zorenc-sim.
std::string ResultText(ZorEncResult result);

// Throws a board Failure "<what>: <ResultText>" carrying "result", unless
// result is ZORENC_OK. A running capture of the handle notes the result (a
// time-out or a frame error becomes its request's comment). Once the
// handle's requests are asked to stop, it throws an "internal" Failure
// "<what>: stopped" instead, whatever the result.
void CheckResult(ZorEncHandle handle, ZorEncResult result, const std::string &what);

// Asks the requests that run on handle to end at their next checked result
// (a front end that is stopping, while a configuration of a thousand reads
// is under way), or, with false, lets them run again. Any thread may ask.
void StopRequests(ZorEncHandle handle, bool stop);

} // namespace zorenc::companion
