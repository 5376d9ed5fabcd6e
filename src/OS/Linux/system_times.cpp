#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

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

// Reads whole lines through a stack buffer and hands them to lines until it has seen them all.
bool readCpuLines(int fd, CpuLines& lines)
{
    char buf[4096];
    size_t have = 0;
    for (;;) {
        const ssize_t got = read(fd, buf + have, sizeof buf - 1 - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return true;
        have += size_t(got);
        buf[have] = '\0';
        char* line = buf;
        for (char* eol; (eol = std::strchr(line, '\n')) != nullptr; line = eol + 1) {
            *eol = '\0';
            if (!lines.take(line))
                return true;
        }
        have = size_t(buf + have - line);
        if (have == sizeof buf - 1)
            return false; // a line that does not fit: not one of the cpu lines
        std::memmove(buf, line, have);
    }
}

} // namespace

bool systemTimes(SystemTimes* out)
{
    const long hz = sysconf(_SC_CLK_TCK);
    const int fd = open("/proc/stat", O_RDONLY | O_CLOEXEC);
    if (fd < 0 || hz <= 0) {
        if (fd >= 0)
            close(fd);
        return false;
    }
    CpuLines lines;
    const bool read = readCpuLines(fd, lines);
    close(fd);
    timespec now;
    if (!read || !lines.haveSums || lines.processors == 0 || clock_gettime(CLOCK_MONOTONIC, &now) != 0)
        return false;
    out->idle = ticksToNanoseconds(lines.idleTicks, uint64_t(hz));
    out->now = uint64_t(now.tv_sec) * kNanosecondsPerSecond + uint64_t(now.tv_nsec);
    out->processors = lines.processors;
    return true;
}

} // namespace vyr::os::linux_services
