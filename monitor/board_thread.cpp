#include "board_thread.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <utility>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>

#include "capture.h"
#include "ports.h"
#include "results.h"

namespace zorenc::monitor {

namespace {

using Clock = std::chrono::steady_clock;

// The status registers, read one after each position sample.
constexpr int kStatusItems = 3 * BOARD_CHANNELS + 1 + BOARD_DIGITAL_INPUTS;

// The thread that holds each slot of callbacks.
std::array<std::atomic<BoardThread *>, BoardThread::kMaxBoards> holders{};

template <size_t... Slots>
constexpr std::array<std::pair<ZorEncEventCallback, ZorEncEventCallback>, sizeof...(Slots)>
MakeCallbacks(std::index_sequence<Slots...>)
{
    return {{{&BoardThread::OnSent<Slots>, &BoardThread::OnReceived<Slots>}...}};
}

double UnixNow()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

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

BoardThread::BoardThread(ZorEncHandle handle, std::string port, Events events, std::string name)
    : handle_(handle), port_(std::move(port)), events_(std::move(events)), started_(Micros())
{
    frames_.reserve(kFrameLog);
    metrics_.name = std::move(name);
    metrics_.port = port_;
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
    static constexpr auto callbacks = MakeCallbacks(std::make_index_sequence<kMaxBoards>{});
    for (size_t i = 0; i < kMaxBoards && slot_ == kMaxBoards; ++i) {
        BoardThread *none = nullptr;
        if (holders[i].compare_exchange_strong(none, this)) {
            slot_ = i;
        }
    }
    if (slot_ == kMaxBoards) {
        return false;
    }
    // A capture (--capture) holds the handle's frame callbacks: the console
    // gets the frames from it.
    const auto [sent, received] = callbacks[slot_];
    if (!companion::ForwardCapturedFrames(handle_, sent, received)) {
        ZorEncRegisterSendEvent(handle_, sent);
        ZorEncRegisterRecvEvent(handle_, received);
    }
    // A port that could not be opened is opened by the thread once it can.
    state_ = ZorEncIsOpen(handle_) ? LinkState::kConnected : LinkState::kPortGone;
    stopping_ = false;
    try {
        thread_ = companion::Thread([this] { Run(); });
    } catch (const std::exception &) {
        holders[slot_] = nullptr;
        slot_ = kMaxBoards;
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
    if (slot_ < kMaxBoards) {
        holders[slot_] = nullptr;
        slot_ = kMaxBoards;
    }
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
        const Clock::time_point began = Clock::now();
        const ZorEncResult r =
            Counted(ZorEncGetEncoderPosition(handle_, ch, &sample.position[ch]), began);
        if (r != ZORENC_OK) {
            Failed(r);
            return;
        }
    }
    sample.t = Now();
    ++samples_;
    SetState(LinkState::kConnected, "");
    {
        std::lock_guard<companion::Mutex> lock(metricsLock_);
        metrics_.samples = samples_.load();
        metrics_.lastAnswer = UnixNow();
        metrics_.havePositions = true;
        std::copy(sample.position, sample.position + BOARD_CHANNELS, metrics_.position);
    }
    if (readIdentity_) {
        ReadIdentity();
    }
    if (events_.positions) {
        events_.positions(sample);
    }
    if (!ReadStatusItem(statusItem_)) {
        return;
    }
    statusItem_ = (statusItem_ + 1) % kStatusItems;
    if (statusItem_ == 0) {
        status_.t = Now();
        std::lock_guard<companion::Mutex> lock(metricsLock_);
        metrics_.haveStatus = true;
        std::copy(status_.inputs, status_.inputs + BOARD_DIGITAL_INPUTS, metrics_.inputs);
        if (events_.status) {
            events_.status(status_);
        }
    }
}

bool BoardThread::ReadStatusItem(int item)
{
    int32_t value = 0;
    ZorEncResult r = ZORENC_OK;
    const Clock::time_point began = Clock::now();
    // The items in order: trigger counts, trigger error counts, directions
    // (one per channel each), the inputs' states, the inputs' counts.
    int k = item;
    if (k < BOARD_CHANNELS) {
        r = ZorEncGetTriggerCount(handle_, k, &value);
        status_.triggers[k] = static_cast<uint32_t>(value);
    } else if ((k -= BOARD_CHANNELS) < BOARD_CHANNELS) {
        r = ZorEncGetTriggerErrorCount(handle_, k, &value);
        status_.errors[k] = static_cast<uint32_t>(value);
    } else if ((k -= BOARD_CHANNELS) < BOARD_CHANNELS) {
        r = ZorEncGetEncoderDirection(handle_, k, &status_.direction[k]);
    } else if ((k -= BOARD_CHANNELS) == 0) {
        int32_t *in = status_.inputs;
        r = ZorEncGetDI(handle_, &in[0], &in[1], &in[2], &in[3], &in[4], &in[5], &in[6]);
    } else {
        r = ZorEncGetDiCount(handle_, k - 1, &value);
        status_.inputCounts[k - 1] = static_cast<uint32_t>(value);
    }
    if (Counted(r, began) != ZORENC_OK) {
        Failed(r);
        return false;
    }
    // The board's counters as counters that never go back.
    std::lock_guard<companion::Mutex> lock(metricsLock_);
    const int n = item % BOARD_CHANNELS;
    if (item < BOARD_CHANNELS) {
        metrics_.triggers[n].Observe(status_.triggers[n]);
    } else if (item < 2 * BOARD_CHANNELS) {
        metrics_.errors[n].Observe(status_.errors[n]);
    } else if (item > 3 * BOARD_CHANNELS) {
        const int input = item - 3 * BOARD_CHANNELS - 1;
        metrics_.inputCounts[input].Observe(status_.inputCounts[input]);
    }
    return true;
}

ZorEncResult BoardThread::Counted(ZorEncResult result, Clock::time_point began)
{
    const double seconds = std::chrono::duration<double>(Clock::now() - began).count();
    std::lock_guard<companion::Mutex> lock(metricsLock_);
    ++metrics_.transactions[ResultLabel(result)];
    metrics_.transactionTime.Observe(seconds);
    return result;
}

// The versions, and the adapter's serial number, of a board that answers
// again (it may be another board, or flashed meanwhile). A failed read
// leaves the version empty; it is not tried again before the next return.
void BoardThread::ReadIdentity()
{
    readIdentity_ = false;
    double firmware = 0;
    double logic = 0;
    Clock::time_point began = Clock::now();
    const bool haveFirmware =
        Counted(ZorEncGetFirmwareVersion(handle_, &firmware), began) == ZORENC_OK;
    began = Clock::now();
    const bool haveLogic = Counted(ZorEncGetLogicVersion(handle_, &logic), began) == ZORENC_OK;
    const std::string serial = companion::UsbSerialNumber(port_);
    char text[32];
    std::lock_guard<companion::Mutex> lock(metricsLock_);
    std::snprintf(text, sizeof text, "%.2f", firmware);
    metrics_.firmware = haveFirmware ? text : "";
    std::snprintf(text, sizeof text, "%.2f", logic);
    metrics_.logic = haveLogic ? text : "";
    metrics_.serial = serial;
}

BoardMetrics BoardThread::Metrics() const
{
    std::lock_guard<companion::Mutex> lock(metricsLock_);
    BoardMetrics copy = metrics_;
    copy.up = copy.lastAnswer > 0 && upState_;
    return copy;
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
    ZorEncClose(handle_);
    const bool open = ZorEncOpen(handle_, port_.c_str());
    if (!open) {
        SetState(LinkState::kPortGone, port_ + ": " + companion::OpenFailureReason(port_));
    } else {
        SetState(LinkState::kNotAnswering, companion::ResultText(result));
    }
}

void BoardThread::TryReopen()
{
    if (!ZorEncOpen(handle_, port_.c_str())) {
        if (!stateSent_) { // the port was not there at the start
            SetState(LinkState::kPortGone, port_ + ": " + companion::OpenFailureReason(port_));
        }
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
    if (state == LinkState::kConnected && state_ != LinkState::kConnected && everConnected_) {
        readIdentity_ = true;
        std::lock_guard<companion::Mutex> lock(metricsLock_);
        ++metrics_.reconnects;
    }
    everConnected_ = everConnected_ || state == LinkState::kConnected;
    state_ = state;
    stateSent_ = true;
    upState_ = state == LinkState::kConnected;
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

template <size_t Slot>
void ZORENC_CALL BoardThread::OnSent(const unsigned char *data, int32_t length)
{
    if (BoardThread *self = holders[Slot].load()) {
        self->Record(true, data, length);
    }
}

template <size_t Slot>
void ZORENC_CALL BoardThread::OnReceived(const unsigned char *data, int32_t length)
{
    if (BoardThread *self = holders[Slot].load()) {
        self->Record(false, data, length);
    }
}

} // namespace zorenc::monitor
