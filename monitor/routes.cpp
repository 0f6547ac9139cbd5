// The monitor's endpoints (docs/monitor.md). GETs never change the board;
// every other method must pass the token check of Security.
#include <algorithm>
#include <cstring>

#include "actions.h"
#include "config.h"
#include "failure.h"
#include "frames_api.h"
#include "monitor_server.h"
#include "page.h"
#include "settings_api.h"

namespace zorenc::monitor {

namespace {

using companion::Failure;
using companion::UsageFailure;

constexpr const char *kSettingsPrefix = "/api/settings/";

// A path asked with a method it does not serve (405), and those it does.
struct NotAllowed {
    const char *allowed;
};

HttpResponse JsonAnswer(int status, const Json &document)
{
    HttpResponse response;
    response.status = status;
    // Text that is not UTF-8 (a request's name echoed back, say) is
    // replaced: an answer is always written.
    response.body = companion::DumpCompact(document) + "\n";
    return response;
}

HttpResponse Success(const Json &result)
{
    return JsonAnswer(200, {{"ok", true}, {"result", result}});
}

HttpResponse Refusal(int status, const std::string &kind, const std::string &message,
                     const Json &details = Json::object())
{
    Json error = {{"kind", kind}, {"message", message}};
    error.update(details);
    return JsonAnswer(status, {{"ok", false}, {"error", error}});
}

// A failure of the companion library as an HTTP answer: its kind says the
// status.
HttpResponse Refusal(const Failure &failure)
{
    const Json &details = failure.Details();
    if (failure.Kind() == "usage") {
        return Refusal(400, "usage", failure.what(), details);
    }
    if (failure.Kind() == "not-found") {
        return Refusal(404, "not-found", failure.what(), details);
    }
    if (failure.Kind() == "board" && details.value("reason", "") == "version") {
        return Refusal(409, "board",
                       std::string(failure.what()) + " (\"force\": true applies it anyway)",
                       details);
    }
    if (failure.Kind() == "board") {
        return Refusal(502, "board", failure.what(), details);
    }
    return Refusal(500, failure.Kind(), failure.what(), details);
}

// Runs work, which makes the response, turning its failures into the error
// document.
template <typename Fn> HttpResponse Respond(Fn work)
{
    try {
        return work();
    } catch (const Failure &failure) {
        return Refusal(failure);
    } catch (const std::exception &error) {
        return Refusal(500, "internal", error.what());
    }
}

// Runs work, answering its result as the success document.
template <typename Fn> HttpResponse Answer(Fn work)
{
    return Respond([&] { return Success(work()); });
}

Json Body(const HttpRequest &request)
{
    if (request.body.empty()) {
        return Json::object();
    }
    Json body = companion::ReadJson(request.body, "the request body");
    if (!body.is_object()) {
        throw UsageFailure("the request body must be a JSON object");
    }
    return body;
}

// A diff or apply request, checked in full before the board is asked
// anything.
struct ConfigRequest {
    companion::Config config;
    companion::ApplyOptions options;
};

ConfigRequest ParseConfigRequest(const Json &body, bool apply)
{
    ConfigRequest request;
    if (apply) {
        request.options = companion::RequestedApplyOptions(body);
    }
    request.config = companion::RequestedConfig(body);
    return request;
}

} // namespace

void Monitor::Handle(const HttpRequest &request, Reply reply)
{
    const bool reads = request.method == "GET" || request.method == "HEAD";
    const std::string refusal = security_->Refusal(request, !reads);
    if (!refusal.empty()) {
        reply(Refusal(403, "forbidden", refusal));
        return;
    }
    const auto headers = security_->AnswerHeaders(request);
    Reply withHeaders = [reply, headers](HttpResponse response) {
        response.headers.insert(response.headers.end(), headers.begin(), headers.end());
        reply(std::move(response));
    };
    try {
        Route(request, withHeaders);
    } catch (const Failure &failure) {
        withHeaders(Refusal(failure));
    } catch (const NotAllowed &methods) {
        HttpResponse refusal =
            Refusal(405, "usage", request.method + " is not served at " + request.path);
        refusal.headers.emplace_back("Allow", methods.allowed);
        withHeaders(std::move(refusal));
    }
}

void Monitor::OnBoard(Board &board, Reply reply, Work work)
{
    board.thread->Post([reply, work](ZorEncHandle h) { reply(Answer([&] { return work(h); })); });
}

namespace {

// HEAD wherever GET: the same header, without the body. Throws NotAllowed
// unless the request's method is one that serves says.
enum Serves { kGet = 1, kPost = 2 };
void Only(const HttpRequest &request, int serves)
{
    const bool get = request.method == "GET" || request.method == "HEAD";
    const bool post = request.method == "POST";
    if ((get && (serves & kGet)) || (post && (serves & kPost))) {
        return;
    }
    throw NotAllowed{serves == kPost ? "POST" : serves == kGet ? "GET, HEAD" : "GET, HEAD, POST"};
}

HttpResponse Page()
{
    HttpResponse page;
    page.contentType = "text/html; charset=utf-8";
    page.body = IndexPage();
    return page;
}

constexpr const char *kBoardPrefix = "/board/";

} // namespace

// What is the monitor's, then what is a board's: /board/NAME/..., or with one
// board the same paths without the prefix.
void Monitor::Route(const HttpRequest &request, Reply &reply)
{
    const std::string &path = request.path;
    if (path == "/metrics") {
        Only(request, kGet);
        HttpResponse metrics;
        metrics.contentType = "text/plain; version=0.0.4; charset=utf-8";
        metrics.body = MetricsText();
        reply(std::move(metrics));
        return;
    }
    if (path == "/api/boards") {
        Only(request, kGet);
        reply(Success(OverviewJson()));
        return;
    }
    if (path.rfind(kBoardPrefix, 0) == 0) {
        const size_t start = std::strlen(kBoardPrefix);
        const size_t end = std::min(path.find('/', start), path.size());
        const std::string name = path.substr(start, end - start);
        for (const auto &board : boards_) {
            if (board->name == name) {
                const std::string rest = path.substr(end);
                RouteBoard(*board, rest.empty() ? "/" : rest, request, reply);
                return;
            }
        }
        reply(Refusal(404, "not-found", "no board is named '" + name + "'"));
        return;
    }
    if (boards_.size() == 1) {
        RouteBoard(*boards_.front(), path, request, reply);
        return;
    }
    // Several boards: the overview.
    if (path == "/" || path == "/index.html") {
        Only(request, kGet);
        reply(Page());
    } else if (path == "/api/session") {
        Only(request, kGet);
        reply(Success(SessionJson(nullptr)));
    } else {
        reply(
            Refusal(404, "not-found",
                    "nothing at " + path + " (a board's requests go to /board/NAME" + path + ")"));
    }
}

void Monitor::RouteBoard(Board &board, const std::string &path, const HttpRequest &request,
                         Reply &reply)
{
    const bool get = request.method == "GET" || request.method == "HEAD";
    auto only = [&](int serves) { Only(request, serves); };

    if (path == "/" || path == "/index.html") {
        only(kGet);
        reply(Page());
    } else if (path == "/api/session") {
        only(kGet);
        reply(Success(SessionJson(&board)));
    } else if (path == "/api/events") {
        only(kGet);
        reply(OpenStream(board));
    } else if (path == "/api/state") {
        only(kGet);
        reply(Success({{"connection", StateJson(board)}, {"status", board.lastStatus}}));
    } else if (path == "/api/stats") {
        only(kGet);
        reply(Success({{"transactions", board.thread->Transactions()},
                       {"samples", board.thread->Samples()},
                       {"clients", server_.Streams()}}));
    } else if (path == "/api/settings") {
        only(kGet);
        reply(Success(SettingsTable()));
    } else if (path.rfind(kSettingsPrefix, 0) == 0) {
        const std::string name = path.substr(std::strlen(kSettingsPrefix));
        only(kGet | kPost);
        if (get) {
            const companion::SettingRequest read = ParseSettingRead(name, request.query);
            OnBoard(board, reply, [read](ZorEncHandle h) { return AnswerRead(h, read); });
        } else {
            // Checked in full before the board is asked anything.
            const companion::SettingRequest write = ParseSettingWrite(name, Body(request));
            OnBoard(board, reply, [write](ZorEncHandle h) { return AnswerWrite(h, write); });
        }
    } else if (path == "/api/clear") {
        only(kPost);
        const companion::ClearRequest clear = companion::ParseClear(Body(request));
        OnBoard(board, reply, [clear](ZorEncHandle h) { return companion::RunClear(h, clear); });
    } else if (path == "/api/flash") {
        only(kPost);
        const companion::FlashOp *op = &companion::ParseFlash(Body(request));
        OnBoard(board, reply, [op](ZorEncHandle h) { return companion::RunFlash(h, *op); });
    } else if (path == "/api/frames") {
        only(kGet);
        // The frame log belongs to the board thread.
        BoardThread *thread = board.thread.get();
        OnBoard(board, reply, [thread](ZorEncHandle) { return FramesJson(thread->Frames()); });
    } else if (path == "/api/config") {
        only(kGet);
        const std::string port = board.port;
        if (request.query.count("download") == 0) {
            OnBoard(board, reply,
                    [port](ZorEncHandle h) { return companion::SaveConfig(h, port, nullptr); });
            return;
        }
        // ?download: the file `zorenc config save` writes, to be saved.
        board.thread->Post([reply, port](ZorEncHandle h) {
            reply(Respond([&] {
                HttpResponse file;
                file.body = companion::ConfigText(companion::SaveConfig(h, port, nullptr));
                file.headers.emplace_back("Content-Disposition",
                                          "attachment; filename=\"zorenc-board-config.json\"");
                return file;
            }));
        });
    } else if (path == "/api/config/check") {
        only(kPost);
        // The file alone, no board: its faults, or what it holds and its warnings.
        const companion::Config config = companion::RequestedConfig(Body(request));
        reply(Success({{"entries", config.entries.size()}, {"warnings", config.warnings}}));
    } else if (path == "/api/config/diff") {
        only(kPost);
        // Checked in full before the board is asked anything.
        const ConfigRequest config = ParseConfigRequest(Body(request), false);
        OnBoard(board, reply,
                [config](ZorEncHandle h) { return companion::DiffConfig(h, config.config); });
    } else if (path == "/api/config/apply") {
        only(kPost);
        const ConfigRequest config = ParseConfigRequest(Body(request), true);
        OnBoard(board, reply, [config](ZorEncHandle h) {
            return companion::ApplyConfig(h, config.config, config.options);
        });
    } else {
        reply(Refusal(404, "not-found", "nothing at " + path));
    }
}

} // namespace zorenc::monitor
