// The serial ports of a Linux machine, as udev exposes them under sysfs: each
// tty in class/tty whose device is a USB interface, a UART or a Bluetooth
// link. The root is a parameter so that tests read a tree of their own.
#if !defined(_WIN32)

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "ports.h"
#include "text.h"

namespace zorenc::companion {

namespace fs = std::filesystem;

namespace {

// The first line of a sysfs attribute; empty when it is missing. A USB
// device's strings are whatever bytes it sends: those that are not UTF-8 are
// escaped.
std::string Attribute(const fs::path &path)
{
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return EscapeNonUtf8(line);
}

std::optional<int> Number(const std::string &text, int base)
{
    if (text.empty()) {
        return std::nullopt;
    }
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, base);
    if (*end != '\0' || value < 0 || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

fs::path Resolved(const fs::path &path)
{
    std::error_code error;
    fs::path resolved = fs::canonical(path, error);
    return error ? fs::path() : resolved;
}

void AddUsbIdentity(PortInfo &port, const fs::path &interface)
{
    const fs::path device = interface.parent_path();
    port.transport = "usb";
    port.vid = Number(Attribute(device / "idVendor"), 16);
    port.pid = Number(Attribute(device / "idProduct"), 16);
    port.manufacturer = Attribute(device / "manufacturer");
    port.product = Attribute(device / "product");
    port.serialNumber = Attribute(device / "serial");
    port.location = interface.filename().string();
    const std::string interfaceName = Attribute(interface / "interface");
    port.description = !port.product.empty()        ? port.product
                       : !interfaceName.empty()     ? interfaceName
                       : !port.manufacturer.empty() ? port.manufacturer + " USB serial adapter"
                                                    : "USB serial adapter";
}

std::optional<PortInfo> Describe(const fs::path &entry)
{
    const std::string tty = entry.filename().string();
    PortInfo port;
    port.name = "/dev/" + tty;
    const fs::path device = Resolved(entry / "device");
    if (device.empty()) {
        if (tty.rfind("rfcomm", 0) == 0) {
            port.transport = "bluetooth";
            port.description = "Bluetooth serial link";
            return port;
        }
        return std::nullopt; // virtual consoles, ptmx, console: no device
    }
    const std::string subsystem = Resolved(device / "subsystem").filename().string();
    if (subsystem == "usb-serial") {
        // The adapter's driver port (ttyUSBn): its parent is the interface.
        AddUsbIdentity(port, device.parent_path());
        port.latencyTimerMs = Number(Attribute(device / "latency_timer"), 10);
    } else if (subsystem == "usb") {
        AddUsbIdentity(port, device); // CDC ACM: the device is the interface
    } else if (subsystem == "bluetooth" || tty.rfind("rfcomm", 0) == 0) {
        port.transport = "bluetooth";
        port.description = "Bluetooth serial link";
    } else {
        // A UART of the machine; the 8250 driver registers placeholders of
        // type 0 (no UART found) for every possible ttyS.
        const std::string type = Attribute(entry / "type");
        if (!type.empty() && type == "0") {
            return std::nullopt;
        }
        port.transport = "native";
        port.description = "Built-in serial port";
    }
    return port;
}

} // namespace

std::vector<PortInfo> ListPorts(const std::string &sysfsRoot)
{
    std::string root = sysfsRoot;
    if (root.empty()) {
        const char *env = std::getenv("ZORENC_SYSFS_ROOT");
        root = env != nullptr && *env != '\0' ? env : "/sys";
    }
    std::vector<PortInfo> ports;
    std::error_code error;
    fs::directory_iterator it(fs::path(root) / "class" / "tty", error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        if (auto port = Describe(it->path())) {
            ports.push_back(std::move(*port));
        }
    }
    SortPorts(ports);
    return ports;
}

std::string OpenFailureReason(const std::string &port)
{
    if (IsNetworkPortName(port)) {
        return NetworkOpenFailureReason(port);
    }
    struct stat st;
    if (stat(port.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return "no such device";
        }
        return std::strerror(errno);
    }
    if (!S_ISCHR(st.st_mode)) {
        return "not a serial device";
    }
    if (access(port.c_str(), R_OK | W_OK) != 0) {
        if (errno == EACCES) {
            return "permission denied (is your user in the group that owns the port, such as "
                   "dialout?)";
        }
        return std::strerror(errno);
    }
    return "the port could not be opened or configured (is another program using it?)";
}

} // namespace zorenc::companion

#endif
