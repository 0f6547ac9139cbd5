#include "board_thread.h"

#include <chrono>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>

#include "capture.h"
#include "ports.h"
#include "quiet_stdout.h"
#include "results.h"

namespace zorenc::monitor {

namespace {

using Clock = std::chrono::steady_clock;

// The status registers, read one after each position sample.
constexpr int kStatusItems = 3 * BOARD_CHANNELS + 1 + BOARD_DIGITAL_INPUTS;

// The one instance the library's frame callbacks report to.
std::atomic<BoardThread *> current{nullptr};

int64_t Micros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
        .count();
}

} // namespace

const char *LinkStateName(LinkState state)
{
    switch (state) {
    case LinkState::kConnected:
        return "connected";
    case LinkState::kNotAnswering:
        return "not-answering";
    case LinkState::kPortGone:
        return "port-gone";
    }
    return "?";
}

BoardThread::BoardThread(ZorEncHandle handle, std::string port, Events events)
    : handle_(handle), port_(std::move(port)), events_(std::move(events)), started_(Micros())
{
    frames_.reserve(kFrameLog);
}

BoardThread::~BoardThread()
{
    Stop();
}

double BoardThread::Now() const
{
    return static_cast<double>(Micros() - started_) / 1e6;
}

bool BoardThread::Start()
{
    current = this;
    // A capture (--capture) holds the handle's frame callbacks: the console
    // gets the frames from it.
    if (!companion::ForwardCapturedFrames(handle_, OnSent, OnReceived)) {
        ZorEncRegisterSendEvent(handle_, OnSent);
        ZorEncRegisterRecvEvent(handle_, OnReceived);
    }
    stopping_ = false;
    try {
        thread_ = companion::Thread([this] { Run(); });
    } catch (const std::exception &) {
        return false;
    }
    return true;
}

void BoardThread::Stop()
{
    stopping_ = true;
    // A long request (a configuration's thousand reads, seconds on the
    // wire) ends at its next read rather than holding the stop up.
    companion::StopRequests(handle_, true);
    io_.stop();
    thread_.Join();
    companion::StopRequests(handle_, false);
    if (!companion::ForwardCapturedFrames(handle_, nullptr, nullptr)) {
        ZorEncRegisterSendEvent(handle_, nullptr);
        ZorEncRegisterRecvEvent(handle_, nullptr);
    }
    BoardThread *self = this;
    current.compare_exchange_strong(self, nullptr);
}

void BoardThread::Post(std::function<void(ZorEncHandle)> job)
{
    boost::asio::post(io_, [this, job = std::move(job)] { job(handle_); });
}

void BoardThread::Run()
{
    auto work = boost::asio::make_work_guard(io_);
    while (!stopping_) {
        io_.restart();
        io_.poll(); // the requests that came in meanwhile
        if (stopping_) {
            break;
        }
        const Clock::time_point began = Clock::now();
        int waitMs = kMinPeriodMs;
        if (state_ == LinkState::kPortGone) {
            TryReopen();
            waitMs = state_ == LinkState::kPortGone ? kRetryMs : 0;
        } else {
            Sample();
            waitMs = state_ == LinkState::kConnected ? kMinPeriodMs : kRetryMs;
        }
        // Requests run while waiting for the next sample; a stop asked
        // meanwhile must not be undone by the restart.
        if (stopping_) {
            break;
        }
        io_.restart();
        io_.run_until(began + std::chrono::milliseconds(waitMs));
    }
}

void BoardThread::Sample()
{
    PositionSample sample;
    for (int32_t ch = 0; ch < BOARD_CHANNELS; ++ch) {
        const ZorEncResult r = ZorEncGetEncoderPosition(handle_, ch, &sample.position[ch]);
        if (r != ZORENC_OK) {
            Failed(r);
            return;
        }
    }
    sample.t = Now();
    ++samples_;
    SetState(LinkState::kConnected, "");
    if (events_.positions) {
        events_.positions(sample);
    }
    if (!ReadStatusItem(statusItem_)) {
        return;
    }
    statusItem_ = (statusItem_ + 1) % kStatusItems;
    if (statusItem_ == 0) {
        status_.t = Now();
        if (events_.status) {
            events_.status(status_);
        }
    }
}

bool BoardThread::ReadStatusItem(int item)
{
    int32_t value = 0;
    ZorEncResult r = ZORENC_OK;
    if (item < BOARD_CHANNELS) {
        r = ZorEncGetTriggerCount(handle_, item, &value);
        status_.triggers[item] = static_cast<uint32_t>(value);
    } else if ((item -= BOARD_CHANNELS) < BOARD_CHANNELS) {
        r = ZorEncGetTriggerErrorCount(handle_, item, &value);
        status_.errors[item] = static_cast<uint32_t>(value);
    } else if ((item -= BOARD_CHANNELS) < BOARD_CHANNELS) {
        r = ZorEncGetEncoderDirection(handle_, item, &status_.direction[item]);
    } else if ((item -= BOARD_CHANNELS) == 0) {
        int32_t *in = status_.inputs;
        r = ZorEncGetDI(handle_, &in[0], &in[1], &in[2], &in[3], &in[4], &in[5], &in[6]);
    } else {
        r = ZorEncGetDiCount(handle_, item - 1, &value);
        status_.inputCounts[item - 1] = static_cast<uint32_t>(value);
    }
    if (r != ZORENC_OK) {
        Failed(r);
        return false;
    }
    return true;
}

// A read failed. A board status means the board answered (a refusal of a
// register is no loss of the line); otherwise the port is opened again to
// tell a board that does not answer from a port that is gone.
void BoardThread::Failed(ZorEncResult result)
{
    companion::NoteCaptureResult(handle_, result); // a time-out annotates its request
    if (result >= 1 && result <= 255) {
        SetState(LinkState::kConnected, "");
        return;
    }
    bool open = false;
    {
        companion::QuietStdout quiet; // the library's open and close chatter
        ZorEncClose(handle_);
        open = ZorEncOpen(handle_, port_.c_str());
    }
    if (!open) {
        SetState(LinkState::kPortGone, port_ + ": " + companion::OpenFailureReason(port_));
    } else {
        SetState(LinkState::kNotAnswering, companion::ResultText(result));
    }
}

void BoardThread::TryReopen()
{
    bool open = false;
    {
        companion::QuietStdout quiet;
        open = ZorEncOpen(handle_, port_.c_str());
    }
    if (!open) {
        return;
    }
    // Back: the next sample tells whether the board answers.
    statusItem_ = 0;
    Sample();
}

void BoardThread::SetState(LinkState state, const std::string &detail)
{
    if (state == state_ && stateSent_) {
        return;
    }
    state_ = state;
    stateSent_ = true;
    if (events_.state) {
        events_.state(state, detail);
    }
}

std::vector<Frame> BoardThread::Frames() const
{
    std::vector<Frame> list;
    const size_t n = frames_.size();
    for (size_t i = 0; i < n; ++i) {
        list.push_back(frames_[(nextFrame_ + i) % n]);
    }
    return list;
}

void BoardThread::Record(bool sent, const unsigned char *data, int32_t length)
{
    if (sent) {
        ++transactions_;
    }
    Frame frame;
    frame.t = Now();
    frame.sent = sent;
    if (data != nullptr && length > 0) {
        frame.bytes.assign(data, data + std::min<int32_t>(length, 64));
    }
    if (frames_.size() < kFrameLog) {
        frames_.push_back(std::move(frame));
        nextFrame_ = frames_.size() % kFrameLog;
    } else {
        frames_[nextFrame_] = std::move(frame);
        nextFrame_ = (nextFrame_ + 1) % kFrameLog;
    }
}

void ZORENC_CALL BoardThread::OnSent(const unsigned char *data, int32_t length)
{
    if (BoardThread *self = current.load()) {
        self->Record(true, data, length);
    }
}

void ZORENC_CALL BoardThread::OnReceived(const unsigned char *data, int32_t length)
{
    if (BoardThread *self = current.load()) {
        self->Record(false, data, length);
    }
}

} // namespace zorenc::monitor
