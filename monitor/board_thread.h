// The one thread that talks to the board. It samples the positions of all
// channels as fast as the line allows (with a floor on the period), reads the
// rest of the status one register per sample in turn, carries out requests
// between samples, and watches the connection: when the port goes away it
// closes it and opens it again once it is back.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>

#include "device/registers.h"
#include "metrics.h"
#include "threads.h"
#include "zorenc.h"

namespace zorenc::monitor {

enum class LinkState { kConnected, kNotAnswering, kPortGone };
const char *LinkStateName(LinkState state); // "connected", "not-answering", "port-gone"

struct PositionSample {
    double t = 0; // seconds since the monitor started
    int32_t position[BOARD_CHANNELS] = {};
};

struct StatusSample {
    double t = 0;
    uint32_t triggers[BOARD_CHANNELS] = {};
    uint32_t errors[BOARD_CHANNELS] = {};
    int32_t direction[BOARD_CHANNELS] = {};
    int32_t inputs[BOARD_DIGITAL_INPUTS] = {};
    uint32_t inputCounts[BOARD_DIGITAL_INPUTS] = {};
};

// A frame as it went over the line.
struct Frame {
    double t = 0;
    bool sent = false;
    std::vector<uint8_t> bytes;
};

class BoardThread {
public:
    // Called on the board thread.
    struct Events {
        std::function<void(const PositionSample &)> positions;
        std::function<void(const StatusSample &)> status;
        std::function<void(LinkState, const std::string &detail)> state;
    };

    static constexpr int kMinPeriodMs = 5;  // at most 200 position samples a second
    static constexpr int kRetryMs = 500;    // between attempts to reopen a port
    static constexpr size_t kFrameLog = 64; // frames kept for the console
    // Board threads at once in a process: the library's frame callbacks
    // carry no context, so each running thread takes one of this many
    // pairs of callbacks, each pair leading to its own thread.
    static constexpr size_t kMaxBoards = 16;

    // handle: a handler of port, open or not (then the thread opens it as
    // soon as it can); name: the board's name in the metrics.
    BoardThread(ZorEncHandle handle, std::string port, Events events, std::string name = "board");
    ~BoardThread(); // stops
    BoardThread(const BoardThread &) = delete;
    BoardThread &operator=(const BoardThread &) = delete;

    // False when the thread cannot start, or kMaxBoards threads run.
    bool Start();
    void Stop();

    // Runs job on the board thread before the next sample. The handle's port
    // may be closed (the library then answers ZORENC_ERR_NOT_OPEN).
    void Post(std::function<void(ZorEncHandle)> job);

    // Request frames sent since the start.
    uint64_t Transactions() const { return transactions_.load(); }
    uint64_t Samples() const { return samples_.load(); }
    // The last frames, oldest first; only on the board thread (in a job).
    std::vector<Frame> Frames() const;
    // What the thread has read, for the metrics; any thread may ask.
    BoardMetrics Metrics() const;

    // The library's frame callbacks of one slot: they record to the thread
    // that holds the slot.
    template <size_t Slot>
    static void ZORENC_CALL OnSent(const unsigned char *data, int32_t length);
    template <size_t Slot>
    static void ZORENC_CALL OnReceived(const unsigned char *data, int32_t length);

private:
    void Run();
    void Sample();
    bool ReadStatusItem(int item);
    ZorEncResult Counted(ZorEncResult result, std::chrono::steady_clock::time_point began);
    void ReadIdentity();
    void Failed(ZorEncResult result);
    void TryReopen();
    void SetState(LinkState state, const std::string &detail);
    double Now() const;

    void Record(bool sent, const unsigned char *data, int32_t length);

    ZorEncHandle handle_;
    std::string port_;
    Events events_;
    boost::asio::io_context io_;
    companion::Thread thread_;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> transactions_{0};
    std::atomic<uint64_t> samples_{0};
    size_t slot_ = kMaxBoards; // of the callbacks; kMaxBoards: none

    std::atomic<bool> upState_{false};
    mutable companion::Mutex metricsLock_;
    BoardMetrics metrics_; // under metricsLock_

    // Board thread only.
    LinkState state_ = LinkState::kConnected;
    bool stateSent_ = false;
    StatusSample status_;
    int statusItem_ = 0;
    bool readIdentity_ = true; // the versions, once the board answers again
    bool everConnected_ = false;
    std::vector<Frame> frames_; // ring of kFrameLog
    size_t nextFrame_ = 0;
    int64_t started_ = 0;
};

} // namespace zorenc::monitor
