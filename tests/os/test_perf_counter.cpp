// Performance counters: the arithmetic on injected tick values, and the real counter.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "OS/os.h"
#include "OS/perfCounter.h"
#include "VyrUtility.h"

namespace vyr::test {
namespace {

// A counter whose readings the test sets.
uint64_t g_ticks = 0;
uint64_t g_frequency = 0;
int g_readings = 0;
bool g_refuseHeap = false;

uint64_t fakeCounter()
{
    ++g_readings;
    return g_ticks;
}
uint64_t fakeFrequency() { return g_frequency; }
void* fakeHeapAlloc(size_t bytes) { return g_refuseHeap ? nullptr : os::platform().heapAlloc(bytes); }

class InjectedTicks : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform_ = os::platform();
        platform_.counter = fakeCounter;
        platform_.counterFrequency = fakeFrequency;
        platform_.heapAlloc = fakeHeapAlloc;
        g_refuseHeap = false;
        g_readings = 0;
    }
    PerfCounter* make(uint64_t frequency, uint64_t start)
    {
        g_frequency = frequency;
        g_ticks = start;
        PerfCounter* c = nullptr;
        EXPECT_EQ(1u, perf::allocate(platform_, &c));
        return c;
    }
    os::Platform platform_;
};

TEST_F(InjectedTicks, AllocationReadsTheFrequencyAndResets)
{
    PerfCounter* c = make(10000000, 777);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(10000000u, c->frequency);
    EXPECT_EQ(777u, c->startCount);
    g_ticks = 25000777;
    EXPECT_DOUBLE_EQ(2.5, perf::computeTime(platform_, c, 0));
    EXPECT_EQ(777u, c->startCount); // no restart
    EXPECT_EQ(1u, perf::release(platform_, c));
}

TEST_F(InjectedTicks, RestartUsesTheSameReadingAsTheResult)
{
    PerfCounter* c = make(1000, 0);
    const uint64_t readings[] = {1500, 1500, 4000, 4250};
    double got[4];
    for (int i = 0; i < 4; ++i) {
        g_ticks = readings[i];
        got[i] = perf::computeTime(platform_, c, i % 2); // no restart, restart, no restart, restart
    }
    EXPECT_EQ(1.5, got[0]);
    EXPECT_EQ(1.5, got[1]);
    EXPECT_EQ(2.5, got[2]);
    EXPECT_EQ(2.75, got[3]);
    EXPECT_EQ(4250u, c->startCount);
    EXPECT_EQ(1 + 4, g_readings); // one reading at allocation, one per call
    g_ticks = 9000;
    EXPECT_EQ(1u, perf::reset(platform_, c));
    EXPECT_EQ(9000u, c->startCount);
    perf::release(platform_, c);
}

TEST_F(InjectedTicks, DifferencesAndTicksAreUnsigned64Bit)
{
    // The counter wrapped: the difference is taken modulo 2^64.
    PerfCounter* c = make(4, UINT64_MAX - 5);
    g_ticks = 10;
    EXPECT_EQ(4.0, perf::computeTime(platform_, c, 0)); // 16 ticks
    // Readings at and above 2^63 convert as unsigned values.
    g_ticks = (uint64_t(1) << 63) + 4096;
    const double want = 9223372036854779904.0 / 4.0;
    EXPECT_EQ(want, perf::seconds(platform_, c));
    EXPECT_GT(perf::seconds(platform_, c), 0.0);
    perf::release(platform_, c);
}

TEST_F(InjectedTicks, MillisecondsAndMicrosecondsScaleOneReading)
{
    PerfCounter* c = make(7, 0);
    // A reading where scaling by 1000 twice and by 10^6 once round differently tells them apart.
    uint64_t ticks = 1;
    while (ticks < 100000 && (double(ticks) / 7.0) * 1000.0 * 1000.0 == (double(ticks) / 7.0) * 1e6)
        ++ticks;
    ASSERT_LT(ticks, 100000u);
    g_ticks = ticks;
    const double s = double(ticks) / 7.0;
    EXPECT_EQ(s, perf::seconds(platform_, c));
    EXPECT_EQ(s * 1000.0, perf::milliseconds(platform_, c));
    EXPECT_EQ(s * 1000.0 * 1000.0, perf::microseconds(platform_, c));
    EXPECT_EQ(0u, c->startCount); // the absolute readings neither use nor move the start
    perf::release(platform_, c);
}

TEST_F(InjectedTicks, RefusedHeapWritesNothing)
{
    g_refuseHeap = true;
    PerfCounter* untouched = reinterpret_cast<PerfCounter*>(uintptr_t(0x1234));
    EXPECT_EQ(0u, perf::allocate(platform_, &untouched));
    EXPECT_EQ(reinterpret_cast<PerfCounter*>(uintptr_t(0x1234)), untouched);
    EXPECT_EQ(0, g_readings);
}

TEST(RealCounter, ExportsMeasureForwardAndCheckTheirArguments)
{
    EXPECT_EQ(0u, VyrUtilAllocPerfCounter(nullptr));
    EXPECT_EQ(0u, VyrUtilFreePerfCounter(nullptr));

    PerfCounter* c = nullptr;
    ASSERT_EQ(1u, VyrUtilAllocPerfCounter(&c));
    ASSERT_NE(nullptr, c);
    const double first = VyrUtilComputeTimePerfCounter(c, 0);
    const double second = VyrUtilComputeTimePerfCounter(c, 0);
    EXPECT_GE(first, 0.0);
    EXPECT_LT(first, 5.0);
    EXPECT_GE(second, first);
    const double before = VyrUtilGetTimePerfCounter(c);
    const double milli = VyrUtilGetTimeMilliPerfCounter(c);
    const double micro = VyrUtilGetTimeMicroPerfCounter(c);
    EXPECT_GE(milli, before * 1000.0);
    EXPECT_GE(micro, milli * 1000.0);
    EXPECT_LT(milli, before * 1000.0 + 5000.0);
    EXPECT_EQ(1u, VyrUtilResetPerfCounter(c));
    EXPECT_GE(VyrUtilComputeTimePerfCounter(c, 1), 0.0);
    EXPECT_EQ(1u, VyrUtilFreePerfCounter(c));
}

} // namespace
} // namespace vyr::test
