// The thread wrapper's two implementations: the standard library's natively,
// Win32 in the MinGW builds (their compilers use the win32 thread model).
#include "threads.h"

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <condition_variable>
#include <thread>
#endif

namespace zorenc::companion {

#if defined(_WIN32)

struct Thread::Impl {
    HANDLE handle = nullptr;
    std::function<void()> body;
};

namespace {
DWORD WINAPI ThreadStart(LPVOID parameter)
{
    auto *impl = static_cast<Thread::Impl *>(parameter);
    try {
        impl->body();
    } catch (...) {
        // Ends this thread only; the body reports its own failures.
    }
    return 0;
}
} // namespace

Thread::Thread(std::function<void()> body) : impl_(std::make_unique<Impl>())
{
    impl_->body = std::move(body);
    impl_->handle = CreateThread(nullptr, 0, ThreadStart, impl_.get(), 0, nullptr);
    if (impl_->handle == nullptr) {
        impl_.reset();
        throw std::runtime_error("cannot start a thread (error " + std::to_string(GetLastError()) +
                                 ")");
    }
}

void Thread::Join() noexcept
{
    if (impl_ != nullptr && impl_->handle != nullptr) {
        WaitForSingleObject(impl_->handle, INFINITE);
        CloseHandle(impl_->handle);
        impl_->handle = nullptr;
    }
}

void Thread::Detach() noexcept
{
    if (impl_ != nullptr && impl_->handle != nullptr) {
        CloseHandle(impl_->handle);
        impl_->handle = nullptr;
        // The running thread still uses its body.
        static_cast<void>(impl_.release());
    }
}

bool Thread::Joinable() const noexcept
{
    return impl_ != nullptr && impl_->handle != nullptr;
}

struct Mutex::Impl {
    SRWLOCK lock = SRWLOCK_INIT;
};

void Mutex::lock() noexcept
{
    AcquireSRWLockExclusive(&impl_->lock);
}

bool Mutex::try_lock() noexcept
{
    return TryAcquireSRWLockExclusive(&impl_->lock) != 0;
}

void Mutex::unlock() noexcept
{
    ReleaseSRWLockExclusive(&impl_->lock);
}

struct ConditionVariable::Impl {
    CONDITION_VARIABLE variable = CONDITION_VARIABLE_INIT;
};

bool ConditionVariable::WaitFor(std::unique_lock<Mutex> &lock, std::chrono::milliseconds timeout)
{
    const auto count = timeout.count();
    const DWORD ms = count <= 0 ? 0 : count >= 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(count);
    return SleepConditionVariableSRW(&impl_->variable, &lock.mutex()->impl_->lock, ms, 0) != 0;
}

void ConditionVariable::NotifyOne() noexcept
{
    WakeConditionVariable(&impl_->variable);
}

void ConditionVariable::NotifyAll() noexcept
{
    WakeAllConditionVariable(&impl_->variable);
}

#else

struct Thread::Impl {
    std::thread thread;
};

Thread::Thread(std::function<void()> body) : impl_(std::make_unique<Impl>())
{
    try {
        impl_->thread = std::thread([body = std::move(body)] {
            try {
                body();
            } catch (...) {
                // Ends this thread only; the body reports its own failures.
            }
        });
    } catch (const std::system_error &error) {
        throw std::runtime_error(std::string("cannot start a thread: ") + error.what());
    }
}

void Thread::Join() noexcept
{
    if (impl_ != nullptr && impl_->thread.joinable()) {
        try {
            impl_->thread.join();
        } catch (...) {
            // join fails only for a thread joining itself or one not joinable.
        }
    }
}

void Thread::Detach() noexcept
{
    if (impl_ != nullptr && impl_->thread.joinable()) {
        try {
            impl_->thread.detach();
        } catch (...) {
            // detach fails only for a thread not joinable.
        }
    }
}

bool Thread::Joinable() const noexcept
{
    return impl_ != nullptr && impl_->thread.joinable();
}

struct Mutex::Impl {
    std::mutex mutex;
};

void Mutex::lock() noexcept
{
    impl_->mutex.lock();
}

bool Mutex::try_lock() noexcept
{
    return impl_->mutex.try_lock();
}

void Mutex::unlock() noexcept
{
    impl_->mutex.unlock();
}

struct ConditionVariable::Impl {
    std::condition_variable variable;
};

bool ConditionVariable::WaitFor(std::unique_lock<Mutex> &lock, std::chrono::milliseconds timeout)
{
    // The standard variable waits on the std::mutex inside: adopt it for the
    // wait and hand it back still locked.
    std::unique_lock<std::mutex> inner(lock.mutex()->impl_->mutex, std::adopt_lock);
    const bool notified = impl_->variable.wait_for(inner, timeout) == std::cv_status::no_timeout;
    inner.release();
    return notified;
}

void ConditionVariable::NotifyOne() noexcept
{
    impl_->variable.notify_one();
}

void ConditionVariable::NotifyAll() noexcept
{
    impl_->variable.notify_all();
}

#endif

Thread::Thread() noexcept = default;
Thread::Thread(Thread &&other) noexcept = default;

Thread &Thread::operator=(Thread &&other) noexcept
{
    if (this != &other) {
        Join();
        impl_ = std::move(other.impl_);
    }
    return *this;
}

Thread::~Thread()
{
    Join();
}

Mutex::Mutex() : impl_(std::make_unique<Impl>()) {}
Mutex::~Mutex() = default;
ConditionVariable::ConditionVariable() : impl_(std::make_unique<Impl>()) {}
ConditionVariable::~ConditionVariable() = default;

void RunEach(std::size_t count, const std::function<void(std::size_t)> &body)
{
    std::vector<Thread> threads;
    threads.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        threads.emplace_back([&body, i] { body(i); });
    }
    for (auto &thread : threads) {
        thread.Join();
    }
}

} // namespace zorenc::companion
