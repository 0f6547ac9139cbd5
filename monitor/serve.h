// The monitor's way in: serves one board or several over HTTP until told to
// stop. The zorenc tool's `monitor` command opens the boards and calls
// Serve.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "monitor_server.h"
#include "zorenc.h"

namespace zorenc::monitor {

// A --port value as the monitor reads it: NAME=PORT when what stands before
// the first '=' is a name (letters, digits, '-' and '_'), else PORT alone,
// named after the port (its characters other than letters, digits, '-' and
// '_' as '_', without /dev/: ttyUSB0, COM3, pts_4, rfc2217_10_0_0_7_7217).
// The handle is left 0.
BoardSpec ParseBoard(const std::string &value);

struct ServeOptions {
    // The boards, each with a handler of its port (open, or opened by its
    // thread once it can).
    std::vector<BoardSpec> boards;
    // "ADDRESS:PORT" to listen on; empty: loopback, port 8330 or the next
    // free one.
    std::string listen;
    // More names that clients may use for the monitor (--allow-host): a
    // host name or IP address each, as CheckAllowHosts gives them.
    std::vector<std::string> allowHosts;
    // Asked every 100 ms; true ends the serving (Ctrl-C).
    std::function<bool()> interrupted;
};

// Checks a listen value ("0.0.0.0:8330", "[::1]:0"); a usage Failure when
// it is malformed.
void CheckListen(const std::string &listen);
// Checks --allow-host names and gives them in the form the monitor compares;
// a usage Failure for one that is neither a host name nor an IP address.
std::vector<std::string> CheckAllowHosts(const std::vector<std::string> &names);

// Listens, prints the monitor's URL on stdout (and a warning on stderr when
// it listens beyond loopback) and serves until interrupted; refused requests
// and dropped connections are logged on stderr. Throws a board Failure when
// it cannot listen or start.
void Serve(const ServeOptions &options);

} // namespace zorenc::monitor
