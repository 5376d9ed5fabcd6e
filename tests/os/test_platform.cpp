// The platform layer's CPU times and counter against the system's own reports, read another way.
#include <gtest/gtest.h>

#include <string>

#include "OS/os.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fstream>
#include <sstream>
#include <time.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

struct Reading {
    uint64_t idle, now, frequency;
    uint32_t processors;
};

#if defined(_WIN32)
uint64_t ticks(const FILETIME& t) { return uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime; }
// Idle time summed over processors and the system time, both in 100 ns.
Reading reference()
{
    FILETIME idle, kernel, user, now;
    GetSystemTimes(&idle, &kernel, &user);
    GetSystemTimeAsFileTime(&now);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return {ticks(idle), ticks(now), uint64_t(frequency.QuadPart), info.dwNumberOfProcessors};
}
constexpr uint64_t kSlack = 200000; // 20 ms: the two ways may be updated on different ticks
#else
// /proc/stat's idle and I/O-wait ticks in nanoseconds, and the monotonic clock.
Reading reference()
{
    std::ifstream stat("/proc/stat");
    std::string line;
    Reading r = {0, 0, 1000000000u, 0};
    while (std::getline(stat, line) && line.rfind("cpu", 0) == 0) {
        std::istringstream fields(line.substr(3));
        uint64_t user, nice, system, idle, iowait;
        if (line[3] != ' ')
            ++r.processors;
        else if (fields >> user >> nice >> system >> idle >> iowait)
            r.idle = (idle + iowait) * (1000000000u / uint64_t(sysconf(_SC_CLK_TCK)));
    }
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    r.now = uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
    return r;
}
constexpr uint64_t kSlack = 0;
#endif

TEST(Platform, SystemTimesAndCounterAgreeWithTheSystem)
{
    const os::Platform& real = os::platform();
    ASSERT_TRUE(real.systemTimesAvailable());
    const Reading before = reference();
    const uint64_t count = real.counter();
    os::SystemTimes t;
    ASSERT_TRUE(real.systemTimes(&t));
    const Reading after = reference();
    EXPECT_EQ(before.processors, t.processors);
    EXPECT_GE(t.idle + kSlack, before.idle);
    EXPECT_LE(t.idle, after.idle + kSlack);
    EXPECT_GE(t.now + kSlack, before.now);
    EXPECT_LE(t.now, after.now + kSlack);
    EXPECT_EQ(before.frequency, real.counterFrequency());
    EXPECT_GE(real.counter(), count);
}

} // namespace
} // namespace vyr::test
