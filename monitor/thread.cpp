#include "thread.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <system_error>
#include <thread>
#endif

namespace zorenc::monitor {

#ifdef _WIN32

struct Thread::Impl {
    std::function<void()> body;
    HANDLE handle = nullptr;

    static DWORD WINAPI Run(void *self)
    {
        static_cast<Impl *>(self)->body();
        return 0;
    }
};

bool Thread::Start(std::function<void()> body)
{
    Join();
    impl_ = std::make_unique<Impl>();
    impl_->body = std::move(body);
    impl_->handle = CreateThread(nullptr, 0, Impl::Run, impl_.get(), 0, nullptr);
    if (impl_->handle == nullptr) {
        impl_.reset();
        return false;
    }
    return true;
}

void Thread::Join()
{
    if (impl_ && impl_->handle != nullptr) {
        WaitForSingleObject(impl_->handle, INFINITE);
        CloseHandle(impl_->handle);
    }
    impl_.reset();
}

#else

struct Thread::Impl {
    std::thread thread;
};

bool Thread::Start(std::function<void()> body)
{
    Join();
    impl_ = std::make_unique<Impl>();
    try {
        impl_->thread = std::thread(std::move(body));
    } catch (const std::system_error &) {
        impl_.reset();
        return false;
    }
    return true;
}

void Thread::Join()
{
    if (impl_ && impl_->thread.joinable()) {
        impl_->thread.join();
    }
    impl_.reset();
}

#endif

Thread::Thread() = default;

Thread::~Thread()
{
    Join();
}

} // namespace zorenc::monitor
