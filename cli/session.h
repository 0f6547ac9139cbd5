// The board the tool talks to: a port opened through the library, or a
// simulated board started in this process, with frame tracing and a capture
// file on request.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zorenc.h"

namespace zorenc::cli {

struct Invocation;

class Session {
public:
    // Opens the port named by --port, or starts the simulated board for
    // --sim. Throws a board Failure when the port cannot be opened, a usage
    // Failure when no board was chosen or --sim is not built in.
    explicit Session(const Invocation &inv);
    ~Session(); // closes the port and the handler, stops a simulated board
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    ZorEncHandle Handle() const { return handle_; }
    const std::string &Port() const { return port_; }
    bool Simulated() const;

    // Throws a board Failure "<what>: <result as text>" unless result is
    // ZORENC_OK (the companion's CheckResult).
    void Check(ZorEncResult result, const std::string &what) const;

    // Whether the port is gone rather than the board silent, after a call
    // answered result (the companion's PortGone; never for --sim).
    bool Gone(ZorEncResult result) const;

    // Closes the port, if the library has not, and opens it again: by the
    // same name, or, for a port given by its identity (serial:SN, auto)
    // whose device has vanished, by the name the identity resolves to now
    // (an adapter plugged back may get another). True when it opened.
    bool Reopen();

    // Runs a command's work on the board. A failed call gets the tool's
    // advice after the companion's words: what to check on this port. A
    // failure that found the port gone says "the port NAME is gone" (detail
    // "reason": "port-gone") instead of the time-out.
    void Run(const std::function<void(Session &)> &work);

    // Ends the --capture file, if any: false, with the reason on stderr, when
    // a write to it failed (the file then ends with the last whole packet
    // before the failure). The destructor ends it too.
    bool EndCapture();

private:
    std::string GoneAdvice() const;

    struct Sim;
    std::unique_ptr<Sim> sim_;
    ZorEncHandle handle_ = 0;
    std::string port_;
    std::string identity_;               // --port as given, when an identity
    std::vector<std::string> candidates_; // --candidates, for resolving it
    std::string capture_; // the --capture file, empty when none
};

} // namespace zorenc::cli
