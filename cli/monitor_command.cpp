// `zorenc monitor`: the boards live in a browser, served by the monitor
// (monitor/). The session opens the first board (or the simulated one); the
// others get a handler each here, opened before the monitor starts, or by
// their board thread once their port is there.
#include "host.h"
#include "plans.h"
#include "serve.h"
#include "session.h"

namespace zorenc::cli {

namespace {

// The boards of --port, names and ports checked; handles left 0.
std::vector<monitor::BoardSpec> PlannedBoards(const Invocation &inv)
{
    std::vector<monitor::BoardSpec> boards;
    for (const std::string &value : inv.ports) {
        boards.push_back(monitor::ParseBoard(value));
    }
    if (inv.sim) {
        boards.push_back({"sim", "sim", 0});
    }
    if (boards.size() > 1 && !inv.capture.empty()) {
        throw UsageFailure("--capture records one board: the monitor of several takes none");
    }
    if (!boards.empty()) {
        monitor::CheckBoards(boards);
    }
    return boards;
}

// The handlers of the boards after the first; closed when it ends.
class ExtraBoards {
public:
    ExtraBoards() = default;
    ExtraBoards(const ExtraBoards &) = delete;
    ExtraBoards &operator=(const ExtraBoards &) = delete;
    ~ExtraBoards()
    {
        for (const ZorEncHandle handle : handles_) {
            ZorEncClose(handle);
            ZorEncCloseHandler(handle);
        }
    }

    ZorEncHandle Open(const std::string &port)
    {
        const ZorEncHandle handle = ZorEncCreateHandler();
        if (handle == 0) {
            throw BoardFailure("cannot create a handler: out of memory");
        }
        handles_.push_back(handle);
        ZorEncOpen(handle, port.c_str()); // a port not there yet: its thread waits for it
        return handle;
    }

private:
    std::vector<ZorEncHandle> handles_;
};

} // namespace

std::string MonitorFirstPort(const Invocation &inv)
{
    return monitor::ParseBoard(inv.ports.front()).port;
}

Action PlanMonitor(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageFailure("monitor takes no arguments");
    }
    const std::string listen = (inv.options & kOptListen) ? inv.listen : std::string();
    monitor::CheckListen(listen);
    const std::vector<std::string> allowHosts = monitor::CheckAllowHosts(inv.allowHosts);
    const std::vector<monitor::BoardSpec> planned = PlannedBoards(inv);
    return [listen, allowHosts, planned](Session &session) {
        CatchInterrupts();
        monitor::ServeOptions options;
        options.boards = planned;
        ExtraBoards extra;
        options.boards.front().port = session.Port();
        options.boards.front().handle = session.Handle();
        for (size_t i = 1; i < options.boards.size(); ++i) {
            Invocation one;
            one.port = options.boards[i].port;
            options.boards[i].port = ResolvePortOption(one);
            options.boards[i].handle = extra.Open(options.boards[i].port);
        }
        options.listen = listen;
        options.allowHosts = allowHosts;
        options.interrupted = Interrupted;
        monitor::Serve(options);
    };
}

} // namespace zorenc::cli
