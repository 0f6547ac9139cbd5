#include "session.h"

#include <chrono>
#include <cstdio>
#include <string>

#include "capture.h"
#include "cli.h"
#include "host.h"
#include "output.h"
#include "plans.h"
#include "ports.h"
#include "results.h"

#ifdef ZORENC_TOOL_SIM
#include "sim/board.h"
#endif

namespace zorenc::cli {

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point traceStart;

void TraceFrame(const char *direction, const unsigned char *data, int32_t length)
{
    const auto ms =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - traceStart);
    std::string line;
    char text[48];
    std::snprintf(text, sizeof text, "[%9.3f ms] %s", static_cast<double>(ms.count()) / 1000.0,
                  direction);
    line = text;
    for (int32_t i = 0; data != nullptr && i < length; ++i) {
        std::snprintf(text, sizeof text, " %02X", data[i]);
        line += text;
    }
    std::fprintf(stderr, "%s\n", line.c_str());
}

void ZORENC_CALL TraceSent(const unsigned char *data, int32_t length)
{
    TraceFrame("tx", data, length);
}

void ZORENC_CALL TraceReceived(const unsigned char *data, int32_t length)
{
    TraceFrame("rx", data, length);
}

} // namespace

#ifdef ZORENC_TOOL_SIM
struct Session::Sim {
    zorsim::Board board;
};
#else
struct Session::Sim {};
#endif

Session::Session(const Invocation &inv)
{
    if (inv.sim && !inv.port.empty()) {
        throw UsageFailure("give either --port or --sim, not both");
    }
    if (inv.sim) {
#ifdef ZORENC_TOOL_SIM
        sim_ = std::make_unique<Sim>();
        bool started = false;
        {
            // The board's serving thread inherits the blocked signals, so a
            // Ctrl-C always reaches this thread.
            InterruptsBlocked blocked;
            started = sim_->board.Start();
        }
        if (!started) {
            throw BoardFailure("cannot start the simulated board: no pseudo-terminal available");
        }
        port_ = sim_->board.SlavePath();
#else
        throw UsageFailure(
            "--sim is not available in this build (the simulated board runs on Linux "
            "only): start zorenc-sim on a Linux host, or give --port with the "
            "board's port, such as --port COM3");
#endif
    } else if (inv.port.empty()) {
        throw UsageFailure("no board chosen: give --port NAME for a board on a serial port (COM3, "
                           "/dev/ttyUSB0, or the slave path that zorenc-sim prints), or --sim for "
                           "a simulated board in this process");
    } else {
        port_ = ResolvePortOption(inv);
        if (companion::IsPortIdentity(inv.port)) {
            identity_ = inv.port;
            candidates_ = inv.candidates;
        }
    }

    handle_ = ZorEncCreateHandler();
    if (handle_ == 0) {
        throw BoardFailure("cannot create a handler: out of memory");
    }
    if (inv.trace) {
        traceStart = Clock::now();
        ZorEncRegisterSendEvent(handle_, TraceSent);
        ZorEncRegisterRecvEvent(handle_, TraceReceived);
    }
    if (!inv.capture.empty()) {
        // Started before the port opens, so that a file that cannot be
        // written stops the tool before anything is sent.
        companion::CaptureOptions options;
        options.path = inv.capture;
        options.port = port_;
        if (inv.trace) {
            options.alsoSent = TraceSent;
            options.alsoReceived = TraceReceived;
        }
        try {
            companion::StartCapture(handle_, options);
        } catch (const Failure &error) {
            ZorEncCloseHandler(handle_);
            handle_ = 0;
            throw UsageFailure(std::string("--capture: ") + error.what());
        }
        capture_ = inv.capture;
    }
    if (!ZorEncOpen(handle_, port_.c_str())) {
        const std::string reason = companion::OpenFailureReason(port_);
        if (!capture_.empty()) {
            companion::StopCapture(handle_); // the file keeps its headers: nothing was sent
            capture_.clear();
        }
        ZorEncCloseHandler(handle_);
        handle_ = 0;
        throw BoardFailure("cannot open " + port_ + ": " + reason);
    }
}

bool Session::EndCapture()
{
    if (capture_.empty()) {
        return true;
    }
    capture_.clear();
    try {
        const companion::CaptureSummary summary = companion::StopCapture(handle_);
        if (summary.error.empty()) {
            return true;
        }
        std::fprintf(stderr,
                     "zorenc: the capture is incomplete (it holds the frames before the "
                     "failure): %s\n",
                     summary.error.c_str());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "zorenc: %s\n", error.what());
    }
    return false;
}

Session::~Session()
{
    EndCapture();
    if (handle_ != 0) {
        ZorEncClose(handle_);
        ZorEncCloseHandler(handle_);
    }
}

bool Session::Simulated() const
{
    return sim_ != nullptr;
}

bool Session::Gone(ZorEncResult result) const
{
    return companion::PortGone(handle_, port_, result);
}

std::string Session::GoneAdvice() const
{
    return companion::IsNetworkPortName(port_)
               ? "; its connection closed: check the server and the network, then run the "
                 "command again"
               : "; check the cable or the adapter, then run the command again";
}

bool Session::Reopen()
{
    ZorEncClose(handle_); // ZORENC_ERR_NOT_OPEN when the library closed it already
    if (!identity_.empty() && companion::PortVanished(port_)) {
        companion::FindOptions options;
        options.extra = candidates_;
        try {
            port_ = companion::ResolvePort(identity_, options);
        } catch (const companion::Failure &) {
            return false; // not back yet
        }
    }
    return ZorEncOpen(handle_, port_.c_str());
}

void Session::Check(ZorEncResult result, const std::string &what) const
{
    companion::CheckResult(handle_, result, what);
}

void Session::Run(const std::function<void(Session &)> &work)
{
    try {
        work(*this);
    } catch (const Failure &failure) {
        const Json result = failure.Details().value("result", Json());
        if (failure.Kind() != "board" || !result.is_number_unsigned()) {
            throw;
        }
        std::string advice;
        const ZorEncResult code = result.get<ZorEncResult>();
        if (failure.Details().value("reason", "") != "port-gone" && Gone(code)) {
            // The companion's words end with the result's text: the port is
            // the news, not the time-out.
            std::string what = failure.what();
            const std::string text = ": " + companion::ResultText(code);
            if (what.size() > text.size() &&
                what.compare(what.size() - text.size(), text.size(), text) == 0) {
                what.resize(what.size() - text.size());
            }
            const Failure gone = companion::PortGoneFailure(what, port_, code);
            throw Failure("board", std::string(gone.what()) + GoneAdvice(), gone.Details());
        }
        if (code == ZORENC_ERR_TIMEOUT) {
            advice = "; check that the board is powered and connected to " + port_;
        } else if (code == ZORENC_ERR_CHECKSUM || code == ZORENC_ERR_FRAME) {
            advice = "; check the cable and that nothing else talks on " + port_;
        }
        throw Failure("board", failure.what() + advice, failure.Details());
    }
}

} // namespace zorenc::cli
