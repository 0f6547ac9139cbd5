#include "actions.h"

#include "device/registers.h"

#include "failure.h"
#include "results.h"
#include "setting_request.h"

namespace zorenc::companion {

namespace {

const std::vector<ClearTarget> kClearTargets = {
    {"all", Scope::kBoard, ZorEncClearAll, nullptr, "every counter and position"},
    {"positions", Scope::kBoard, ZorEncClearEncoderPositionAll, nullptr,
     "the positions of all channels"},
    {"triggers", Scope::kBoard, ZorEncClearTriggerAll, nullptr,
     "the trigger counts of all channels"},
    {"errors", Scope::kBoard, ZorEncClearErrorCountAll, nullptr,
     "the trigger error counts of all channels"},
    {"inputs", Scope::kBoard, ZorEncClearDiAll, nullptr, "the counts of all digital inputs"},
    {"encoder-position", Scope::kChannel, ZorEncClearEncoderPositionAll, ZorEncClearEncoderPosition,
     "the position (to its encoder-reset-value)"},
    {"trigger-count", Scope::kChannel, ZorEncClearTriggerAll, ZorEncClearTriggerCount,
     "the trigger count"},
    {"trigger-error-count", Scope::kChannel, ZorEncClearErrorCountAll, ZorEncClearErrorCount,
     "the trigger error count"},
    {"di-count", Scope::kInput, ZorEncClearDiAll, ZorEncClearDiCount, "the count"},
};

const std::vector<FlashOp> kFlashOps = {
    {"save", ZorEncSaveFlash, "cannot save the settings to flash", "settings saved to flash"},
    {"load", ZorEncLoadFlash, "cannot load the settings from flash", "settings loaded from flash"},
    {"defaults", ZorEncLoadDefaultParameters, "cannot load the default settings",
     "default settings loaded (save them to keep them: flash save)"},
};

const char *Unit(const ClearTarget &target)
{
    return target.scope == Scope::kInput ? "input" : "channel";
}

std::string Text(const Json &request, const char *key, const char *missing)
{
    const auto it = request.find(key);
    if (it == request.end() || !it->is_string()) {
        throw UsageFailure(missing);
    }
    return it->get<std::string>();
}

} // namespace

const std::vector<ClearTarget> &ClearTargets()
{
    return kClearTargets;
}

ClearRequest ParseClear(const Json &request)
{
    const std::string what = Text(request, "what",
                                  "clear needs to know what: all, positions, triggers, errors, "
                                  "inputs, or one counter");
    ClearRequest parsed;
    for (const ClearTarget &t : kClearTargets) {
        parsed.target = what == t.name ? &t : parsed.target;
    }
    if (parsed.target == nullptr) {
        throw UsageFailure("unknown clear target '" + what + "'");
    }
    const ClearTarget &t = *parsed.target;
    for (const char *key : {"channel", "input"}) {
        const auto it = request.find(key);
        if (it == request.end() || it->is_null()) {
            continue;
        }
        if (t.scope == Scope::kBoard || std::string(key) != Unit(t)) {
            throw UsageFailure(std::string("clear ") + t.name + " takes no " + key);
        }
        parsed.number = ParseKeyNumber(
            *it, key, t.scope == Scope::kInput ? BOARD_DIGITAL_INPUTS : BOARD_CHANNELS);
    }
    return parsed;
}

std::string ClearSubject(const ClearRequest &request)
{
    std::string subject = request.target->name;
    if (request.number >= 0) {
        subject +=
            std::string(" of ") + Unit(*request.target) + " " + std::to_string(request.number);
    }
    return subject;
}

Json RunClear(ZorEncHandle handle, const ClearRequest &request)
{
    const ClearTarget &t = *request.target;
    CheckResult(handle, request.number >= 0 ? t.one(handle, request.number) : t.all(handle),
                "cannot clear " + ClearSubject(request));
    Json done = {{"cleared", t.name}};
    if (request.number >= 0) {
        done[Unit(t)] = request.number;
    }
    return done;
}

const std::vector<FlashOp> &FlashOps()
{
    return kFlashOps;
}

const FlashOp &ParseFlash(const Json &request)
{
    const std::string action = Text(request, "action", "flash takes save, load or defaults");
    for (const FlashOp &op : kFlashOps) {
        if (action == op.name) {
            return op;
        }
    }
    throw UsageFailure("flash takes save, load or defaults, not '" + action + "'");
}

Json RunFlash(ZorEncHandle handle, const FlashOp &op)
{
    CheckResult(handle, op.fn(handle), op.failure);
    return {{"flash", op.name}, {"done", op.done}};
}

} // namespace zorenc::companion
