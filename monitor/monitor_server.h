// The monitor: its endpoints over the board threads, one thread per board.
// Everything here runs on the HTTP server's thread; board work is posted to
// the board's thread and its answer comes back as a posted reply. Samples
// arrive from the board threads and are pushed in batches to every event
// stream of that board alike. With one board its endpoints are at /api/...;
// with several, board NAME's are at /board/NAME/api/... and / is the
// overview of all (docs/monitor.md).
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

// A board to watch: its name (letters, digits, '-' and '_'), its port and a
// handler of that port (opened or not: the board thread opens it once it
// can).
struct BoardSpec {
    std::string name;
    std::string port;
    ZorEncHandle handle = 0;
};

class Monitor {
public:
    static constexpr int kPushMs = 50;         // samples go out in batches this often
    static constexpr int kKeepAliveMs = 15000; // a comment on quiet streams
    static constexpr size_t kMaxBoards = BoardThread::kMaxBoards;

    // logger: where the server's lines for the operator go (none: nowhere).
    // boards: 1 to kMaxBoards of them, names told apart (checked by
    // CheckBoards; std::invalid_argument otherwise).
    Monitor(boost::asio::io_context &io, std::vector<BoardSpec> boards, Logger logger = {});
    // One board, called "board".
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
    // Starts the board threads, with the library's lines off in this
    // process (ZORENC_QUIET) from here on. Throws std::runtime_error.
    void Start();
    const Security &Access() const { return *security_; }
    void Stop();

    // Answers one request: the server's handler, which the fuzz target calls
    // without sockets (after Admit).
    void Handle(const HttpRequest &request, Reply reply);

    // The metrics of every board in the text format (GET /metrics).
    std::string MetricsText() const;

private:
    using Json = companion::Json;
    using Work = std::function<Json(ZorEncHandle)>;

    // One board: its thread and what the HTTP thread keeps of it.
    struct Board {
        int topic = 0; // its event streams' topic: its index
        std::string name;
        std::string port;
        std::string shownPort; // the port's name as answers show it (always UTF-8)
        std::unique_ptr<BoardThread> thread;
        std::vector<PositionSample> pending;
        PositionSample lastPositions;
        bool havePositions = false;
        Json lastStatus;
        double lastAnswer = 0; // seconds since the start of the last sample, 0: none
        LinkState state = LinkState::kConnected;
        std::string stateDetail;
        bool stateKnown = false;
        int quietMs = 0;
    };

    void Route(const HttpRequest &request, Reply &reply);
    void RouteBoard(Board &board, const std::string &path, const HttpRequest &request,
                    Reply &reply);
    void OnBoard(Board &board, Reply reply, Work work);
    HttpResponse OpenStream(const Board &board);
    Json SessionJson(const Board *board) const;
    Json StateJson(const Board &board) const;
    Json OverviewJson() const;

    void OnPositions(Board &board, const PositionSample &sample);
    void OnStatus(Board &board, const StatusSample &status);
    void OnState(Board &board, LinkState state, const std::string &detail);
    void Push();
    void SchedulePush();

    boost::asio::io_context &io_;
    HttpServer server_;
    std::vector<std::unique_ptr<Board>> boards_;
    std::unique_ptr<Security> security_;
    boost::asio::steady_timer pushTimer_;
    bool stopped_ = false;
};

// Checks the boards' names: 1 to Monitor::kMaxBoards boards, each name of
// letters, digits, '-' and '_' (at most 64), no name or port twice. Throws a
// usage Failure saying what is wrong.
void CheckBoards(const std::vector<BoardSpec> &boards);

} // namespace zorenc::monitor
