// The platform layer against the system's own reports read another way: CPU times, the counter,
// events, threads, the heap and privilege names.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>

#include "OS/os.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fstream>
#include <linux/capability.h>
#include <sstream>
#include <time.h>
#include <unistd.h>
#endif

namespace vyr::test {
namespace {

const os::Platform& real = os::platform();

struct Reading {
    uint64_t idle, now;
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
    return {ticks(idle), ticks(now), info.dwNumberOfProcessors};
}
constexpr uint64_t kSlack = 200000; // 20 ms: the two ways may be updated on different ticks
#else
// /proc/stat's idle and I/O-wait ticks in nanoseconds, and the monotonic clock.
Reading reference()
{
    std::ifstream stat("/proc/stat");
    std::string line;
    Reading r = {0, 0, 0};
    while (std::getline(stat, line) && line.rfind("cpu", 0) == 0) {
        if (line[3] != ' ') {
            ++r.processors;
            continue;
        }
        std::istringstream fields(line.substr(3));
        uint64_t user, nice, system, idle, iowait;
        fields >> user >> nice >> system >> idle >> iowait;
        r.idle = (idle + iowait) * (1000000000u / uint64_t(sysconf(_SC_CLK_TCK)));
    }
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    r.now = uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
    return r;
}
constexpr uint64_t kSlack = 0;
#endif

TEST(Platform, SystemTimesLieBetweenTwoReferenceReadings)
{
    ASSERT_TRUE(real.systemTimesAvailable());
    const Reading before = reference();
    os::SystemTimes t;
    ASSERT_TRUE(real.systemTimes(&t));
    const Reading after = reference();
    EXPECT_EQ(before.processors, t.processors);
    EXPECT_GE(t.idle + kSlack, before.idle);
    EXPECT_LE(t.idle, after.idle + kSlack);
    EXPECT_GE(t.now + kSlack, before.now);
    EXPECT_LE(t.now, after.now + kSlack);
}

TEST(Platform, CounterAndHeap)
{
#if defined(_WIN32)
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    EXPECT_EQ(uint64_t(frequency.QuadPart), real.counterFrequency());
#else
    EXPECT_EQ(1000000000u, real.counterFrequency());
#endif
    const uint64_t first = real.counter();
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(20)) {
    }
    const double seconds = double(real.counter() - first) / double(real.counterFrequency());
    EXPECT_GE(seconds, 0.019);
    EXPECT_LT(seconds, 5.0);

    auto* block = static_cast<uint8_t*>(real.heapAlloc(4096));
    ASSERT_NE(nullptr, block);
    for (size_t i = 0; i < 4096; ++i)
        ASSERT_EQ(0, block[i]) << "at " << i;
    real.heapFree(block);
}

TEST(Platform, ManualResetEventAndThread)
{
    const os::Handle event = real.createEvent();
    ASSERT_NE(0u, event);
    EXPECT_FALSE(real.waitEvent(event, 0));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(real.waitEvent(event, 30));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));

    struct Shared {
        const os::Platform* platform;
        os::Handle event;
        std::atomic<int> ran{0};
    } shared{&real, event};
    const os::Handle thread = real.startThread(
        [](void* p) {
            auto* s = static_cast<Shared*>(p);
            s->ran = 1;
            s->platform->setEvent(s->event);
        },
        &shared);
    ASSERT_NE(0u, thread);
    EXPECT_TRUE(real.waitEvent(event, 0xFFFFFFFFu));
    real.joinThread(thread);
    EXPECT_EQ(1, shared.ran.load());
    EXPECT_TRUE(real.waitEvent(event, 0)); // stays signalled
    real.closeEvent(event);
}

TEST(Platform, PrivilegeNames)
{
    uint64_t id = 0;
    EXPECT_EQ(0, real.lookupPrivilege("SeNoSuchPrivilege", &id));
#if defined(_WIN32)
    // The well-known identifiers of the two privileges the library asks for.
    ASSERT_EQ(1, real.lookupPrivilege("SeLockMemoryPrivilege", &id));
    EXPECT_EQ(4u, id);
    ASSERT_EQ(1, real.lookupPrivilege("SeIncreaseQuotaPrivilege", &id));
    EXPECT_EQ(5u, id);
#else
    ASSERT_EQ(1, real.lookupPrivilege("SeLockMemoryPrivilege", &id));
    EXPECT_EQ(uint64_t(CAP_IPC_LOCK), id);
    ASSERT_EQ(1, real.lookupPrivilege("SEINCREASEQUOTAPRIVILEGE", &id));
    EXPECT_EQ(uint64_t(CAP_SYS_RESOURCE), id);
#endif
    os::Handle token = 0;
    ASSERT_EQ(1, real.openProcessToken(&token));
    EXPECT_NE(0u, token);
    real.closeToken(token);
}

} // namespace
} // namespace vyr::test
