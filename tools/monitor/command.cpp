// The monitor command: checks --listen, opens the board, serves until Ctrl-C.
#include <chrono>
#include <cstdio>
#include <string>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "cli.h"
#include "host.h"
#include "http_server.h"
#include "monitor.h"
#include "page.h"
#include "session.h"

namespace zortool {

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
    listen.port =
        static_cast<uint16_t>(ParseInteger(text.substr(colon + 1), "--listen PORT", 1, 65535));
    listen.given = true;
    return listen;
}

void Serve(Session &session, const Listen &listen)
{
    (void)session;
    boost::asio::io_context io;
    zormon::HttpServer server(io, [](const zormon::HttpRequest &request, zormon::Reply reply) {
        zormon::HttpResponse response;
        if (request.path == "/") {
            response.contentType = "text/html; charset=utf-8";
            response.body = zormon::IndexPage();
        } else {
            response.status = 404;
            response.body = R"({"ok": false, "error": {"kind": "not-found"}})";
        }
        reply(std::move(response));
    });
    uint16_t port = 0;
    try {
        port = server.Listen(listen.address, listen.port, !listen.given);
    } catch (const std::exception &error) {
        throw BoardError(error.what());
    }
    std::printf("zorenc monitor: http://%s:%u/\n", listen.address.c_str(), port);
    std::fflush(stdout);

    CatchInterrupts();
    boost::asio::steady_timer tick(io);
    std::function<void()> watch = [&] {
        tick.expires_after(std::chrono::milliseconds(100));
        tick.async_wait([&](boost::system::error_code) {
            if (Interrupted()) {
                server.Close();
                io.stop();
                return;
            }
            watch();
        });
    };
    watch();
    io.run();
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

} // namespace zortool
