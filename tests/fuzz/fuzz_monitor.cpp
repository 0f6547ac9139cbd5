// libFuzzer target for the monitor's request handling, without sockets: an
// input is the bytes a client sends on one connection. They go through the
// request reader the server uses, and each request it takes through the
// monitor's checks and routes, with no board (work for the board is queued
// and never done). Fed at once and then byte by byte, an input must get the
// same answers (but where the parser still waits for the rest of a header
// that it might have refused from what came: then one is the start of the
// other); every answer has a status, JSON ones parse, and no route fails
// with 500 or an exception.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <nlohmann/json.hpp>

#include "http_request.h"
#include "monitor_server.h"
#include "page.h"

namespace zorenc::monitor {

// The page the build embeds is not built here.
const std::string &IndexPage()
{
    static const std::string page = "<!doctype html><title>zorenc</title>";
    return page;
}

} // namespace zorenc::monitor

namespace {

namespace monitor = zorenc::monitor;
using Step = monitor::RequestReader::Step;

void Check(bool ok)
{
    if (!ok) {
        __builtin_trap();
    }
}

void Note(std::vector<std::string> &answers, const monitor::HttpResponse &response)
{
    Check(response.status >= 200 && response.status <= 599 && response.status != 500);
    if (response.contentType == "application/json") {
        Check(nlohmann::json::accept(response.body));
    }
    answers.push_back(std::to_string(response.status) + " " + response.body);
}

struct Outcome {
    std::vector<std::string> answers;
    bool settled = false; // refused, or no request left half read
};

Outcome Answers(monitor::Monitor &server, const uint8_t *data, size_t size, size_t piece)
{
    monitor::RequestReader reader;
    Outcome outcome;
    std::vector<std::string> &answers = outcome.answers;
    const monitor::Reply reply = [&answers](monitor::HttpResponse r) { Note(answers, r); };
    for (size_t at = 0; at < size || at == 0; at += piece) {
        const size_t length = std::min(piece, size - at);
        Step step = reader.Feed(reinterpret_cast<const char *>(data) + at, length);
        while (step == Step::kDone) {
            monitor::HttpRequest request = reader.Take();
            request.local = "127.0.0.1";
            // "X-Zorenc-Token: fuzz" stands for this run's token, so that
            // changing requests reach their routes.
            if (request.Header("x-zorenc-token") == "fuzz") {
                request.header["x-zorenc-token"] = server.Access().Token();
            }
            server.Handle(request, reply);
            step = reader.Feed(nullptr, 0);
        }
        if (step == Step::kRefused) {
            const monitor::HttpResponse &refusal = reader.Refusal();
            Check(refusal.status >= 400 && refusal.status < 500);
            Note(answers, refusal);
            // Which 4xx can depend on how the bytes came (Beast reads a
            // request line as soon as it can, a header once it is whole).
            answers.back() = "refused";
            outcome.settled = true;
            return outcome;
        }
    }
    outcome.settled = reader.Idle();
    return outcome;
}

bool StartOf(const std::vector<std::string> &start, const std::vector<std::string> &all)
{
    return start.size() <= all.size() && std::equal(start.begin(), start.end(), all.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    boost::asio::io_context io;
    monitor::Monitor server(io, 0, "/dev/fuzz\xff");
    server.Admit("127.0.0.1", 8330, {"monitor.example"});
    const Outcome whole = Answers(server, data, size, size + 1);
    const Outcome bytes = Answers(server, data, size, 1);
    if (whole.settled && bytes.settled) {
        Check(whole.answers == bytes.answers);
    } else {
        Check(StartOf(whole.answers, bytes.answers) || StartOf(bytes.answers, whole.answers));
    }
    return 0;
}
