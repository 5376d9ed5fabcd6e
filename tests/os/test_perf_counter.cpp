// Performance counters: the arithmetic on injected tick values, and the real counter.
#include <gtest/gtest.h>

#include "OS/perf_counter.h"

namespace vyr::test {
namespace {

uint64_t g_ticks = 0, g_frequency = 0;
int g_readings = 0;
bool g_refuseHeap = false;

TEST(InjectedTicks, IntervalsReadingsAndUnsigned64BitTicks)
{
    os::Platform p = os::platform();
    p.counter = [] { return ++g_readings, g_ticks; };
    p.counterFrequency = [] { return g_frequency; };
    p.heapAlloc = [](size_t n) { return g_refuseHeap ? nullptr : os::platform().heapAlloc(n); };
    const auto make = [&p](uint64_t frequency, uint64_t start) {
        g_frequency = frequency;
        g_ticks = start;
        PerfCounter* c = nullptr;
        EXPECT_EQ(1u, os::perf_counter::allocate(p, &c));
        return c;
    };
    g_readings = 0;
    PerfCounter* c = make(10000000, 777); // allocation resets
    const uint64_t readings[] = {25000777, 25000777, 40000777, 42500777};
    const double want[] = {2.5, 2.5, 1.5, 1.75};
    for (int i = 0; i < 4; ++i) {
        g_ticks = readings[i];
        EXPECT_EQ(want[i], os::perf_counter::computeTime(p, c, i % 2)) << i; // restart on odd calls
    }
    EXPECT_EQ(1 + 4, g_readings); // one reading per call serves result and restart
    g_ticks = 9000;
    EXPECT_EQ(1u, os::perf_counter::reset(p, c));
    g_ticks = 9000 + 5000000;
    EXPECT_EQ(0.5, os::perf_counter::computeTime(p, c, 0));
    EXPECT_EQ(1u, os::perf_counter::release(p, c));
    c = make(4, UINT64_MAX - 5);
    g_ticks = 10; // wrapped: 16 ticks
    EXPECT_EQ(4.0, os::perf_counter::computeTime(p, c, 0));
    g_ticks = (uint64_t(1) << 63) + 4096; // converts as an unsigned value
    EXPECT_EQ(9223372036854779904.0 / 4.0, os::perf_counter::seconds(p, c));
    g_ticks = 6;
    EXPECT_EQ(1500.0, os::perf_counter::milliseconds(p, c));
    EXPECT_EQ(1500000.0, os::perf_counter::microseconds(p, c));
    EXPECT_EQ(UINT64_MAX - 5, c->startCount); // absolute readings neither use nor move the start
    os::perf_counter::release(p, c);
    g_refuseHeap = true; // a refused heap writes nothing
    PerfCounter* untouched = reinterpret_cast<PerfCounter*>(uintptr_t(0x1234));
    EXPECT_EQ(0u, os::perf_counter::allocate(p, &untouched));
    EXPECT_EQ(reinterpret_cast<PerfCounter*>(uintptr_t(0x1234)), untouched);
    g_refuseHeap = false;
}

TEST(RealCounter, ExportsMeasureForward)
{
    PerfCounter* c = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocPerfCounter(&c));
    const double first = VyrUtilComputeTimePerfCounter(c, 0);
    EXPECT_TRUE(first >= 0.0 && first < 5.0) << first;
    EXPECT_GE(VyrUtilComputeTimePerfCounter(c, 1), first);
    const double seconds = VyrUtilGetTimePerfCounter(c), milli = VyrUtilGetTimeMilliPerfCounter(c);
    EXPECT_TRUE(milli >= seconds * 1000.0 && milli < seconds * 1000.0 + 5000.0) << seconds << " " << milli;
    EXPECT_GE(VyrUtilGetTimeMicroPerfCounter(c), milli * 1000.0);
    EXPECT_EQ(1u, VyrUtilFreePerfCounter(c));
}

} // namespace
} // namespace vyr::test
