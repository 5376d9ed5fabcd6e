#include "OS/process_lock.h"

namespace vyr::os {

// The locks taken so far, newest first. A lock joins the list before its first take, under the
// list's own lock, which fork() holds too: a lock is either held across a fork or was never taken.
struct ForkHold {
    static void list(ProcessLock* lock)
    {
        pthread_mutex_lock(&listLock);
        if (!lock->listed_.load(std::memory_order_relaxed)) {
            lock->next_ = first;
            first = lock;
            lock->listed_.store(true, std::memory_order_release);
        }
        pthread_mutex_unlock(&listLock);
    }
    static void before()
    {
        pthread_mutex_lock(&listLock);
        for (ProcessLock* l = first; l; l = l->next_)
            pthread_mutex_lock(&l->mutex_);
    }
    // In the parent and in the child (whose one thread is the one that forked and holds them all).
    static void after()
    {
        for (ProcessLock* l = first; l; l = l->next_)
            pthread_mutex_unlock(&l->mutex_);
        pthread_mutex_unlock(&listLock);
    }

    static pthread_mutex_t listLock;
    static ProcessLock* first;
};

pthread_mutex_t ForkHold::listLock = PTHREAD_MUTEX_INITIALIZER;
ProcessLock* ForkHold::first = nullptr;

namespace {
__attribute__((constructor)) void holdLocksAcrossFork()
{
    pthread_atfork(ForkHold::before, ForkHold::after, ForkHold::after);
}
} // namespace

void ProcessLock::lock()
{
    if (!listed_.load(std::memory_order_acquire))
        ForkHold::list(this);
    pthread_mutex_lock(&mutex_);
}

void ProcessLock::unlock() { pthread_mutex_unlock(&mutex_); }

} // namespace vyr::os
