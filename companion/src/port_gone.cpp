// Telling a port that is gone from a board that does not answer.
#include <cerrno>

#include "ports.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/stat.h>
#endif

namespace zorenc::companion {

bool IsNetworkPortName(const std::string &name)
{
    const std::size_t colon = name.find("://");
    if (colon == std::string::npos) {
        return false;
    }
    std::string scheme = name.substr(0, colon);
    for (char &c : scheme) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
    return scheme == "rfc2217" || scheme == "socket";
}

bool PortVanished(const std::string &name)
{
    if (IsNetworkPortName(name)) {
        return false;
    }
#if defined(_WIN32)
    const std::string device = name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
    char target[512];
    return QueryDosDeviceA(device.c_str(), target, sizeof target) == 0 &&
           GetLastError() == ERROR_FILE_NOT_FOUND;
#else
    struct stat st;
    return stat(name.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
#endif
}

bool PortGone(ZorEncHandle handle, const std::string &name, ZorEncResult result)
{
    if (result == ZORENC_OK || (result >= 1 && result <= 255)) {
        return false; // the board answered (0xFA too: a reply with a bad checksum)
    }
    if (result != ZORENC_ERR_NOT_OPEN && result != ZORENC_ERR_TIMEOUT) {
        return false;
    }
    return !ZorEncIsOpen(handle) || PortVanished(name);
}

Failure PortGoneFailure(const std::string &what, const std::string &name, ZorEncResult result)
{
    return Failure("board", what + ": the port " + name + " is gone",
                   {{"result", result}, {"reason", "port-gone"}});
}

} // namespace zorenc::companion
