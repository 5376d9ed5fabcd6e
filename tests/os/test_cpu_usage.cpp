// The CPU usage monitor on injected samples against the rules computed cycle by cycle (formula,
// statistics, long-term average, skipped cycles, restarts).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <future>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "OS/cpu_usage.h"
#include "VyrUtility.h"
#include "bytes.h"

#if !defined(_WIN32)
#include "proc_files.h"
#endif

namespace vyr::test {
namespace {

double d(double x) // each operation in double precision (x87 code keeps wider intermediates)
{
    volatile double v = x;
    return v;
}

struct Sample {
    bool ok;
    uint64_t idle, now;
    uint32_t processors;
};

// The statistics as the rules compute them.
struct Reference {
    double current = 0.0, minimum = 100.0, maximum = 0.0, longTerm = 0.0;
    uint64_t idle = 0, now = 0;

    void take(const Sample& s, uint32_t ltSamples)
    {
        if (!s.ok || s.processors == 0)
            return;
        if (idle != 0) {
            const double dI = d(d(double(s.idle)) - d(double(idle)));
            const double dT = d(d(double(s.now)) - d(double(now)));
            if (dT == 0.0)
                return; // the next cycle measures from the older sample
            if (dT > 0.0) {
                const double usage = d(d(100.0 - d(d(d(dI / dT) * 100.0) / double(s.processors))) + 0.5);
                maximum = usage > maximum ? usage : maximum;
                minimum = minimum > usage ? usage : minimum;
                current = usage;
                const double n = ltSamples ? ltSamples : 1;
                longTerm = longTerm == 0.0 ? usage : d(d(d((n - 1) * longTerm) / n) + d(usage / n));
            }
        }
        idle = s.idle;
        now = s.now;
    }
    std::vector<double> values() const { return {current, minimum, maximum, longTerm}; }
};

// A platform whose steps note any overlap: starts and stops from many threads must go one at a time,
// each thread started joined once, each event made closed once.
struct Steps {
    std::atomic<int> inside{0}, overlaps{0}, events{0}, closed{0}, started{0}, signalled{0}, joins{0};
    std::mutex mutex;
    std::set<os::Handle> running;
    int joined = 0, strayJoins = 0;
    uint32_t pid = 100;
};
Steps* g_steps;

// One step of the platform, counted in `count`: the new count.
int step(std::atomic<int>& count)
{
    if (++g_steps->inside > 1)
        ++g_steps->overlaps;
    std::this_thread::sleep_for(std::chrono::microseconds(20));
    const int n = ++count;
    --g_steps->inside;
    return n;
}

os::Platform steppingPlatform(Steps& steps)
{
    g_steps = &steps;
    os::Platform p = os::platform();
    p.systemTimesAvailable = [] { return true; };
    p.createEvent = [] { return os::Handle(step(g_steps->events)); };
    p.setEvent = [](os::Handle) { step(g_steps->signalled); };
    p.closeEvent = [](os::Handle) { step(g_steps->closed); };
    p.startThread = [](os::ThreadMain, void*) {
        const os::Handle thread = os::Handle(1000 + step(g_steps->started));
        std::lock_guard<std::mutex> hold(g_steps->mutex);
        g_steps->running.insert(thread);
        return thread;
    };
    p.joinThread = [](os::Handle thread) {
        step(g_steps->joins);
        std::lock_guard<std::mutex> hold(g_steps->mutex);
        ++(g_steps->running.erase(thread) == 1 ? g_steps->joined : g_steps->strayJoins);
    };
    p.processId = [] { return g_steps->pid; };
    return p;
}

Sample g_samples[400];
size_t g_taken;

// The stepping platform with samples the test chooses, the test running the cycles: time that stands
// still, idle that does not move (100.5: no clamping), failed samples, samples without processors and
// samples back in time, for averaging lengths where 0 counts as 1; each start stops the running
// monitor first, and the statistics carry over from one run to the next.
TEST(InjectedSamples, RandomRunsFollowTheRulesCycleByCycle)
{
    Steps steps;
    os::Platform p = steppingPlatform(steps);
    p.systemTimes = [](os::SystemTimes* out) {
        const Sample& s = g_samples[g_taken++];
        *out = {s.idle, s.now, s.processors};
        return s.ok;
    };
    os::cpu_usage::Monitor m(p);
    Reference want;
    for (uint32_t ltSamples : {0u, 1u, 3u, 10u}) {
        ASSERT_EQ(1u, m.enter(0, ltSamples));
        g_taken = 0;
        const std::vector<uint8_t> noise = randomBytes(4 * 400, ltSamples + 1);
        uint64_t idle = 0, now = 1000;
        for (size_t i = 0; i < 400; ++i) {
            const uint8_t* r = &noise[4 * i];
            const uint32_t processors = 1u + r[0] % 8;
            const uint64_t step = r[1] % 16 == 0 ? 0 : 1000u * r[1];
            idle += step * processors * r[2] / 255;
            now += step;
            g_samples[i] = {r[3] % 11 != 0, idle, r[3] % 37 == 1 ? now - 500 : now,
                            r[3] == 2 ? 0 : processors};
            m.cycle();
            want.take(g_samples[i], ltSamples);
            ASSERT_EQ(want.values(),
                      std::vector<double>({m.current(), m.minimum(), m.maximum(), m.longTerm()}))
                << "ltSamples " << ltSamples << ", cycle " << i;
        }
        EXPECT_EQ(100.5, m.maximum());
        EXPECT_EQ(ltSamples <= 1, m.current() == m.longTerm()); // N of 0 or 1: the last value
    }
    EXPECT_EQ(1u, m.leave());
    EXPECT_EQ(1u, m.leave()); // stopped already: nothing to do
    EXPECT_EQ(4, steps.joined);
    EXPECT_EQ(4, steps.closed.load());
}

TEST(MonitorStartStop, CallsFromManyThreadsGoOneAtATime)
{
    Steps steps;
    const os::Platform p = steppingPlatform(steps);
    os::cpu_usage::Monitor m(p);
    std::vector<std::thread> threads;
    for (int t = 0; t < 6; ++t) {
        threads.emplace_back([&m, t] {
            for (int i = 0; i < 60; ++i) {
                if ((i + t) % 3 != 2)
                    m.enter(10, 4);
                else
                    m.leave();
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(1u, m.leave());
    EXPECT_EQ(0, steps.overlaps.load());
    EXPECT_EQ(steps.events.load(), steps.closed.load());
    EXPECT_EQ(steps.started.load(), steps.joined);
    EXPECT_EQ(0, steps.strayJoins);
    EXPECT_TRUE(steps.running.empty());
}

// A forked child has the parent's handles but not its thread: stopping there must neither signal the
// event they share (it would stop the parent's thread) nor wait for the thread.
TEST(MonitorStartStop, AForkedChildForgetsItsParentsThread)
{
    Steps steps;
    const os::Platform p = steppingPlatform(steps);
    os::cpu_usage::Monitor m(p);
    ASSERT_EQ(1u, m.enter(10, 4));
    steps.pid = 101;
    EXPECT_EQ(1u, m.leave());
    EXPECT_EQ(std::make_tuple(0, 0, 1),
              std::make_tuple(steps.signalled.load(), steps.joined, steps.closed.load()));
    ASSERT_EQ(1u, m.enter(10, 4)); // a monitor of the child's own
    EXPECT_EQ(1u, m.leave());
    EXPECT_EQ(std::make_tuple(1, 1, 2),
              std::make_tuple(steps.signalled.load(), steps.joined, steps.closed.load()));
}

// The process's monitor started and stopped from several threads at once, fast: every start succeeds
// (a running monitor is stopped first), every call returns and afterwards no monitor thread or
// descriptor is left. A hang ends the program, as nothing can free the threads.
TEST(MonitorStartStop, TheProcessMonitorUnderConcurrentCalls)
{
#if !defined(_WIN32)
    std::thread([] {}).join(); // a sanitizer starts a thread of its own along with the first one
    const size_t threads = steadyCount("/proc/self/task"), descriptors = steadyCount("/proc/self/fd");
#endif
    std::atomic<int> refused{0};
    auto done = std::async(std::launch::async, [&refused] {
        std::vector<std::thread> callers;
        for (int t = 0; t < 4; ++t) {
            callers.emplace_back([t, &refused] {
                for (int i = 0; i < 150; ++i) {
                    if ((i + t) % 2 == 0)
                        refused += VyrUtilEnterCpuUsage(1, 4) != 1;
                    else
                        VyrUtilLeaveCpuUsage();
                }
            });
        }
        for (std::thread& t : callers)
            t.join();
        return VyrUtilLeaveCpuUsage();
    });
    if (done.wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
        std::fprintf(stderr, "starts and stops from several threads hung\n");
        std::_Exit(1);
    }
    EXPECT_EQ(1u, done.get());
    EXPECT_EQ(0, refused.load());
#if !defined(_WIN32)
    EXPECT_EQ(threads, steadyCount("/proc/self/task"));
    EXPECT_EQ(descriptors, steadyCount("/proc/self/fd"));
#endif
}

} // namespace
} // namespace vyr::test
