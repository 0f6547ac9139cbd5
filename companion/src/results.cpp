#include "results.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

#include "capture.h"
#include "failure.h"
#include "threads.h"
#include "zorenc_codes.h"

namespace zorenc::companion {

namespace {

Mutex stoppedMutex;
std::vector<ZorEncHandle> stopped; // handles whose requests are to end

bool Stopped(ZorEncHandle handle)
{
    std::lock_guard<Mutex> lock(stoppedMutex);
    return std::find(stopped.begin(), stopped.end(), handle) != stopped.end();
}

} // namespace

void StopRequests(ZorEncHandle handle, bool stop)
{
    std::lock_guard<Mutex> lock(stoppedMutex);
    stopped.erase(std::remove(stopped.begin(), stopped.end(), handle), stopped.end());
    if (stop) {
        stopped.push_back(handle);
    }
}

std::string ResultText(ZorEncResult result)
{
    const ZorEncCodeInfo info = ZorEncDescribe(result);
    std::string text = info.meaning;
    char number[16] = "";
    if (result >= 1 && result <= 255 && result != ZORENC_ERR_CHECKSUM) {
        std::snprintf(number, sizeof number, " 0x%02X", static_cast<unsigned>(result));
    } else if (std::string(info.name) == "ZORENC_UNKNOWN") {
        std::snprintf(number, sizeof number, " 0x%04X", static_cast<unsigned>(result));
    }
    // A board's statuses mean what the board says; this one is the answer of
    // a replaying simulated board to a request its captures do not hold.
    const char *replay = result == kStatusNotRecorded
                             ? "; from zorenc-sim --replay: not recorded in its captures"
                             : "";
    return text + number + " (" + info.name + replay + ")";
}

void CheckResult(ZorEncHandle handle, ZorEncResult result, const std::string &what)
{
    NoteCaptureResult(handle, result);
    if (Stopped(handle)) {
        throw Failure("internal", what + ": stopped");
    }
    if (result != ZORENC_OK) {
        throw BoardFailure(what + ": " + ResultText(result), result);
    }
}

} // namespace zorenc::companion
