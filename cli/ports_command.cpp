// zorenc ports: the machine's serial ports with their USB identity, probed
// for boards on request. It needs no board of its own, so it does its work
// in its plan.
#include <cstdio>

#include "cli.h"
#include "failure.h"
#include "plans.h"
#include "ports.h"

namespace zorenc::cli {

namespace {

std::string Hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04x", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

std::string ProbeText(const companion::ProbeResult &probe)
{
    if (probe.result == "board") {
        std::string text = "board, firmware " + FormatReal(probe.firmwareVersion.value_or(0));
        if (probe.logicVersion) {
            text += ", logic " + FormatReal(*probe.logicVersion);
        }
        return text;
    }
    return probe.error.empty() ? probe.result : probe.result + ": " + probe.error;
}

void PrintTable(const std::vector<companion::PortRecord> &records, bool probed)
{
    if (records.empty()) {
        std::printf("no serial port found\n");
        return;
    }
    std::vector<std::string> header = {"PORT",     "TRANSPORT", "USB ID",     "SERIAL",
                                       "LOCATION", "LATENCY",   "DESCRIPTION"};
    if (probed) {
        header.push_back("PROBE");
    }
    Table table(header);
    for (const auto &record : records) {
        const auto &port = record.port;
        std::vector<std::string> row = {
            port.name,
            port.transport,
            port.vid && port.pid ? Hex4(*port.vid) + ":" + Hex4(*port.pid) : "-",
            port.serialNumber.empty() ? "-" : port.serialNumber,
            port.location.empty() ? "-" : port.location,
            port.latencyTimerMs ? std::to_string(*port.latencyTimerMs) + " ms" : "-",
            port.description};
        if (probed) {
            row.push_back(ProbeText(*record.probe));
        }
        table.Add(row);
    }
    table.Print();
}

} // namespace

Action PlanPorts(const Invocation &inv)
{
    if (inv.sim || !inv.port.empty()) {
        throw UsageFailure("ports takes no --port or --sim: name the ports to probe as arguments");
    }
    companion::FindOptions options;
    options.probe = (inv.options & kOptProbe) != 0;
    options.extra = inv.args;
    for (const auto &name : inv.candidates) {
        options.extra.push_back(name);
    }
    const auto records = companion::FindPorts(options);
    if (inv.json) {
        companion::Json list = companion::Json::array();
        for (const auto &record : records) {
            list.push_back(companion::PortJson(record));
        }
        std::printf("%s\n",
                    list.dump(-1, ' ', false, companion::Json::error_handler_t::replace).c_str());
    } else {
        PrintTable(records, options.probe);
    }
    std::fflush(stdout);
    for (const auto &record : records) {
        const auto &port = record.port;
        if (port.latencyTimerMs && *port.latencyTimerMs > 2) {
            std::fprintf(stderr,
                         "zorenc: warning: %s: the adapter's latency timer is %d ms, which "
                         "delays every reply; lower it to 1 ms: %s\n",
                         port.name.c_str(), *port.latencyTimerMs,
                         companion::LatencyAdvice(port).c_str());
        }
    }
    return nullptr;
}

std::string ResolvePortOption(const Invocation &inv)
{
    if (!companion::IsPortIdentity(inv.port)) {
        if (!inv.candidates.empty()) {
            throw UsageFailure("--candidates goes with --port auto");
        }
        return inv.port;
    }
    companion::FindOptions options;
    options.extra = inv.candidates;
    try {
        return companion::ResolvePort(inv.port, options);
    } catch (const companion::Failure &failure) {
        if (failure.Kind() == "usage") {
            throw UsageFailure(failure.what());
        }
        throw BoardFailure(failure.what());
    }
}

} // namespace zorenc::cli
