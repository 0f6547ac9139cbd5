// One thread, started and joined: std::thread natively, CreateThread on
// Windows (the MinGW compilers of the Windows builds have no std::thread).
#pragma once

#include <functional>
#include <memory>

namespace zorenc::monitor {

class Thread {
public:
    Thread();
    ~Thread(); // joins
    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;

    // Runs body on a new thread. False when no thread could be started.
    bool Start(std::function<void()> body);
    void Join();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zorenc::monitor
