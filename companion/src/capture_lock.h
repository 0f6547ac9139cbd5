// The one lock the capture code needs: std::mutex natively, an SRW lock on
// Windows, where the MinGW compilers in use have no std::mutex.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <mutex>
#endif

namespace zorenc::companion {

class CaptureLock {
public:
    CaptureLock() = default;
    CaptureLock(const CaptureLock &) = delete;
    CaptureLock &operator=(const CaptureLock &) = delete;
#ifdef _WIN32
    void Lock()
    {
        AcquireSRWLockExclusive(&lock_);
    }
    void Unlock()
    {
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    SRWLOCK lock_ = SRWLOCK_INIT;
#else
    void Lock()
    {
        mutex_.lock();
    }
    void Unlock()
    {
        mutex_.unlock();
    }

private:
    std::mutex mutex_;
#endif
};

class CaptureGuard {
public:
    explicit CaptureGuard(CaptureLock &lock) : lock_(lock) { lock_.Lock(); }
    ~CaptureGuard() { lock_.Unlock(); }
    CaptureGuard(const CaptureGuard &) = delete;
    CaptureGuard &operator=(const CaptureGuard &) = delete;

private:
    CaptureLock &lock_;
};

} // namespace zorenc::companion
