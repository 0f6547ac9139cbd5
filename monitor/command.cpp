// The monitor command: checks --listen, opens the board, serves until Ctrl-C.
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "cli.h"
#include "host.h"
#include "monitor.h"
#include "monitor_server.h"
#include "session.h"

namespace zorenc::cli {

namespace {

constexpr uint16_t kDefaultPort = 8330;

struct Listen {
    std::string address = "127.0.0.1";
    uint16_t port = kDefaultPort;
    bool given = false;
};

Listen ParseListen(const Invocation &inv)
{
    Listen listen;
    if (!(inv.options & kOptListen)) {
        return listen;
    }
    const std::string &text = inv.listen;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        throw UsageError("--listen takes ADDRESS:PORT, such as 0.0.0.0:8330, not '" + text + "'",
                         "monitor");
    }
    listen.address = text.substr(0, colon);
    if (listen.address.size() > 2 && listen.address.front() == '[' &&
        listen.address.back() == ']') {
        listen.address = listen.address.substr(1, listen.address.size() - 2);
    }
    // Port 0: any free port.
    listen.port =
        static_cast<uint16_t>(ParseInteger(text.substr(colon + 1), "--listen PORT", 0, 65535));
    listen.given = true;
    return listen;
}

void Serve(Session &session, const Listen &listen)
{
    boost::asio::io_context io;
    monitor::Monitor monitor(io, session.Handle(), session.Port());
    try {
        monitor.Listen(listen.address, listen.port, !listen.given);
    } catch (const std::exception &error) {
        throw BoardError(error.what());
    }
    if (!monitor.Access().Loopback()) {
        std::fprintf(stderr,
                     "zorenc: warning: the monitor listens on %s, beyond this machine: anyone who "
                     "can reach it and has the URL below can drive the board\n",
                     listen.address.c_str());
    }
    std::printf("zorenc monitor: %s\n", monitor.Access().Url().c_str());
    std::fflush(stdout);
    try {
        monitor.Start();
    } catch (const std::exception &error) {
        throw BoardError(error.what());
    }

    CatchInterrupts();
    boost::asio::steady_timer tick(io);
    std::function<void()> watch = [&] {
        tick.expires_after(std::chrono::milliseconds(100));
        tick.async_wait([&](boost::system::error_code) {
            if (Interrupted()) {
                monitor.Stop();
                io.stop();
                return;
            }
            watch();
        });
    };
    watch();
    io.run();
    monitor.Stop();
}

} // namespace

Action PlanMonitor(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageError("monitor takes no arguments", "monitor");
    }
    const Listen listen = ParseListen(inv);
    return [listen](Session &session) { Serve(session, listen); };
}

} // namespace zorenc::cli
