// `zorenc monitor`: the board live in a browser, served by the monitor
// (monitor/) on the board this tool opened.
#include "host.h"
#include "plans.h"
#include "serve.h"
#include "session.h"

namespace zorenc::cli {

Action PlanMonitor(const Invocation &inv)
{
    if (!inv.args.empty()) {
        throw UsageFailure("monitor takes no arguments");
    }
    const std::string listen = (inv.options & kOptListen) ? inv.listen : std::string();
    monitor::CheckListen(listen);
    const std::vector<std::string> allowHosts = monitor::CheckAllowHosts(inv.allowHosts);
    return [listen, allowHosts](Session &session) {
        CatchInterrupts();
        monitor::ServeOptions options;
        options.handle = session.Handle();
        options.port = session.Port();
        options.listen = listen;
        options.allowHosts = allowHosts;
        options.interrupted = Interrupted;
        monitor::Serve(options);
    };
}

} // namespace zorenc::cli
