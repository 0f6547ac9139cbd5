// The monitor's endpoints (docs/monitor.md). GETs never change the board;
// every other method must pass the token check of Security.
#include <cstring>

#include "api_error.h"
#include "config_api.h"
#include "frames_api.h"
#include "monitor_server.h"
#include "page.h"
#include "plans.h"
#include "settings_api.h"

namespace zorenc::monitor {

namespace {

using Json = companion::Json;

constexpr const char *kSettingsPrefix = "/api/settings/";

HttpResponse JsonAnswer(int status, const Json &document)
{
    HttpResponse response;
    response.status = status;
    response.body = document.dump() + "\n";
    return response;
}

HttpResponse Success(const Json &result)
{
    return JsonAnswer(200, {{"ok", true}, {"result", result}});
}

HttpResponse Failure(int status, const std::string &kind, const std::string &message,
                     const Json &details = Json::object())
{
    Json error = {{"kind", kind}, {"message", message}};
    error.update(details);
    return JsonAnswer(status, {{"ok", false}, {"error", error}});
}

HttpResponse Failure(const ApiError &error)
{
    return Failure(error.Status(), error.Kind(), error.what(), error.Details());
}

// Runs work, which makes the response, turning its failures into the error
// document.
template <typename Fn> HttpResponse Respond(Fn work)
{
    try {
        return work();
    } catch (const ApiError &error) {
        return Failure(error);
    } catch (const std::exception &error) {
        return Failure(500, "internal", error.what());
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
    Json body = Json::parse(request.body, nullptr, false);
    if (body.is_discarded() || !body.is_object()) {
        throw UsageFailure("the request body must be a JSON object");
    }
    return body;
}

int32_t Number(const Json &body, const char *name)
{
    const auto it = body.find(name);
    if (it == body.end() || it->is_null()) {
        return -1;
    }
    if (!it->is_number_integer()) {
        throw UsageFailure(std::string("\"") + name + "\" must be an integer");
    }
    const int64_t n = it->get<int64_t>();
    const int64_t most = std::strcmp(name, "input") == 0 ? BOARD_DIGITAL_INPUTS : BOARD_CHANNELS;
    if (n < 0 || n >= most) {
        throw UsageFailure(std::string("\"") + name + "\" must be 0.." + std::to_string(most - 1));
    }
    return static_cast<int32_t>(n);
}

std::string Text(const Json &body, const char *name)
{
    const auto it = body.find(name);
    if (it == body.end() || !it->is_string()) {
        throw UsageFailure(std::string("\"") + name + "\" must be given as a string");
    }
    return it->get<std::string>();
}

// POST /api/clear {"what": "trigger-count", "channel": 1}: the targets of
// `zorenc clear`.
std::function<Json(ZorEncHandle)> PlanClear(const Json &body)
{
    const std::string what = Text(body, "what");
    const cli::ClearTarget *target = nullptr;
    for (const cli::ClearTarget &t : cli::ClearTargets()) {
        target = what == t.name ? &t : target;
    }
    if (target == nullptr) {
        throw UsageFailure("unknown clear target '" + what + "'");
    }
    const char *unit = target->scope == cli::Scope::kInput ? "input" : "channel";
    const int32_t number = target->scope == cli::Scope::kBoard ? -1 : Number(body, unit);
    return [target, number, unit](ZorEncHandle h) -> Json {
        const ZorEncResult r = number >= 0 ? target->one(h, number) : target->all(h);
        if (r != ZORENC_OK) {
            throw BoardFailure(std::string("cannot clear ") + target->name, r);
        }
        Json done = {{"cleared", target->name}};
        if (number >= 0) {
            done[unit] = number;
        }
        return done;
    };
}

// POST /api/flash {"action": "save" | "load" | "defaults"}.
std::function<Json(ZorEncHandle)> PlanFlash(const Json &body)
{
    const std::string action = Text(body, "action");
    for (const cli::FlashOp &op : cli::FlashOps()) {
        if (action == op.name) {
            const cli::FlashOp *p = &op;
            return [p](ZorEncHandle h) -> Json {
                const ZorEncResult r = p->fn(h);
                if (r != ZORENC_OK) {
                    throw BoardFailure(p->failure, r);
                }
                return {{"flash", p->name}, {"done", p->done}};
            };
        }
    }
    throw UsageFailure("\"action\" must be save, load or defaults");
}

} // namespace

void Monitor::Handle(const HttpRequest &request, Reply reply)
{
    const bool reads = request.method == "GET" || request.method == "HEAD";
    const std::string refusal = security_->Refusal(request, !reads);
    if (!refusal.empty()) {
        reply(Failure(403, "forbidden", refusal));
        return;
    }
    const auto headers = security_->AnswerHeaders(request);
    Reply withHeaders = [reply, headers](HttpResponse response) {
        response.headers.insert(response.headers.end(), headers.begin(), headers.end());
        reply(std::move(response));
    };
    try {
        Route(request, withHeaders);
    } catch (const ApiError &error) {
        withHeaders(Failure(error));
    }
}

void Monitor::OnBoard(Reply reply, Work work)
{
    board_.Post([reply, work](ZorEncHandle h) { reply(Answer([&] { return work(h); })); });
}

void Monitor::Route(const HttpRequest &request, Reply &reply)
{
    const std::string &path = request.path;
    const bool get = request.method == "GET";
    const bool post = request.method == "POST";
    auto only = [&](bool allowed) {
        if (!allowed) {
            throw ApiError(405, "usage", request.method + " is not served at " + path);
        }
    };

    if (path == "/" || path == "/index.html") {
        only(get);
        HttpResponse page;
        page.contentType = "text/html; charset=utf-8";
        page.body = IndexPage();
        reply(std::move(page));
    } else if (path == "/api/session") {
        only(get);
        reply(Success(SessionJson()));
    } else if (path == "/api/events") {
        only(get);
        reply(OpenStream());
    } else if (path == "/api/state") {
        only(get);
        reply(Success({{"connection", StateJson()}, {"status", lastStatus_}}));
    } else if (path == "/api/stats") {
        only(get);
        reply(Success({{"transactions", board_.Transactions()},
                       {"samples", board_.Samples()},
                       {"clients", server_.Streams()}}));
    } else if (path == "/api/settings") {
        only(get);
        reply(Success(SettingsTable()));
    } else if (path.rfind(kSettingsPrefix, 0) == 0) {
        const std::string name = path.substr(std::strlen(kSettingsPrefix));
        only(get || post);
        if (get) {
            const SettingRead read = ParseSettingRead(name, request.query);
            OnBoard(reply, [read](ZorEncHandle h) { return ReadSetting(h, read); });
        } else {
            // Checked in full before the board is asked anything.
            const SettingWrite write = ParseSettingWrite(name, Body(request));
            OnBoard(reply, [write](ZorEncHandle h) { return WriteSetting(h, write); });
        }
    } else if (path == "/api/clear") {
        only(post);
        OnBoard(reply, PlanClear(Body(request)));
    } else if (path == "/api/flash") {
        only(post);
        OnBoard(reply, PlanFlash(Body(request)));
    } else if (path == "/api/frames") {
        only(get);
        // The frame log belongs to the board thread.
        OnBoard(reply, [this](ZorEncHandle) { return FramesJson(board_.Frames()); });
    } else if (path == "/api/config") {
        only(get);
        const std::string port = port_;
        if (request.query.count("download") == 0) {
            OnBoard(reply, [port](ZorEncHandle h) { return DownloadConfig(h, port); });
            return;
        }
        // ?download: the file `zorenc config save` writes, to be saved.
        board_.Post([reply, port](ZorEncHandle h) {
            reply(Respond([&] {
                HttpResponse file;
                file.body = ConfigFileText(DownloadConfig(h, port));
                file.headers.emplace_back("Content-Disposition",
                                          "attachment; filename=\"zorenc-board-config.json\"");
                return file;
            }));
        });
    } else if (path == "/api/config/diff") {
        only(post);
        // Checked in full before the board is asked anything.
        const ConfigRequest config = ParseConfigRequest(Body(request), false);
        OnBoard(reply, [config](ZorEncHandle h) { return DiffConfig(h, config); });
    } else if (path == "/api/config/apply") {
        only(post);
        const ConfigRequest config = ParseConfigRequest(Body(request), true);
        OnBoard(reply, [config](ZorEncHandle h) { return ApplyConfig(h, config); });
    } else {
        reply(Failure(404, "not-found", "nothing at " + path));
    }
}

} // namespace zorenc::monitor
