#include "monitor_server.h"

#include <cmath>

#include <boost/asio/post.hpp>

#include "zorenc_version.h"

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
    return std::string("event: ") + name +
           "\ndata: " + data.dump(-1, ' ', false, companion::Json::error_handler_t::replace) +
           "\n\n";
}

} // namespace

Monitor::Monitor(asio::io_context &io, ZorEncHandle handle, std::string port, Logger logger)
    : io_(io), port_(port), shownPort_(EscapeInvalidUtf8(port)),
      server_(
          io, [this](const HttpRequest &request, Reply reply) { Handle(request, reply); },
          std::move(logger)),
      board_(
          handle, port,
          BoardThread::Events{
              [this](const PositionSample &s) { asio::post(io_, [this, s] { OnPositions(s); }); },
              [this](const StatusSample &s) { asio::post(io_, [this, s] { OnStatus(s); }); },
              [this](LinkState state, const std::string &detail) {
                  asio::post(io_, [this, state, detail] { OnState(state, detail); });
              }}),
      pushTimer_(io)
{
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
    if (!board_.Start()) {
        throw std::runtime_error("cannot start the board thread");
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
    board_.Stop();
}

// ---- pushed events ---------------------------------------------------------------------------

void Monitor::OnPositions(const PositionSample &sample)
{
    // A client that cannot keep up loses the oldest samples, not the board.
    if (pending_.size() < 1000) {
        pending_.push_back(sample);
    }
    lastPositions_ = sample;
    havePositions_ = true;
}

void Monitor::OnStatus(const StatusSample &s)
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
    lastStatus_ = {{"t_ms", Millis(s.t)}, {"channels", channels}, {"inputs", inputs}};
    server_.Broadcast(Event("status", lastStatus_));
}

void Monitor::OnState(LinkState state, const std::string &detail)
{
    state_ = state;
    stateDetail_ = EscapeInvalidUtf8(detail);
    stateKnown_ = true;
    server_.Broadcast(Event("state", StateJson()));
}

Monitor::Json Monitor::StateJson() const
{
    return {{"state", stateKnown_ ? LinkStateName(state_) : "starting"},
            {"detail", stateDetail_},
            {"port", shownPort_}};
}

void Monitor::Push()
{
    if (!pending_.empty()) {
        Json t = Json::array();
        Json positions = Json::array();
        for (const PositionSample &s : pending_) {
            t.push_back(Millis(s.t));
            positions.push_back(PositionsJson(s));
        }
        pending_.clear();
        quietMs_ = 0;
        server_.Broadcast(Event("samples", {{"t_ms", t}, {"positions", positions}}));
    } else if ((quietMs_ += kPushMs) >= kKeepAliveMs) {
        quietMs_ = 0;
        server_.Broadcast(": still here\n\n");
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

HttpResponse Monitor::OpenStream()
{
    HttpResponse response;
    response.stream = true;
    response.contentType = "text/event-stream";
    // What a new client needs before the next samples: the state, the
    // status and where the positions are.
    response.body = "retry: 1000\n\n" + Event("state", StateJson());
    if (!lastStatus_.is_null()) {
        response.body += Event("status", lastStatus_);
    }
    if (havePositions_) {
        const PositionSample &s = lastPositions_;
        response.body += Event(
            "samples", {{"t_ms", {Millis(s.t)}}, {"positions", Json::array({PositionsJson(s)})}});
    }
    return response;
}

Monitor::Json Monitor::SessionJson() const
{
    return {{"token", security_->Token()},
            {"port", shownPort_},
            {"version", ZORENC_VERSION_STRING},
            {"state", StateJson()},
            {"push_ms", kPushMs},
            {"channels", BOARD_CHANNELS},
            {"inputs", BOARD_DIGITAL_INPUTS},
            {"indexes", BOARD_INDEX_TRIGGERS}};
}

} // namespace zorenc::monitor
