#include "serve.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "failure.h"
#include "http_request.h"
#include "monitor_server.h"
#include "numbers.h"
#include "security.h"

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

BoardSpec ParseBoard(const std::string &value)
{
    auto nameChar = [](unsigned char c) { return std::isalnum(c) || c == '-' || c == '_'; };
    BoardSpec board;
    const size_t eq = value.find('=');
    if (eq != std::string::npos && eq > 0 &&
        std::all_of(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(eq), nameChar)) {
        board.name = value.substr(0, eq);
        board.port = value.substr(eq + 1);
        if (board.port.empty()) {
            throw companion::UsageFailure("--port " + value + " names no port");
        }
        return board;
    }
    board.port = value;
    const std::string shown = value.rfind("/dev/", 0) == 0 ? value.substr(5) : value;
    for (const char c : shown) {
        if (nameChar(static_cast<unsigned char>(c))) {
            board.name += c;
        } else if (!board.name.empty() && board.name.back() != '_') {
            board.name += '_';
        }
    }
    while (!board.name.empty() && board.name.back() == '_') {
        board.name.pop_back();
    }
    board.name = board.name.substr(0, 64);
    if (board.name.empty()) {
        board.name = "board";
    }
    return board;
}

void CheckListen(const std::string &listen)
{
    ParseListen(listen);
}

std::vector<std::string> CheckAllowHosts(const std::vector<std::string> &names)
{
    std::vector<std::string> checked;
    for (const std::string &name : names) {
        checked.push_back(AllowedHostName(name));
        if (checked.back().empty()) {
            throw companion::UsageFailure("--allow-host takes a host name or an IP address "
                                          "without a port, such as monitor.example, not '" +
                                          EscapeInvalidUtf8(name) + "'");
        }
    }
    return checked;
}

void Serve(const ServeOptions &options)
{
    const Listen listen = ParseListen(options.listen);
    const std::vector<std::string> allowHosts = CheckAllowHosts(options.allowHosts);
    boost::asio::io_context io;
    Monitor monitor(io, options.boards, [](const std::string &line) {
        std::fprintf(stderr, "zorenc monitor: %s\n", EscapeInvalidUtf8(line).c_str());
        std::fflush(stderr);
    });
    try {
        monitor.Listen(listen.address, listen.port, !listen.given, allowHosts);
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
    // What a handler throws is caught where it runs (each connection catches
    // its own); anything else is reported and the serving goes on.
    for (;;) {
        try {
            io.run();
            break;
        } catch (const std::exception &error) {
            std::fprintf(stderr, "zorenc monitor: internal error (serving on): %s\n", error.what());
        } catch (...) {
            std::fprintf(stderr, "zorenc monitor: internal error (serving on)\n");
        }
    }
    monitor.Stop();
}

} // namespace zorenc::monitor
