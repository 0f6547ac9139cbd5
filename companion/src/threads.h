// Threads, a mutex and a condition variable for the companion library, the
// zorenc tool and the monitor, the same on every build: std::thread and
// friends natively, Win32 threads, SRWLOCK and CONDITION_VARIABLE in the
// MinGW builds, whose win32-model compilers have no std::thread, std::mutex
// or std::condition_variable.
//
// Mutex meets the standard's Lockable requirements, so std::lock_guard and
// std::unique_lock take it as they take std::mutex:
//
//     companion::Mutex mutex;
//     companion::ConditionVariable changed;
//     std::unique_lock<companion::Mutex> lock(mutex);
//     changed.WaitFor(lock, std::chrono::milliseconds(500), [&] { return done; });
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace zorenc::companion {

// One thread of execution running a function. Join it before it is
// destroyed; the destructor joins a thread still running, so that none is
// ever left behind. An exception thrown by the function ends only that
// thread; the function should report failures itself.
class Thread {
public:
    Thread() noexcept;
    // Starts body at once; throws std::runtime_error when the system gives
    // no thread.
    explicit Thread(std::function<void()> body);
    Thread(Thread &&other) noexcept;
    Thread &operator=(Thread &&other) noexcept;
    Thread(const Thread &) = delete;
    Thread &operator=(const Thread &) = delete;
    ~Thread();

    // Waits until the function has returned; nothing when not started or
    // already joined.
    void Join() noexcept;
    // Lets the thread run on unwatched: for a thread stuck in a system call
    // that must not hold up its caller. What the function uses must outlive
    // it (shared ownership).
    void Detach() noexcept;
    bool Joinable() const noexcept;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// A non-recursive mutex.
class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;

    void lock() noexcept;
    bool try_lock() noexcept;
    void unlock() noexcept;

    struct Impl;

private:
    friend class ConditionVariable;
    std::unique_ptr<Impl> impl_;
};

// Waits of one thread for a change that another makes under a Mutex. Every
// wait here is bounded; wake-ups may be spurious, so wait with a predicate.
class ConditionVariable {
public:
    ConditionVariable();
    ~ConditionVariable();
    ConditionVariable(const ConditionVariable &) = delete;
    ConditionVariable &operator=(const ConditionVariable &) = delete;

    // Releases the locked mutex, waits for a notification or at most for
    // timeout, and locks it again. False when the time ran out.
    bool WaitFor(std::unique_lock<Mutex> &lock, std::chrono::milliseconds timeout);

    // Waits until ready() is true or timeout has passed; returns ready().
    template <typename Predicate>
    bool WaitFor(std::unique_lock<Mutex> &lock, std::chrono::milliseconds timeout, Predicate ready)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!ready()) {
            const auto now = std::chrono::steady_clock::now();
            if (now >= deadline) {
                return ready();
            }
            WaitFor(lock, std::chrono::ceil<std::chrono::milliseconds>(deadline - now));
        }
        return true;
    }

    void NotifyOne() noexcept;
    void NotifyAll() noexcept;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Runs body(0) .. body(count - 1) each on a thread of its own and returns
// once all have returned. Throws std::runtime_error when a thread cannot be
// started (those already started are joined first).
void RunEach(std::size_t count, const std::function<void(std::size_t)> &body);

} // namespace zorenc::companion
