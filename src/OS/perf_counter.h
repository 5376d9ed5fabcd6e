// Performance counters over the platform's high-resolution counter.
#pragma once

#include <cstdint>

#include "OS/os.h"
#include "VyrUtility.h"

// The caller's opaque counter: ticks per second, read once, and the count at the last reset.
struct PerfCounter {
    uint64_t frequency;
    uint64_t startCount;
};

namespace vyr::os::perf_counter {

uint32_t allocate(const os::Platform& platform, PerfCounter** counter);
uint32_t release(const os::Platform& platform, PerfCounter* counter);
uint32_t reset(const os::Platform& platform, PerfCounter* counter);
double computeTime(const os::Platform& platform, PerfCounter* counter, uint32_t restart);
double seconds(const os::Platform& platform, const PerfCounter* counter);
double milliseconds(const os::Platform& platform, const PerfCounter* counter);
double microseconds(const os::Platform& platform, const PerfCounter* counter);

} // namespace vyr::os::perf_counter
