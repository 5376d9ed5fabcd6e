// The CPU usage monitor on injected samples against the rules computed cycle by cycle (formula,
// statistics, long-term average, skipped cycles, restarts).
#include <gtest/gtest.h>

#include <vector>

#include "OS/cpu_usage.h"
#include "VyrUtility.h"
#include "bytes.h"

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

std::vector<double> values(const os::cpu_usage::Monitor& m)
{
    return {m.current(), m.minimum(), m.maximum(), m.longTerm()};
}

Sample g_samples[400];
size_t g_taken;
int g_eventsClosed, g_joins;

// A platform whose samples, event and thread the test controls, the test running the cycles. Steps
// that do not advance, idle that does not move (100.5: no clamping), failed samples, samples without
// processors and samples back in time, for averaging lengths where 0 counts as 1; each start stops
// the running monitor first, and the statistics carry over from one run to the next.
TEST(InjectedSamples, RandomRunsFollowTheRulesCycleByCycle)
{
    os::Platform p = os::platform();
    p.systemTimesAvailable = [] { return true; };
    p.systemTimes = [](os::SystemTimes* out) {
        const Sample& s = g_samples[g_taken++];
        *out = {s.idle, s.now, s.processors};
        return s.ok;
    };
    p.createEvent = [] { return os::Handle(1); };
    p.setEvent = [](os::Handle) {};
    p.closeEvent = [](os::Handle) { ++g_eventsClosed; };
    p.startThread = [](os::ThreadMain, void*) { return os::Handle(1); };
    p.joinThread = [](os::Handle) { ++g_joins; };
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
            ASSERT_EQ(want.values(), values(m)) << "ltSamples " << ltSamples << ", cycle " << i;
        }
        EXPECT_EQ(100.5, m.maximum());
        EXPECT_EQ(ltSamples <= 1, m.current() == m.longTerm()); // N of 0 or 1: the last value
    }
    EXPECT_EQ(1u, m.leave());
    EXPECT_EQ(1u, m.leave()); // stopped already: nothing to do
    EXPECT_EQ(4, g_joins);
    EXPECT_EQ(4, g_eventsClosed);
}

} // namespace
} // namespace vyr::test
