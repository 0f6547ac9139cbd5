#include "monitor_server.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include <boost/asio/post.hpp>

#include "failure.h"
#include "library_quiet.h"
#include "zorenc_version.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zorenc::monitor {

namespace asio = boost::asio;

namespace {

// Sample times go out as whole milliseconds since the monitor started.
int64_t Millis(double seconds)
{
    return std::llround(seconds * 1000.0);
}

// One sample's positions, channel 0 first.
companion::Json PositionsJson(const PositionSample &s)
{
    companion::Json positions = companion::Json::array();
    for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
        positions.push_back(s.position[ch]);
    }
    return positions;
}

std::string Event(const char *name, const companion::Json &data)
{
    return std::string("event: ") + name + "\ndata: " + companion::DumpCompact(data) + "\n\n";
}

} // namespace

void CheckBoards(const std::vector<BoardSpec> &boards)
{
    if (boards.empty() || boards.size() > Monitor::kMaxBoards) {
        throw companion::UsageFailure("the monitor watches 1 to " +
                                      std::to_string(Monitor::kMaxBoards) + " boards, not " +
                                      std::to_string(boards.size()));
    }
    for (size_t i = 0; i < boards.size(); ++i) {
        const std::string &name = boards[i].name;
        const bool word = !name.empty() && name.size() <= 64 &&
                          std::all_of(name.begin(), name.end(), [](unsigned char c) {
                              return std::isalnum(c) || c == '-' || c == '_';
                          });
        if (!word) {
            throw companion::UsageFailure("a board's name is letters, digits, '-' and '_' (at "
                                          "most 64), not '" +
                                          EscapeInvalidUtf8(name) + "'");
        }
        for (size_t j = 0; j < i; ++j) {
            if (boards[j].name == name) {
                throw companion::UsageFailure("two boards are named '" + name +
                                              "': name them with --port NAME=PORT");
            }
            if (boards[j].port == boards[i].port) {
                throw companion::UsageFailure("the port '" + EscapeInvalidUtf8(boards[i].port) +
                                              "' is given twice");
            }
        }
    }
}

Monitor::Monitor(asio::io_context &io, ZorEncHandle handle, std::string port, Logger logger)
    : Monitor(io, {BoardSpec{"board", std::move(port), handle}}, std::move(logger))
{
}

Monitor::Monitor(asio::io_context &io, std::vector<BoardSpec> boards, Logger logger)
    : io_(io), server_(
                   io, [this](const HttpRequest &request, Reply reply) { Handle(request, reply); },
                   std::move(logger)),
      pushTimer_(io)
{
    CheckBoards(boards);
    for (BoardSpec &desc : boards) {
        auto board = std::make_unique<Board>();
        Board *b = board.get();
        b->topic = static_cast<int>(boards_.size());
        b->name = desc.name;
        b->port = desc.port;
        b->shownPort = EscapeInvalidUtf8(desc.port);
        b->thread = std::make_unique<BoardThread>(
            desc.handle, desc.port,
            BoardThread::Events{[this, b](const PositionSample &s) {
                                    asio::post(io_, [this, b, s] { OnPositions(*b, s); });
                                },
                                [this, b](const StatusSample &s) {
                                    asio::post(io_, [this, b, s] { OnStatus(*b, s); });
                                },
                                [this, b](LinkState state, const std::string &detail) {
                                    asio::post(io_, [this, b, state, detail] {
                                        OnState(*b, state, detail);
                                    });
                                }},
            desc.name);
        boards_.push_back(std::move(board));
    }
}

Monitor::~Monitor()
{
    Stop();
}

void Monitor::Listen(const std::string &address, uint16_t port, bool tryNext,
                     const std::vector<std::string> &allowHosts)
{
    Admit(address, server_.Listen(address, port, tryNext), allowHosts);
}

void Monitor::Admit(const std::string &address, unsigned port,
                    const std::vector<std::string> &allowHosts)
{
    security_ = std::make_unique<Security>(address, port, allowHosts);
}

void Monitor::Start()
{
    // The library's own lines would land among the monitor's output, and
    // board threads open ports at any time: off before any thread starts.
    companion::QuietLibrary(true);
    for (const auto &board : boards_) {
        if (!board->thread->Start()) {
            throw std::runtime_error("cannot start the thread of board " + board->name);
        }
    }
    SchedulePush();
}

void Monitor::Stop()
{
    if (stopped_) {
        return;
    }
    stopped_ = true;
    pushTimer_.cancel();
    server_.Close();
    for (const auto &board : boards_) {
        board->thread->Stop();
    }
}

std::string Monitor::MetricsText() const
{
    std::vector<BoardMetrics> metrics;
    for (const auto &board : boards_) {
        metrics.push_back(board->thread->Metrics());
    }
    return monitor::MetricsText(metrics);
}

// ---- pushed events ---------------------------------------------------------------------------

void Monitor::OnPositions(Board &board, const PositionSample &sample)
{
    // A client that cannot keep up loses the oldest samples, not the board.
    if (board.pending.size() < 1000) {
        board.pending.push_back(sample);
    }
    board.lastPositions = sample;
    board.havePositions = true;
    board.lastAnswer = sample.t;
}

void Monitor::OnStatus(Board &board, const StatusSample &s)
{
    Json channels = Json::array();
    for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
        channels.push_back({{"channel", ch},
                            {"trigger_count", s.triggers[ch]},
                            {"trigger_error_count", s.errors[ch]},
                            {"direction", s.direction[ch]}});
    }
    Json inputs = Json::array();
    for (int n = 0; n < BOARD_DIGITAL_INPUTS; ++n) {
        inputs.push_back({{"input", n}, {"state", s.inputs[n]}, {"count", s.inputCounts[n]}});
    }
    board.lastStatus = {{"t_ms", Millis(s.t)}, {"channels", channels}, {"inputs", inputs}};
    server_.Broadcast(board.topic, Event("status", board.lastStatus));
}

void Monitor::OnState(Board &board, LinkState state, const std::string &detail)
{
    board.state = state;
    board.stateDetail = EscapeInvalidUtf8(detail);
    board.stateKnown = true;
    server_.Broadcast(board.topic, Event("state", StateJson(board)));
}

Monitor::Json Monitor::StateJson(const Board &board) const
{
    return {{"state", board.stateKnown ? LinkStateName(board.state) : "starting"},
            {"detail", board.stateDetail},
            {"port", board.shownPort}};
}

void Monitor::Push()
{
    for (const auto &b : boards_) {
        Board &board = *b;
        if (!board.pending.empty()) {
            Json t = Json::array();
            Json positions = Json::array();
            for (const PositionSample &s : board.pending) {
                t.push_back(Millis(s.t));
                positions.push_back(PositionsJson(s));
            }
            board.pending.clear();
            board.quietMs = 0;
            server_.Broadcast(board.topic,
                              Event("samples", {{"t_ms", t}, {"positions", positions}}));
        } else if ((board.quietMs += kPushMs) >= kKeepAliveMs) {
            board.quietMs = 0;
            server_.Broadcast(board.topic, ": still here\n\n");
        }
    }
}

void Monitor::SchedulePush()
{
    pushTimer_.expires_after(std::chrono::milliseconds(kPushMs));
    pushTimer_.async_wait([this](boost::system::error_code ec) {
        if (ec || stopped_) {
            return;
        }
        Push();
        SchedulePush();
    });
}

HttpResponse Monitor::OpenStream(const Board &board)
{
    HttpResponse response;
    response.stream = true;
    response.topic = board.topic;
    response.contentType = "text/event-stream";
    // What a new client needs before the next samples: the state, the
    // status and where the positions are.
    response.body = "retry: 1000\n\n" + Event("state", StateJson(board));
    if (!board.lastStatus.is_null()) {
        response.body += Event("status", board.lastStatus);
    }
    if (board.havePositions) {
        const PositionSample &s = board.lastPositions;
        response.body += Event(
            "samples", {{"t_ms", {Millis(s.t)}}, {"positions", Json::array({PositionsJson(s)})}});
    }
    return response;
}

Monitor::Json Monitor::SessionJson(const Board *board) const
{
    Json names = Json::array();
    for (const auto &b : boards_) {
        names.push_back(b->name);
    }
    Json session = {{"token", security_->Token()},
                    {"version", ZORENC_VERSION_STRING},
                    {"push_ms", kPushMs},
                    {"channels", BOARD_CHANNELS},
                    {"inputs", BOARD_DIGITAL_INPUTS},
                    {"indexes", BOARD_INDEX_TRIGGERS},
                    {"boards", names}};
    if (board != nullptr) {
        session["board"] = board->name;
        session["port"] = board->shownPort;
        session["state"] = StateJson(*board);
    }
    return session;
}

// Every board at a glance: the overview page's table.
Monitor::Json Monitor::OverviewJson() const
{
    Json list = Json::array();
    for (const auto &b : boards_) {
        const BoardMetrics m = b->thread->Metrics();
        Json channels = Json::array();
        for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
            channels.push_back({{"channel", ch},
                                {"position", m.havePositions ? Json(m.position[ch]) : Json()},
                                {"trigger_count", nullptr},
                                {"trigger_error_count", nullptr}});
        }
        if (!b->lastStatus.is_null()) {
            for (int ch = 0; ch < BOARD_CHANNELS; ++ch) {
                const Json &c = b->lastStatus["channels"][ch];
                channels[ch]["trigger_count"] = c["trigger_count"];
                channels[ch]["trigger_error_count"] = c["trigger_error_count"];
            }
        }
        list.push_back({{"name", b->name},
                        {"port", b->shownPort},
                        {"state", StateJson(*b)},
                        {"firmware", m.firmware},
                        {"logic", m.logic},
                        {"last_answer", m.lastAnswer > 0 ? Json(m.lastAnswer) : Json()},
                        {"channels", channels}});
    }
    return list;
}

} // namespace zorenc::monitor
