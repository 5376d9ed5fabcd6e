#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>

#include "OS/Linux/proc_lines.h"
#include "OS/Linux/services.h"

namespace vyr::os::linux_services {
namespace {

constexpr uint64_t kNanosecondsPerSecond = 1000000000u;

// Ticks of USER_HZ to nanoseconds without overflowing after years of uptime.
uint64_t ticksToNanoseconds(uint64_t ticks, uint64_t hz)
{
    return ticks / hz * kNanosecondsPerSecond + ticks % hz * kNanosecondsPerSecond / hz;
}

// The cpu lines at the top of /proc/stat: "cpu" with the sums, then one "cpuN" per processor.
struct CpuLines {
    bool haveSums = false;
    uint64_t idleTicks = 0;
    uint32_t processors = 0;

    // False at the first line that is not a cpu line.
    bool take(const char* line)
    {
        if (std::strncmp(line, "cpu", 3) != 0)
            return false;
        if (line[3] != ' ') {
            ++processors;
            return true;
        }
        uint64_t user, nice, system, idle, iowait = 0;
        const int n = std::sscanf(line + 3, "%" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64 " %" SCNu64, &user,
                                  &nice, &system, &idle, &iowait);
        haveSums = n >= 4;
        idleTicks = idle + iowait; // waiting for I/O is idle time, as the Windows idle count has it
        return true;
    }
};

} // namespace

bool systemTimes(SystemTimes* out)
{
    const long hz = sysconf(_SC_CLK_TCK);
    if (hz <= 0)
        return false;
    CpuLines lines;
    const bool read = eachLine("/proc/stat", [&lines](const char* line) { return lines.take(line); });
    timespec now;
    if (!read || !lines.haveSums || lines.processors == 0 || clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return false;
    out->idle = ticksToNanoseconds(lines.idleTicks, uint64_t(hz));
    out->now = uint64_t(now.tv_sec) * kNanosecondsPerSecond + uint64_t(now.tv_nsec);
    out->processors = lines.processors;
    return true;
}

} // namespace vyr::os::linux_services
