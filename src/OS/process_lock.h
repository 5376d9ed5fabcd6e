// A lock of this process alone, for the library's own lists and the CPU usage monitor; objects of
// static storage only (a lock is never destroyed). The Linux half holds every lock that has been
// taken across fork(): taken before it, released after it in parent and child, so that a child
// never inherits a lock held by a thread that does not exist there.
#pragma once

#include <atomic>

#if !defined(_WIN32)
#include <pthread.h>
#endif

namespace vyr::os {

class ProcessLock {
public:
    constexpr ProcessLock() = default;
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    void lock();
    void unlock();

private:
#if defined(_WIN32)
    void* srw_ = nullptr; // an SRWLOCK, statically initialised
#else
    friend struct ForkHold;
    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
    std::atomic<bool> listed_{false}; // in the list of locks held across fork()
    ProcessLock* next_ = nullptr;
#endif
};

// Holds a lock for its scope.
class Holding {
public:
    explicit Holding(ProcessLock& lock) : lock_(lock) { lock_.lock(); }
    ~Holding() { lock_.unlock(); }
    Holding(const Holding&) = delete;
    Holding& operator=(const Holding&) = delete;

private:
    ProcessLock& lock_;
};

} // namespace vyr::os
