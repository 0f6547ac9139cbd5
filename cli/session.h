// The board the tool talks to: a port opened through the library, or a
// simulated board started in this process, with frame tracing and a capture
// file on request.
#pragma once

#include <memory>
#include <string>

#include "zorenc.h"

namespace zorenc::cli {

struct Invocation;

// "no reply from the board within 1000 ms (ZORENC_ERR_TIMEOUT)".
std::string ResultText(ZorEncResult result);

class Session {
public:
    // Opens the port named by --port, or starts the simulated board for
    // --sim. Throws BoardError when the port cannot be opened, UsageError
    // when no board was chosen or --sim is not built in.
    explicit Session(const Invocation &inv);
    ~Session(); // closes the port and the handler, stops a simulated board
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    ZorEncHandle Handle() const { return handle_; }
    const std::string &Port() const { return port_; }
    bool Simulated() const;

    // Throws BoardError "<what>: <ResultText>" unless result is ZORENC_OK.
    void Check(ZorEncResult result, const std::string &what) const;

private:
    struct Sim;
    std::unique_ptr<Sim> sim_;
    ZorEncHandle handle_ = 0;
    std::string port_;
    std::string capture_; // the --capture file, empty when none
};

} // namespace zorenc::cli
