#include "pool.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vyr::frame {
namespace {

// One frame's bands. It lives on its caller's stack: the caller leaves only when no helper is in it.
struct Job {
    BandTask task;
    void* context;
    uint32_t bands;
    std::atomic<uint32_t> next{0}; // the next band to take
    unsigned wanted;               // helpers beside the caller
    unsigned joined = 0;           // helpers so far; the last one joined took slot `joined`
    unsigned inside = 0;           // helpers still working on it

    void work(unsigned slot)
    {
        for (uint32_t band; (band = next.fetch_add(1, std::memory_order_relaxed)) < bands;)
            task(context, band, slot);
    }
};

class Pool {
public:
    void run(unsigned threads, uint32_t bands, BandTask task, void* context)
    {
        Job job;
        job.task = task;
        job.context = context;
        job.bands = bands;
        job.wanted = std::min<uint32_t>(threads, bands) - 1;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            grow(job.wanted);
            queue_.push_back(&job);
        }
        wake_.notify_all();
        job.work(0);
        std::unique_lock<std::mutex> lock(mutex_);
        queue_.erase(std::remove(queue_.begin(), queue_.end(), &job), queue_.end());
        left_.wait(lock, [&job] { return job.inside == 0; });
    }

    unsigned threadCount()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return unsigned(workers_.size());
    }

    // A child of fork() has none of the pool's threads: it makes a pool of its own.
    bool ownedHere() const
    {
#ifdef _WIN32
        return true;
#else
        return owner_ == getpid();
#endif
    }

private:
    // Threads that cannot be started leave their bands to the others; the result is the same.
    void grow(unsigned helpers)
    {
        try {
            while (workers_.size() < helpers)
                workers_.emplace_back([this] { serve(); });
        } catch (const std::exception&) {
        }
    }

    void serve()
    {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            wake_.wait(lock, [this] { return !queue_.empty(); });
            Job* job = queue_.front();
            const unsigned slot = ++job->joined;
            ++job->inside;
            if (job->joined == job->wanted)
                queue_.pop_front();
            lock.unlock();
            job->work(slot);
            lock.lock();
            if (--job->inside == 0)
                left_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_; // a job was queued
    std::condition_variable left_; // a helper left a job
    std::deque<Job*> queue_;       // jobs that want more helpers, oldest first
    std::vector<std::thread> workers_;
#ifndef _WIN32
    const pid_t owner_ = getpid();
#endif
};

std::atomic<Pool*> gPool{nullptr};

// The pool lives as long as the process: its threads wait for work until the process ends, so no
// library unload or exit handler has to stop them. A pool left behind by fork() is not freed: its
// state may be that of a moment when another thread of the parent held its lock.
Pool& pool()
{
    for (;;) {
        Pool* current = gPool.load(std::memory_order_acquire);
        if (current && current->ownedHere())
            return *current;
        Pool* created = new Pool;
        if (gPool.compare_exchange_strong(current, created, std::memory_order_acq_rel))
            return *created;
        delete created; // another thread put its pool in first
    }
}

} // namespace

void runBands(unsigned threads, uint32_t bands, BandTask task, void* context)
{
    if (threads <= 1 || bands <= 1) {
        for (uint32_t band = 0; band < bands; ++band)
            task(context, band, 0);
        return;
    }
    try {
        pool().run(threads, bands, task, context);
    } catch (const std::bad_alloc&) {
        // No memory for the pool or its queue, before any band started: the caller does them all.
        for (uint32_t band = 0; band < bands; ++band)
            task(context, band, 0);
    }
}

unsigned poolThreadCount()
{
    Pool* current = gPool.load(std::memory_order_acquire);
    return current ? current->threadCount() : 0;
}

} // namespace vyr::frame
