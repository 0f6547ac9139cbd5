// Helpers of the fault tests: clocks, bounded helper threads, simulated
// boards and handlers opened on them.
#pragma once

#include <time.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "sim/board.h"
#include "zorenc.h"

namespace faults {

inline double NowMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// CPU time used by the calling thread alone, in milliseconds.
inline double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

inline void SleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Raises a raw read's abort flag as another thread of an application would.
inline void Raise(volatile unsigned char *flag)
{
    __atomic_store_n(flag, static_cast<unsigned char>(1), __ATOMIC_RELEASE);
}

// A function run on a thread of its own. Join waits a bounded time: a thread
// still running by then is hung, and the process stops with a message rather
// than waiting for ever.
class Worker {
public:
    Worker(std::string name, std::function<void()> body) : name_(std::move(name))
    {
        thread_ = std::thread([this, body = std::move(body)] {
            body();
            std::lock_guard<std::mutex> lock(mu_);
            done_ = true;
            ended_.notify_all();
        });
    }
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;
    ~Worker()
    {
        if (thread_.joinable()) {
            Join(60000);
        }
    }

    void Join(int timeoutMs)
    {
        {
            std::unique_lock<std::mutex> lock(mu_);
            if (!ended_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [this] { return done_; })) {
                std::fprintf(stderr, "%s: still running after %d ms; giving up\n", name_.c_str(),
                             timeoutMs);
                std::fflush(stderr);
                std::abort();
            }
        }
        thread_.join();
    }

private:
    std::string name_;
    std::mutex mu_;
    std::condition_variable ended_;
    bool done_ = false;
    std::thread thread_;
};

// A simulated board serving its pseudo-terminal; the process stops when none
// can be made.
inline std::unique_ptr<zorsim::Board> StartBoard(zorsim::Options options = {})
{
    auto board = std::make_unique<zorsim::Board>(std::move(options));
    if (!board->Start()) {
        std::fprintf(stderr, "cannot start a simulated board\n");
        std::abort();
    }
    return board;
}

// A new handler opened on the port; 0 when it cannot be opened.
inline ZorEncHandle OpenOn(const std::string &port)
{
    const ZorEncHandle handle = ZorEncCreateHandler();
    if (handle == 0) {
        return 0;
    }
    if (!ZorEncOpen(handle, port.c_str())) {
        ZorEncCloseHandler(handle);
        return 0;
    }
    return handle;
}

// Power-up contents of a register: what a board that was never written holds.
inline uint32_t PowerUpValue(uint16_t address)
{
    zorsim::Board fresh;
    return fresh.Get(address);
}

} // namespace faults
