// Serial ports: what the system lists (with the USB identity of adapters),
// a parallel probe for boards, and choosing a port by identity.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "failure.h"
#include "json.h"
#include "zorenc.h"

namespace zorenc::companion {

// One serial port as the system describes it. Empty strings and missing
// numbers are unknown (null in JSON).
struct PortInfo {
    std::string name;                  // COM7, /dev/ttyUSB0
    std::string description;           // for people
    std::string transport = "unknown"; // usb, native, bluetooth, virtual, unknown
    std::optional<int> vid;            // USB vendor id
    std::optional<int> pid;            // USB product id
    std::string manufacturer;
    std::string product;
    std::string serialNumber;
    std::string location;              // USB bus location, such as 1-2:1.0
    std::optional<int> latencyTimerMs; // the adapter's latency timer, where exposed
};

// What the probe found on a port: "board" (with its versions; the logic
// version only when the board answered that read too), "no-answer", "busy"
// (another program holds the port) or "error" (with the reason).
struct ProbeResult {
    std::string result;
    std::optional<double> firmwareVersion;
    std::optional<double> logicVersion;
    std::string error;
};

struct PortRecord {
    PortInfo port;
    std::optional<ProbeResult> probe;
};

struct FindOptions {
    // Linux: the sysfs folder to read ("" = $ZORENC_SYSFS_ROOT, else /sys).
    std::string sysfsRoot;
    bool probe = false;
    // Ports to add to the listed ones (and probe) even when the system does
    // not list them, such as the simulated board's pseudo-terminals.
    std::vector<std::string> extra;
};

// The system's serial ports, sorted by name. Linux reads sysfs (placeholder
// UARTs of type 0 and ttys without a device are left out); Windows reads the
// registry's SERIALCOMM map and SetupAPI.
std::vector<PortInfo> ListPorts(const std::string &sysfsRoot = {});

// Sorts by name, numbers by value: ttyUSB2 before ttyUSB10, COM2 before COM10.
void SortPorts(std::vector<PortInfo> &ports);

// Probes every port at once, each on a thread of its own with a handler of
// its own, so that the whole probe lasts about one reply deadline (1 s). It
// sets ZORENC_QUIET=1 first unless the variable is set (QuietLibrary), so the
// library's open and close lines stay off stdout.
std::vector<ProbeResult> ProbePorts(const std::vector<std::string> &names);

// The listed ports plus the extra ones, probed when asked.
std::vector<PortRecord> FindPorts(const FindOptions &options);

// Whether a --port value names a port by identity ("auto", "serial:SN",
// "usb:VVVV:PPPP") rather than by name.
bool IsPortIdentity(const std::string &identity);

// The name of the one port that identity names: a plain name is returned as it
// is; "serial:SN" the USB adapter with that serial number, "usb:VVVV:PPPP"
// the adapter with those hexadecimal ids, "auto" the port where a probe of
// the listed and the extra ports finds a board. Throws Failure "usage" for a
// malformed identity and "not-found" (message and the key "found" listing
// what was seen) for none or several matches.
std::string ResolvePort(const std::string &identity, const FindOptions &options);

// The serial number of the USB adapter behind the port opened as name
// (/dev/ttyUSB0 or a link to it, COM7): empty when the system does not list
// it as a USB port, the adapter tells none, or the listing fails.
std::string UsbSerialNumber(const std::string &name, const std::string &sysfsRoot = {});

// Why ZorEncOpen refused a port, as well as the system tells: "no such
// device", "permission denied (...)", "not a serial device"; for the network
// names (rfc2217://HOST:PORT, socket://HOST:PORT) "cannot resolve host
// HOST", "connection refused by HOST:PORT", "no answer from HOST:PORT
// within 3 s", or "not a network port name (...)", from a connection tried
// here (closed at once).
std::string OpenFailureReason(const std::string &port);

// OpenFailureReason of a network port name.
std::string NetworkOpenFailureReason(const std::string &name);

// Whether name is a network port name (rfc2217:// or socket://, any case).
bool IsNetworkPortName(const std::string &name);

// Whether the device node of a local port no longer exists (an adapter
// pulled out, a simulated board unplugged). False for network names.
bool PortVanished(const std::string &name);

// Whether the port that handle had open as name is gone rather than silent,
// after a call answered result: the library closed it (a network connection
// that the server or the network closed answers ZORENC_ERR_NOT_OPEN at once
// and leaves the handle closed; so does a driver that kept a cancelled
// operation), or its device node vanished. Never for a board's status byte
// or success: the board answered.
bool PortGone(ZorEncHandle handle, const std::string &name, ZorEncResult result);

// The board Failure of a call that found the port gone: "<what>: the port
// NAME is gone", with the details "result" and "reason": "port-gone".
Failure PortGoneFailure(const std::string &what, const std::string &name, ZorEncResult result);

// The JSON record of a port (snake_case keys; "probe" only when probed).
Json PortJson(const PortRecord &record);

// "0403:6001 FTDI FT232R USB UART, serial A1B2C3" and the like, for lists.
std::string PortSummary(const PortRecord &record);

// How to lower an adapter's latency timer on this system.
std::string LatencyAdvice(const PortInfo &port);

// Windows hardware ids: "USB\VID_0403&PID_6001\A1B2C3",
// "USB\VID_2341&PID_0043&MI_00\6&1A2B3C&0&0000" (no serial: the last part is
// made up by Windows), "FTDIBUS\VID_0403+PID_6001+A1B2C3A\0000". Portable so
// that it is tested everywhere.
struct HardwareId {
    std::optional<int> vid;
    std::optional<int> pid;
    std::string serialNumber;
};
HardwareId ParseHardwareId(const std::string &id);

} // namespace zorenc::companion
