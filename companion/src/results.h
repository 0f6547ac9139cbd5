// The library's result codes as people read them, worded once for every
// front end: the tool's messages, the monitor's answers and the companion
// library's error documents.
#pragma once

#include <string>

#include "zorenc.h"

namespace zorenc::companion {

// "no reply from the board within 1000 ms (ZORENC_ERR_TIMEOUT)"; a board's
// status byte and an unknown code also show their number:
// "the board answered with a non-zero status 0x02 (ZORENC_STATUS)".
std::string ResultText(ZorEncResult result);

// Throws a board Failure "<what>: <ResultText>" carrying "result", unless
// result is ZORENC_OK. A running capture of the handle notes the result (a
// time-out or a frame error becomes its request's comment).
void CheckResult(ZorEncHandle handle, ZorEncResult result, const std::string &what);

} // namespace zorenc::companion
