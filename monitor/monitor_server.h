// The monitor: its endpoints over the board thread. Everything here runs on
// the HTTP server's thread; board work is posted to the board thread and its
// answer comes back as a posted reply. Samples arrive from the board thread
// and are pushed in batches to every event stream alike.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

#include "board_thread.h"
#include "http_server.h"
#include "json.h"
#include "security.h"

namespace zorenc::monitor {

class Monitor {
public:
    static constexpr int kPushMs = 50;         // samples go out in batches this often
    static constexpr int kKeepAliveMs = 15000; // a comment on quiet streams

    // logger: where the server's lines for the operator go (none: nowhere).
    Monitor(boost::asio::io_context &io, ZorEncHandle handle, std::string port, Logger logger = {});
    ~Monitor();
    Monitor(const Monitor &) = delete;
    Monitor &operator=(const Monitor &) = delete;

    // Listens (see HttpServer::Listen) and lets in who may use the monitor
    // there (Admit). Throws std::runtime_error.
    void Listen(const std::string &address, uint16_t port, bool tryNext,
                const std::vector<std::string> &allowHosts = {});
    // Who may use the monitor served at address:port (see Security).
    void Admit(const std::string &address, unsigned port,
               const std::vector<std::string> &allowHosts);
    // Starts the board thread. It silences stdout while it reopens a port
    // (the library's chatter), so whatever is to be printed is printed
    // before. Throws std::runtime_error.
    void Start();
    const Security &Access() const { return *security_; }
    void Stop();

    // Answers one request: the server's handler, which the fuzz target calls
    // without sockets (after Admit).
    void Handle(const HttpRequest &request, Reply reply);

private:
    using Json = companion::Json;
    using Work = std::function<Json(ZorEncHandle)>;

    void Route(const HttpRequest &request, Reply &reply);
    void OnBoard(Reply reply, Work work);
    HttpResponse OpenStream();
    Json SessionJson() const;
    Json StateJson() const;

    void OnPositions(const PositionSample &sample);
    void OnStatus(const StatusSample &status);
    void OnState(LinkState state, const std::string &detail);
    void Push();
    void SchedulePush();

    boost::asio::io_context &io_;
    std::string port_;
    std::string shownPort_; // the port's name as answers show it (always UTF-8)
    HttpServer server_;
    BoardThread board_;
    std::unique_ptr<Security> security_;
    boost::asio::steady_timer pushTimer_;
    bool stopped_ = false;

    std::vector<PositionSample> pending_;
    PositionSample lastPositions_;
    bool havePositions_ = false;
    Json lastStatus_;
    LinkState state_ = LinkState::kConnected;
    std::string stateDetail_;
    bool stateKnown_ = false;
    int quietMs_ = 0;
};

} // namespace zorenc::monitor
