#include "OS/cpu_usage.h"

#include "OS/process_lock.h"
#include "VyrUtility.h"

namespace vyr::os::cpu_usage {
namespace {

// Concurrent starts and stops would each stop the same thread, or leave one running unknown.
ProcessLock g_startStop;

// One step of the arithmetic rounded to double. x87 code keeps wider intermediates, which would end
// a bit away from what the same rule gives on any other processor.
inline double step(double x)
{
#if defined(__i386__) && !defined(__SSE2_MATH__)
    volatile double rounded = x;
    return rounded;
#else
    return x;
#endif
}

} // namespace

uint32_t Monitor::enter(uint32_t period, uint32_t ltSamples)
{
    Holding hold(g_startStop);
    if (!platform_->systemTimesAvailable())
        return 0;
    stop(); // one event and one thread per process
    period_ = period;
    ltSamples_ = ltSamples;
    stop_ = platform_->createEvent();
    if (!stop_) {
        stop();
        return 0;
    }
    owner_ = platform_->processId();
    thread_ = platform_->startThread(run, this);
    if (!thread_) {
        stop();
        return 0;
    }
    return 1;
}

uint32_t Monitor::leave()
{
    Holding hold(g_startStop);
    stop();
    return 1;
}

void Monitor::stop()
{
    if (!stop_)
        return;
    if (thread_ && owner_ != platform_->processId()) {
        // A forked child: the thread is the parent's, and signalling the event they share would stop
        // it. The child forgets the thread and closes its own copy of the event.
        thread_ = 0;
    } else if (thread_) {
        platform_->setEvent(stop_);
        platform_->joinThread(thread_);
        thread_ = 0;
    }
    platform_->closeEvent(stop_);
    stop_ = 0;
}

void Monitor::run(void* self)
{
    auto* m = static_cast<Monitor*>(self);
    while (!m->platform_->waitEvent(m->stop_, m->period_))
        m->cycle();
}

void Monitor::cycle()
{
    os::SystemTimes t;
    if (!platform_->systemTimes(&t) || t.processors == 0)
        return;
    if (previousIdle_ != 0) {
        const double idle = step(step(double(t.idle)) - step(double(previousIdle_)));
        const double elapsed = step(step(double(t.now)) - step(double(previousTime_)));
        if (elapsed == 0.0)
            return;
        // 100 - idle / elapsed * 100 / processors + 0.5, step by step in this order
        if (elapsed > 0.0)
            record(step(step(100.0 - step(step(step(idle / elapsed) * 100.0) / double(t.processors))) + 0.5));
    }
    previousIdle_ = t.idle;
    previousTime_ = t.now;
}

void Monitor::record(double usage)
{
    if (usage > maximum())
        maximum_.store(usage, std::memory_order_relaxed);
    if (minimum() > usage)
        minimum_.store(usage, std::memory_order_relaxed);
    current_.store(usage, std::memory_order_relaxed);
    double average = longTerm();
    if (average == 0.0) {
        average = usage;
    } else {
        // An averaging length of 0 counts as 1: the average follows the current usage.
        const uint32_t n = ltSamples_ ? ltSamples_ : 1;
        average = step(step(step(double(n - 1u) * average) / double(n)) + step(usage / double(n)));
    }
    longTerm_.store(average, std::memory_order_relaxed);
}

Monitor& processMonitor()
{
    static Monitor monitor(os::platform());
    return monitor;
}

} // namespace vyr::os::cpu_usage

extern "C" {

using vyr::os::cpu_usage::processMonitor;

VYR_API uint32_t VYR_CALL VyrUtilEnterCpuUsage(uint32_t period, uint32_t ltSamples)
{
    return processMonitor().enter(period, ltSamples);
}
VYR_API uint32_t VYR_CALL VyrUtilLeaveCpuUsage(void) { return processMonitor().leave(); }
VYR_API double VYR_CALL VyrUtilGetAvgCpuUsage(void) { return processMonitor().current(); }
VYR_API double VYR_CALL VyrUtilGetMinCpuUsage(void) { return processMonitor().minimum(); }
VYR_API double VYR_CALL VyrUtilGetMaxCpuUsage(void) { return processMonitor().maximum(); }
VYR_API double VYR_CALL VyrUtilGetLtAvgCpuUsage(void) { return processMonitor().longTerm(); }

} // extern "C"
