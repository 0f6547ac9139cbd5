// The portable part of the ports: records, identities and their resolution.
#include "ports.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "failure.h"

namespace zorenc::companion {

namespace {

Json TextOrNull(const std::string &text)
{
    return text.empty() ? Json(nullptr) : Json(text);
}

template <typename T> Json NumberOrNull(const std::optional<T> &value)
{
    return value ? Json(*value) : Json(nullptr);
}

std::string Hex4(int value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value) & 0xFFFFu);
    return text;
}

std::string Upper(std::string text)
{
    for (auto &c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Four hexadecimal digits, or nothing.
std::optional<int> ParseHex4(const std::string &text)
{
    if (text.size() != 4 || !std::all_of(text.begin(), text.end(), [](char c) {
            return std::isxdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return std::nullopt;
    }
    return static_cast<int>(std::strtol(text.c_str(), nullptr, 16));
}

[[noreturn]] void NotFound(const std::string &what, const std::vector<PortRecord> &seen)
{
    Json found = Json::array();
    std::string list;
    for (const auto &record : seen) {
        found.push_back(PortJson(record));
        list += (list.empty() ? "" : "; ") + PortSummary(record);
    }
    throw Failure("not-found", what + "; found: " + (list.empty() ? "no serial port" : list),
                  Json{{"found", found}});
}

// A port's name as the listing gives it: the target of a link
// (/dev/serial/by-id/...) natively, COM7 for \\.\com7 on Windows.
std::string ListedName(const std::string &name)
{
#if defined(_WIN32)
    return Upper(name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name);
#else
    char resolved[PATH_MAX];
    return realpath(name.c_str(), resolved) != nullptr ? std::string(resolved) : name;
#endif
}

} // namespace

void SortPorts(std::vector<PortInfo> &ports)
{
    auto key = [](const std::string &s) {
        std::size_t digits = s.size();
        while (digits > 0 && std::isdigit(static_cast<unsigned char>(s[digits - 1]))) {
            --digits;
        }
        const long number = digits < s.size() ? std::strtol(s.c_str() + digits, nullptr, 10) : -1;
        return std::make_pair(s.substr(0, digits), number);
    };
    std::sort(ports.begin(), ports.end(),
              [&](const PortInfo &a, const PortInfo &b) { return key(a.name) < key(b.name); });
}

Json PortJson(const PortRecord &record)
{
    const PortInfo &port = record.port;
    Json json = {{"name", port.name},
                 {"description", port.description},
                 {"transport", port.transport},
                 {"vid", NumberOrNull(port.vid)},
                 {"pid", NumberOrNull(port.pid)},
                 {"manufacturer", TextOrNull(port.manufacturer)},
                 {"product", TextOrNull(port.product)},
                 {"serial_number", TextOrNull(port.serialNumber)},
                 {"location", TextOrNull(port.location)},
                 {"latency_timer_ms", NumberOrNull(port.latencyTimerMs)}};
    if (record.probe) {
        const ProbeResult &probe = *record.probe;
        json["probe"] = {{"result", probe.result},
                         {"firmware_version", NumberOrNull(probe.firmwareVersion)},
                         {"logic_version", NumberOrNull(probe.logicVersion)},
                         {"error", TextOrNull(probe.error)}};
    }
    return json;
}

std::string PortSummary(const PortRecord &record)
{
    const PortInfo &port = record.port;
    std::string text = port.name + " (" + port.transport;
    if (port.vid && port.pid) {
        text += " " + Hex4(*port.vid) + ":" + Hex4(*port.pid);
    }
    if (!port.serialNumber.empty()) {
        text += " serial " + port.serialNumber;
    }
    if (record.probe) {
        text += ", " + record.probe->result;
    }
    return text + ")";
}

std::string LatencyAdvice(const PortInfo &port)
{
#if defined(_WIN32)
    return "Device Manager > " + port.name +
           " > Port Settings > Advanced > Latency Timer (msec): set 1";
#else
    const auto slash = port.name.rfind('/');
    const std::string tty = slash == std::string::npos ? port.name : port.name.substr(slash + 1);
    return "echo 1 | sudo tee /sys/bus/usb-serial/devices/" + tty +
           "/latency_timer (until the adapter is plugged again; a udev rule keeps it)";
#endif
}

HardwareId ParseHardwareId(const std::string &id)
{
    HardwareId parsed;
    const std::string upper = Upper(id);
    const auto vid = upper.find("VID_");
    if (vid == std::string::npos) {
        return parsed;
    }
    parsed.vid = ParseHex4(upper.substr(vid + 4, 4));
    const auto pid = upper.find("PID_", vid);
    if (pid != std::string::npos) {
        parsed.pid = ParseHex4(upper.substr(pid + 4, 4));
    }
    if (!parsed.vid || !parsed.pid) {
        return {};
    }
    const std::size_t afterPid = pid + 8;
    if (afterPid < id.size() && id[afterPid] == '+') {
        // FTDI's own bus: VID_xxxx+PID_xxxx+SERIAL\port
        const auto end = id.find('\\', afterPid + 1);
        parsed.serialNumber = id.substr(
            afterPid + 1, end == std::string::npos ? std::string::npos : end - afterPid - 1);
        return parsed;
    }
    // USB\VID_xxxx&PID_xxxx[&MI_xx]\INSTANCE: the instance is the adapter's
    // serial number unless Windows made it up (it then holds '&').
    const auto slash = id.find('\\', afterPid);
    if (slash != std::string::npos) {
        const std::string instance = id.substr(slash + 1);
        if (!instance.empty() && instance.find('&') == std::string::npos &&
            instance.find('\\') == std::string::npos) {
            parsed.serialNumber = instance;
        }
    }
    return parsed;
}

std::vector<PortRecord> FindPorts(const FindOptions &options)
{
    std::vector<PortRecord> records;
    for (auto &port : ListPorts(options.sysfsRoot)) {
        records.push_back({std::move(port), std::nullopt});
    }
    for (const auto &name : options.extra) {
        const bool listed = std::any_of(records.begin(), records.end(),
                                        [&](const PortRecord &r) { return r.port.name == name; });
        if (!listed) {
            PortInfo port;
            port.name = name;
            port.description = "named by the caller; not listed by the system";
            if (name.rfind("/dev/pts/", 0) == 0) {
                port.transport = "virtual";
            }
            records.push_back({std::move(port), std::nullopt});
        }
    }
    if (options.probe) {
        std::vector<std::string> names;
        for (const auto &record : records) {
            names.push_back(record.port.name);
        }
        auto results = ProbePorts(names);
        for (std::size_t i = 0; i < records.size(); ++i) {
            records[i].probe = std::move(results[i]);
        }
    }
    return records;
}

std::string UsbSerialNumber(const std::string &name, const std::string &sysfsRoot)
{
    try {
        const std::string wanted = ListedName(name);
        for (const auto &port : ListPorts(sysfsRoot)) {
            if (port.transport == "usb" && (port.name == name || ListedName(port.name) == wanted)) {
                return port.serialNumber;
            }
        }
    } catch (const std::exception &) { // not known, then
    }
    return {};
}

bool IsPortIdentity(const std::string &identity)
{
    return identity == "auto" || identity.rfind("serial:", 0) == 0 ||
           identity.rfind("usb:", 0) == 0;
}

std::string ResolvePort(const std::string &identity, const FindOptions &options)
{
    if (!IsPortIdentity(identity)) {
        return identity;
    }
    FindOptions find = options;
    std::function<bool(const PortRecord &)> matches;
    std::string what;
    if (identity == "auto") {
        find.probe = true;
        matches = [](const PortRecord &r) { return r.probe && r.probe->result == "board"; };
        what = "a board";
    } else if (identity.rfind("serial:", 0) == 0) {
        const std::string serial = identity.substr(7);
        if (serial.empty()) {
            throw Failure("usage", "serial: needs the adapter's serial number (serial:A1B2C3)");
        }
        find.probe = false;
        matches = [serial](const PortRecord &r) { return r.port.serialNumber == serial; };
        what = "a USB adapter with serial number " + serial;
    } else {
        const std::string ids = identity.substr(4);
        const auto colon = ids.find(':');
        const auto vid = ParseHex4(ids.substr(0, colon));
        const auto pid =
            colon == std::string::npos ? std::nullopt : ParseHex4(ids.substr(colon + 1));
        if (!vid || !pid) {
            throw Failure("usage", "'" + identity +
                                       "' is not a USB identity: give usb:VVVV:PPPP with "
                                       "hexadecimal vendor and product ids, such as usb:0403:6001");
        }
        find.probe = false;
        matches = [vid, pid](const PortRecord &r) {
            return r.port.vid == vid && r.port.pid == pid;
        };
        what = "a USB adapter " + Hex4(*vid) + ":" + Hex4(*pid);
    }
    const auto records = FindPorts(find);
    std::vector<const PortRecord *> found;
    for (const auto &record : records) {
        if (matches(record)) {
            found.push_back(&record);
        }
    }
    if (found.size() == 1) {
        return found.front()->port.name;
    }
    NotFound((found.empty() ? "no port with " : "more than one port with ") + what + " for '" +
                 identity + "'",
             records);
}

} // namespace zorenc::companion
