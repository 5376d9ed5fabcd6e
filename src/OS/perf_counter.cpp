#include "OS/perf_counter.h"

namespace vyr::os::perf_counter {

uint32_t allocate(const os::Platform& platform, PerfCounter** counter)
{
    if (!counter)
        return 0;
    auto* c = static_cast<PerfCounter*>(platform.heapAlloc(sizeof(PerfCounter)));
    if (!c)
        return 0;
    c->frequency = platform.counterFrequency();
    reset(platform, c);
    *counter = c;
    return 1;
}

uint32_t release(const os::Platform& platform, PerfCounter* counter)
{
    if (!counter)
        return 0;
    platform.heapFree(counter);
    return 1;
}

uint32_t reset(const os::Platform& platform, PerfCounter* counter)
{
    counter->startCount = platform.counter();
    return 1;
}

double computeTime(const os::Platform& platform, PerfCounter* counter, uint32_t restart)
{
    // One reading serves the result and the restart: back-to-back intervals leave no gap.
    const uint64_t now = platform.counter();
    const uint64_t elapsed = now - counter->startCount;
    if (restart)
        counter->startCount = now;
    return double(elapsed) / double(counter->frequency);
}

double seconds(const os::Platform& platform, const PerfCounter* counter)
{
    return double(platform.counter()) / double(counter->frequency);
}

double milliseconds(const os::Platform& platform, const PerfCounter* counter)
{
    return seconds(platform, counter) * 1000.0;
}

double microseconds(const os::Platform& platform, const PerfCounter* counter)
{
    return seconds(platform, counter) * 1000.0 * 1000.0;
}

} // namespace vyr::os::perf_counter

extern "C" {

using vyr::os::platform;

VYR_API uint32_t VYR_CALL VyrUtilAllocPerfCounter(PerfCounter** counter)
{
    return vyr::os::perf_counter::allocate(platform(), counter);
}
VYR_API uint32_t VYR_CALL VyrUtilFreePerfCounter(PerfCounter* counter)
{
    return vyr::os::perf_counter::release(platform(), counter);
}
VYR_API uint32_t VYR_CALL VyrUtilResetPerfCounter(PerfCounter* counter)
{
    return vyr::os::perf_counter::reset(platform(), counter);
}
VYR_API double VYR_CALL VyrUtilComputeTimePerfCounter(PerfCounter* counter, uint32_t reset)
{
    return vyr::os::perf_counter::computeTime(platform(), counter, reset);
}
VYR_API double VYR_CALL VyrUtilGetTimePerfCounter(PerfCounter* counter)
{
    return vyr::os::perf_counter::seconds(platform(), counter);
}
VYR_API double VYR_CALL VyrUtilGetTimeMilliPerfCounter(PerfCounter* counter)
{
    return vyr::os::perf_counter::milliseconds(platform(), counter);
}
VYR_API double VYR_CALL VyrUtilGetTimeMicroPerfCounter(PerfCounter* counter)
{
    return vyr::os::perf_counter::microseconds(platform(), counter);
}

} // extern "C"
