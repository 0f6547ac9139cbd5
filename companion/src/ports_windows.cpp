// The serial ports of a Windows machine: the names from the registry's
// SERIALCOMM map, described by SetupAPI where it has a device node for them
// (USB ids and serial number from the hardware id, the FTDI latency timer
// from the device's parameters). Wine fills SERIALCOMM but makes no nodes.
#if defined(_WIN32)

// clang-format off
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
#include <cfgmgr32.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "ports.h"
#include "text.h"

namespace zorenc::companion {

namespace {

// Bounds every enumeration: no machine has more ports than this.
constexpr DWORD kMaxEntries = 4096;

std::string Transport(const std::string &device)
{
    std::string lower = device;
    for (auto &c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (lower.find("bth") != std::string::npos) {
        return "bluetooth";
    }
    if (lower.find("usb") != std::string::npos || lower.find("vcp") != std::string::npos ||
        lower.find("silab") != std::string::npos || lower.find("prolific") != std::string::npos) {
        return "usb";
    }
    if (lower.find("\\device\\serial") == 0) {
        return "native";
    }
    if (lower.find("com0com") != std::string::npos) {
        return "virtual";
    }
    return "unknown";
}

std::vector<PortInfo> FromSerialComm()
{
    std::vector<PortInfo> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD i = 0; i < kMaxEntries; ++i) {
        char device[256];
        DWORD deviceSize = sizeof device;
        BYTE data[256];
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        const LONG status =
            RegEnumValueA(key, i, device, &deviceSize, nullptr, &type, data, &dataSize);
        if (status == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (status != ERROR_SUCCESS || type != REG_SZ) {
            continue;
        }
        data[dataSize] = 0;
        PortInfo port;
        port.name = reinterpret_cast<const char *>(data);
        port.transport = Transport(device);
        port.description = std::string("Serial port (") + device + ")";
        if (!port.name.empty()) {
            ports.push_back(std::move(port));
        }
    }
    RegCloseKey(key);
    return ports;
}

std::string Property(HDEVINFO set, SP_DEVINFO_DATA &info, DWORD property)
{
    char text[512];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyA(set, &info, property, &type,
                                           reinterpret_cast<BYTE *>(text), sizeof text - 1,
                                           nullptr)) {
        return {};
    }
    text[sizeof text - 1] = 0;
    // The first string of a multi-string, in the system's code page: bytes
    // that are not UTF-8 are escaped.
    return EscapeNonUtf8(text);
}

std::string DeviceId(DEVINST instance)
{
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    return CM_Get_Device_IDA(instance, id, MAX_DEVICE_ID_LEN, 0) == CR_SUCCESS ? id : "";
}

void Describe(HDEVINFO set, SP_DEVINFO_DATA &info, PortInfo &port)
{
    const std::string friendly = Property(set, info, SPDRP_FRIENDLYNAME);
    if (!friendly.empty()) {
        port.description = friendly;
    }
    std::string id = DeviceId(info.DevInst);
    HardwareId parsed = ParseHardwareId(id);
    DEVINST parent = 0;
    if (parsed.vid && parsed.serialNumber.empty() &&
        CM_Get_Parent(&parent, info.DevInst, 0) == CR_SUCCESS) {
        // One interface of a composite device: the serial is its parent's.
        const HardwareId outer = ParseHardwareId(DeviceId(parent));
        if (outer.vid == parsed.vid) {
            parsed.serialNumber = outer.serialNumber;
        }
    }
    if (parsed.vid) {
        port.transport = "usb";
        port.vid = parsed.vid;
        port.pid = parsed.pid;
        port.serialNumber = parsed.serialNumber;
        port.manufacturer = Property(set, info, SPDRP_MFG);
        port.product = Property(set, info, SPDRP_DEVICEDESC);
        port.location = Property(set, info, SPDRP_LOCATION_INFORMATION);
    }
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key != INVALID_HANDLE_VALUE) {
        DWORD latency = 0;
        DWORD size = sizeof latency;
        DWORD type = 0;
        if (RegQueryValueExA(key, "LatencyTimer", nullptr, &type,
                             reinterpret_cast<BYTE *>(&latency), &size) == ERROR_SUCCESS &&
            type == REG_DWORD && latency <= 255) {
            port.latencyTimerMs = static_cast<int>(latency);
        }
        RegCloseKey(key);
    }
}

std::string PortName(HDEVINFO set, SP_DEVINFO_DATA &info)
{
    HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) {
        return {};
    }
    char name[64] = {};
    DWORD size = sizeof name - 1;
    DWORD type = 0;
    const bool found = RegQueryValueExA(key, "PortName", nullptr, &type,
                                        reinterpret_cast<BYTE *>(name), &size) == ERROR_SUCCESS &&
                       type == REG_SZ;
    RegCloseKey(key);
    return found ? name : "";
}

} // namespace

std::vector<PortInfo> ListPorts(const std::string &)
{
    std::vector<PortInfo> ports = FromSerialComm();
    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set != INVALID_HANDLE_VALUE) {
        for (DWORD i = 0; i < kMaxEntries; ++i) {
            SP_DEVINFO_DATA info{};
            info.cbSize = sizeof info;
            if (!SetupDiEnumDeviceInfo(set, i, &info)) {
                break;
            }
            const std::string name = PortName(set, info);
            auto port = std::find_if(ports.begin(), ports.end(),
                                     [&](const PortInfo &p) { return p.name == name; });
            if (!name.empty() && port != ports.end()) {
                Describe(set, info, *port);
            }
        }
        SetupDiDestroyDeviceInfoList(set);
    }
    SortPorts(ports);
    return ports;
}

std::string OpenFailureReason(const std::string &port)
{
    if (IsNetworkPortName(port)) {
        return NetworkOpenFailureReason(port);
    }
    return "no such port, or it is in use by another program";
}

} // namespace zorenc::companion

#endif
