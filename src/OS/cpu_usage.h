// The CPU usage monitor: one thread that samples the machine's CPU times once per period and keeps
// the usage of the last period, its minimum and maximum, and a long-term running average.
#pragma once

#include <atomic>
#include <cstdint>

#include "OS/os.h"

namespace vyr::os::cpu_usage {

class Monitor {
public:
    explicit Monitor(const os::Platform& platform) : platform_(&platform) {}
    Monitor(const Monitor&) = delete;
    Monitor& operator=(const Monitor&) = delete;

    // 1 when the monitor runs; a running monitor is stopped first and started with the new values.
    // Starts and stops of every monitor go one at a time, whichever threads call them.
    uint32_t enter(uint32_t period, uint32_t ltSamples);
    // Stops the thread and waits for it; 1 whether or not it ran.
    uint32_t leave();

    // One cycle of the thread: a sample and, from the second sample on, the statistics. A failed
    // sample changes nothing; so does one whose time has not advanced (the next cycle then measures
    // from the older sample), while one whose time went back only replaces the previous sample.
    void cycle();

    // Lock-free reads; each value is whole, the four need not come from one cycle.
    double current() const { return current_.load(std::memory_order_relaxed); }
    double minimum() const { return minimum_.load(std::memory_order_relaxed); }
    double maximum() const { return maximum_.load(std::memory_order_relaxed); }
    double longTerm() const { return longTerm_.load(std::memory_order_relaxed); }

private:
    static void run(void* self);
    void stop(); // leave, with the start-stop lock held
    void record(double usage);

    const os::Platform* platform_;
    uint32_t period_ = 0;
    uint32_t ltSamples_ = 0;
    os::Handle stop_ = 0;
    os::Handle thread_ = 0;
    uint32_t owner_ = 0; // the process that started the thread
    uint64_t previousIdle_ = 0;
    uint64_t previousTime_ = 0;
    std::atomic<double> current_{0.0};
    std::atomic<double> minimum_{100.0};
    std::atomic<double> maximum_{0.0};
    std::atomic<double> longTerm_{0.0};
};

// The monitor of this process, over the real platform.
Monitor& processMonitor();

} // namespace vyr::os::cpu_usage
