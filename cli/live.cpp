// info, status (with --watch) and the tour.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>

#include "device/registers.h"
#include "host.h"
#include "plans.h"
#include "session.h"
#include "setting_request.h"

namespace zorenc::cli {

namespace {

using Clock = std::chrono::steady_clock;

// ---- info --------------------------------------------------------------------------------

const char *const kInfoSettings[] = {"firmware-version", "logic-version", "encoder-resolution",
                                     "trg-mode",         "positive-run",  "negative-run"};

void PrintInfo(Session &session, bool json)
{
    Json object = {{"port", session.Port()}};
    Table table({"", ""});
    table.Add({"port", session.Port()});
    for (const char *name : kInfoSettings) {
        const Reading reading = companion::ReadOne(session.Handle(), *FindSetting(name), Key{});
        object[Snake(name)] = companion::FieldJson(reading.front());
        table.Add({name, companion::FieldText(reading.front())});
    }
    if (json) {
        PrintJson(object);
    } else {
        table.Print();
    }
}

// ---- status ------------------------------------------------------------------------------

struct Snapshot {
    int32_t position[BOARD_CHANNELS] = {};
    uint32_t triggers[BOARD_CHANNELS] = {};
    uint32_t errors[BOARD_CHANNELS] = {};
    int32_t direction[BOARD_CHANNELS] = {};
    int32_t inputs[BOARD_DIGITAL_INPUTS] = {};
};

Snapshot ReadStatus(Session &session)
{
    const ZorEncHandle h = session.Handle();
    Snapshot snap;
    for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
        const std::string of = " of channel " + std::to_string(ch);
        int32_t value = 0;
        session.Check(ZorEncGetEncoderPosition(h, ch, &snap.position[ch]),
                      "cannot read the position" + of);
        session.Check(ZorEncGetTriggerCount(h, ch, &value), "cannot read the trigger count" + of);
        snap.triggers[ch] = static_cast<uint32_t>(value);
        session.Check(ZorEncGetTriggerErrorCount(h, ch, &value),
                      "cannot read the trigger error count" + of);
        snap.errors[ch] = static_cast<uint32_t>(value);
        session.Check(ZorEncGetEncoderDirection(h, ch, &snap.direction[ch]),
                      "cannot read the direction" + of);
    }
    int32_t *in = snap.inputs;
    session.Check(ZorEncGetDI(h, &in[0], &in[1], &in[2], &in[3], &in[4], &in[5], &in[6]),
                  "cannot read the digital inputs");
    return snap;
}

std::vector<std::string> StatusLines(const Snapshot &snap)
{
    Table channels({"channel", "position", "triggers", "errors", "direction"});
    for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
        channels.Add({std::to_string(ch), std::to_string(snap.position[ch]),
                      std::to_string(snap.triggers[ch]), std::to_string(snap.errors[ch]),
                      std::to_string(snap.direction[ch])});
    }
    std::vector<std::string> header = {"input"};
    std::vector<std::string> state = {"state"};
    for (int n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
        header.push_back(std::to_string(n));
        state.push_back(std::to_string(snap.inputs[n]));
    }
    Table inputs(header);
    inputs.Add(state);
    std::vector<std::string> lines = channels.Lines();
    lines.push_back("");
    for (const std::string &line : inputs.Lines()) {
        lines.push_back(line);
    }
    return lines;
}

Json StatusJson(const Snapshot &snap)
{
    Json channels = Json::array();
    for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
        channels.push_back({{"channel", ch},
                            {"position", snap.position[ch]},
                            {"trigger_count", snap.triggers[ch]},
                            {"trigger_error_count", snap.errors[ch]},
                            {"direction", snap.direction[ch]}});
    }
    Json inputs = Json::array();
    for (int n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
        inputs.push_back(snap.inputs[n]);
    }
    return {{"channels", channels}, {"inputs", inputs}};
}

struct WatchPlan {
    double seconds = 0; // 0: until Ctrl-C
    int intervalMs = 250;
    bool json = false;
};

// Called after each refresh, with the board still open.
using WatchHook = std::function<void(const Snapshot &)>;

double Seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

bool FoundPortGone(const Session &session, const Failure &failure)
{
    const Json result = failure.Details().value("result", Json());
    return failure.Kind() == "board" && result.is_number_unsigned() &&
           session.Gone(result.get<ZorEncResult>());
}

// Waits for a port that is gone to come back, opening it again every half
// second, until end or Ctrl-C; says so on stderr. True when it opened.
bool WaitForPort(Session &session, Clock::time_point end)
{
    constexpr int kRetryMs = 500;
    std::fprintf(stderr, "zorenc: the port %s is gone; waiting for it to come back (%s)\n",
                 session.Port().c_str(),
                 end == Clock::time_point::max() ? "Ctrl-C ends it"
                                                 : "until --for ends, or Ctrl-C");
    while (!Interrupted() && Clock::now() < end) {
        const Clock::time_point next =
            std::min(end, Clock::now() + std::chrono::milliseconds(kRetryMs));
        while (!Interrupted() && Clock::now() < next) {
            SleepMs(50);
        }
        if (Interrupted()) {
            return false;
        }
        if (session.Reopen()) {
            std::fprintf(stderr, "zorenc: the port %s is back\n", session.Port().c_str());
            return true;
        }
    }
    return false;
}

// Refreshes the status until the time is up or Ctrl-C. On a terminal the
// view is redrawn in place; otherwise each refresh follows the last, and
// with --json each is one line of JSON. Returns the snapshots' count.
int Watch(Session &session, const WatchPlan &plan, const WatchHook &hook)
{
    CatchInterrupts();
    const bool redraw = !plan.json && StdoutIsTerminal();
    const Clock::time_point start = Clock::now();
    const auto interval = std::chrono::milliseconds(plan.intervalMs);
    const auto limit =
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(plan.seconds));
    size_t drawn = 0;
    int tick = 0;
    while (true) {
        Snapshot snap;
        try {
            snap = ReadStatus(session);
        } catch (const Failure &failure) {
            // status --watch outlives an unplugged adapter or a dropped
            // connection, as the monitor does; the tour does not.
            if (hook || !FoundPortGone(session, failure)) {
                throw;
            }
            const Clock::time_point end =
                plan.seconds > 0 ? start + limit : Clock::time_point::max();
            if (!WaitForPort(session, end)) {
                if (Interrupted()) {
                    break;
                }
                throw; // the time was up first
            }
            drawn = 0; // the announcements came between: draw anew below them
            continue;
        }
        const double elapsed = Seconds(Clock::now() - start);
        if (plan.json) {
            Json object = StatusJson(snap);
            object["elapsed"] = std::round(elapsed * 1000) / 1000;
            PrintJson(object);
        } else {
            char title[160];
            std::snprintf(title, sizeof title, "%s  %.1f s  (every %d ms; %s)",
                          session.Port().c_str(), elapsed, plan.intervalMs,
                          plan.seconds > 0 ? "Ctrl-C ends it sooner" : "Ctrl-C ends it");
            std::vector<std::string> lines = {title};
            for (const std::string &line : StatusLines(snap)) {
                lines.push_back(line);
            }
            if (redraw && drawn > 0) {
                std::printf("\x1b[%dA", static_cast<int>(drawn));
            }
            for (const std::string &line : lines) {
                std::printf(redraw ? "\r\x1b[2K%s\n" : "%s\n", line.c_str());
            }
            if (!redraw) {
                std::printf("\n");
            }
            drawn = lines.size();
            std::fflush(stdout);
        }
        ++tick;
        if (hook) {
            hook(snap);
        }
        const Clock::time_point now = Clock::now();
        if (Interrupted() || (plan.seconds > 0 && now - start >= limit)) {
            break;
        }
        Clock::time_point next = start + tick * interval;
        if (plan.seconds > 0) {
            next = std::min(next, start + limit);
        }
        for (Clock::time_point t = now; t < next && !Interrupted(); t = Clock::now()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next - t);
            SleepMs(static_cast<int>(std::min<int64_t>(left.count() + 1, 50)));
        }
        if (Interrupted()) {
            break;
        }
    }
    return tick;
}

// ---- tour --------------------------------------------------------------------------------

constexpr int32_t kTourChannel = 0;
constexpr int32_t kTourFrequency = 1000; // counts per second
constexpr int32_t kTourTravel = 2000;    // the axis turns back at 0 and at this position
constexpr int32_t kTourTrigger0 = 500;
constexpr int32_t kTourTrigger1 = 1500;

void Heading(const std::string &text)
{
    std::printf("\n== %s\n", text.c_str());
}

// Shows the command that does the same, then does it.
void Step(Session &session, const std::string &command, ZorEncResult result)
{
    std::printf("   $ zorenc %s\n", command.c_str());
    std::fflush(stdout);
    session.Check(result, command);
}

void RunTour(Session &session, const WatchPlan &plan)
{
    const ZorEncHandle h = session.Handle();
    const int32_t ch = kTourChannel;
    const std::string c = std::to_string(ch) + " ";

    Heading("the board (zorenc info)");
    PrintInfo(session, false);

    Heading("a trigger on channel 0 at positions " + std::to_string(kTourTrigger0) + " and " +
            std::to_string(kTourTrigger1));
    Step(session, "set virtual-encoder-frequency " + c + "0",
         ZorEncSetVirtualEncoderFrequency(h, ch, 0));
    Step(session, "set encoder-direction " + c + "0", ZorEncSetEncoderDirection(h, ch, 0));
    Step(session, "set encoder-reset-value " + c + "0", ZorEncSetEncoderResetValue(h, ch, 0));
    Step(session, "set trigger-position0 " + c + std::to_string(kTourTrigger0),
         ZorEncSetTriggerPosition0(h, ch, kTourTrigger0));
    Step(session, "set trigger-position1 " + c + std::to_string(kTourTrigger1),
         ZorEncSetTriggerPosition1(h, ch, kTourTrigger1));
    Step(session, "set trigger-pulse-width " + c + "1", ZorEncSetTriggerPulseWidth(h, ch, 1.0));
    Step(session, "set trigger-delay " + c + "0", ZorEncSetTriggerDelay(h, ch, 0.0));
    Step(session, "clear encoder-position " + std::to_string(ch),
         ZorEncClearEncoderPosition(h, ch));
    Step(session, "clear trigger-count " + std::to_string(ch), ZorEncClearTriggerCount(h, ch));
    Step(session, "clear trigger-error-count " + std::to_string(ch), ZorEncClearErrorCount(h, ch));

    Heading("the virtual encoder of channel 0 at " + std::to_string(kTourFrequency) +
            " counts/s, the axis turning back at 0 and " + std::to_string(kTourTravel));
    Step(session, "set virtual-encoder-frequency " + c + std::to_string(kTourFrequency),
         ZorEncSetVirtualEncoderFrequency(h, ch, kTourFrequency));

    char heading[96];
    std::snprintf(heading, sizeof heading, "live status for %s s (zorenc status --watch)",
                  FormatReal(plan.seconds).c_str());
    Heading(heading);
    int32_t lowest = INT32_MAX;
    int32_t highest = INT32_MIN;
    uint32_t triggers = 0;
    int turns = 0;
    Watch(session, plan, [&](const Snapshot &snap) {
        lowest = std::min(lowest, snap.position[ch]);
        highest = std::max(highest, snap.position[ch]);
        triggers = snap.triggers[ch];
        const bool down = snap.direction[ch] != 0;
        if ((!down && snap.position[ch] >= kTourTravel) || (down && snap.position[ch] <= 0)) {
            session.Check(ZorEncSetEncoderDirection(h, ch, down ? 0 : 1),
                          "cannot turn the axis back");
            ++turns;
        }
    });

    Heading("stopping the virtual encoder");
    Step(session, "set virtual-encoder-frequency " + c + "0",
         ZorEncSetVirtualEncoderFrequency(h, ch, 0));

    std::printf("\nchannel 0 travelled between %d and %d, turned back %d time%s and fired %u "
                "trigger%s.\n",
                lowest, highest, turns, turns == 1 ? "" : "s", triggers, triggers == 1 ? "" : "s");
    if (!Interrupted() && (highest <= lowest || triggers == 0)) {
        throw BoardFailure(highest <= lowest
                               ? "the position of channel 0 did not move: the virtual encoder "
                                 "did not run"
                               : "channel 0 crossed its trigger positions without a trigger");
    }
}

WatchPlan MakeWatchPlan(const Invocation &inv, double seconds)
{
    WatchPlan plan;
    plan.seconds = (inv.options & kOptFor) ? inv.forSeconds : seconds;
    plan.intervalMs = inv.intervalMs;
    plan.json = inv.json;
    return plan;
}

} // namespace

Action PlanInfo(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageFailure("info takes no arguments");
    }
    const bool json = inv.json;
    return [json](Session &session) { PrintInfo(session, json); };
}

Action PlanStatus(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageFailure("status takes no arguments");
    }
    const bool watch = (inv.options & kOptWatch) != 0;
    if (!watch && (inv.options & (kOptFor | kOptInterval))) {
        throw UsageFailure(std::string((inv.options & kOptFor) ? "--for" : "--interval") +
                           " goes with --watch: zorenc status --watch --for SECONDS");
    }
    const WatchPlan plan = MakeWatchPlan(inv, 0);
    return [watch, plan](Session &session) {
        if (watch) {
            Watch(session, plan, nullptr);
            return;
        }
        const Snapshot snap = ReadStatus(session);
        if (plan.json) {
            PrintJson(StatusJson(snap));
            return;
        }
        for (const std::string &line : StatusLines(snap)) {
            std::printf("%s\n", line.c_str());
        }
    };
}

Action PlanTour(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageFailure("tour takes no arguments");
    }
    if (inv.json) {
        throw UsageFailure("tour is a demonstration for people and has no --json output; "
                           "use status --watch --json");
    }
    const WatchPlan plan = MakeWatchPlan(inv, 5);
    return [plan](Session &session) { RunTour(session, plan); };
}

} // namespace zorenc::cli
