// The CPU usage monitor on the real machine: with a busy child process on every processor it reads
// a usage well above the idle baseline it read before (or nearly full use).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "VyrUtility.h"
#include "child_process.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace vyr::test {
namespace {

// Burns a processor until it is killed.
VYR_CHILD_MAIN(spin)
{
    reply("spinning");
    for (volatile uint64_t x = 0;; x = x + 1) {
    }
}

// The mean of the monitor's current usage, read once per period.
double meanUsage(int periods, int periodMs)
{
    double sum = 0;
    for (int i = 0; i < periods; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
        sum += VyrUtilGetAvgCpuUsage();
    }
    return sum / periods;
}

TEST(CpuUsageRun, SeesBusyChildrenAboveTheIdleBaseline)
{
    constexpr int kPeriod = 100;
    ASSERT_EQ(1u, VyrUtilEnterCpuUsage(kPeriod, 5));
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kPeriod)); // the first value takes two periods
#if defined(_WIN32)
    if (VyrUtilGetMaxCpuUsage() == 0.0 && GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version")) {
        VyrUtilLeaveCpuUsage();
        GTEST_SKIP() << "wine answers no system-information query the monitor samples";
    }
#endif
    const double idle = meanUsage(15, kPeriod);
    const uint32_t processors = std::max(1u, VyrUtilGetProcessorCount());
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (uint32_t i = 0; i < processors; ++i) {
        children.push_back(std::make_unique<ChildProcess>("spin"));
        ASSERT_EQ(std::optional<std::string>("spinning"), children.back()->readLine());
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(3 * kPeriod));
    const double busy = meanUsage(15, kPeriod);
    for (auto& child : children)
        child->kill();
    children.clear();
    EXPECT_EQ(1u, VyrUtilLeaveCpuUsage());
    // Each child adds 100 / processors points: ask for half, or near full use above a high baseline.
    EXPECT_GE(busy, std::min(90.0, idle + 50.0 / processors)) << "idle baseline " << idle;
    EXPECT_GE(VyrUtilGetMaxCpuUsage(), busy);
}

} // namespace
} // namespace vyr::test
