#include "serve.h"

#include <chrono>
#include <cstdio>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "failure.h"
#include "monitor_server.h"
#include "numbers.h"

namespace zorenc::monitor {

namespace {

constexpr uint16_t kDefaultPort = 8330;

struct Listen {
    std::string address = "127.0.0.1";
    uint16_t port = kDefaultPort;
    bool given = false;
};

Listen ParseListen(const std::string &text)
{
    Listen listen;
    if (text.empty()) {
        return listen;
    }
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        throw companion::UsageFailure("--listen takes ADDRESS:PORT, such as 0.0.0.0:8330, not '" +
                                      text + "'");
    }
    listen.address = text.substr(0, colon);
    if (listen.address.size() > 2 && listen.address.front() == '[' &&
        listen.address.back() == ']') {
        listen.address = listen.address.substr(1, listen.address.size() - 2);
    }
    // Port 0: any free port.
    listen.port = static_cast<uint16_t>(
        companion::ParseInteger(text.substr(colon + 1), "--listen PORT", 0, 65535));
    listen.given = true;
    return listen;
}

} // namespace

void CheckListen(const std::string &listen)
{
    ParseListen(listen);
}

void Serve(const ServeOptions &options)
{
    const Listen listen = ParseListen(options.listen);
    boost::asio::io_context io;
    Monitor monitor(io, options.handle, options.port);
    try {
        monitor.Listen(listen.address, listen.port, !listen.given);
    } catch (const std::exception &error) {
        throw companion::BoardFailure(error.what());
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
        throw companion::BoardFailure(error.what());
    }

    boost::asio::steady_timer tick(io);
    std::function<void()> watch = [&] {
        tick.expires_after(std::chrono::milliseconds(100));
        tick.async_wait([&](boost::system::error_code) {
            if (options.interrupted && options.interrupted()) {
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

} // namespace zorenc::monitor
