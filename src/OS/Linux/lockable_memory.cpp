#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include "OS/Linux/proc_lines.h"
#include "OS/Linux/services.h"

namespace vyr::os::linux_services {
namespace {

// The kilobytes of a "Name:   value kB" line of /proc/meminfo or /proc/self/status, if it is name's.
bool kilobytes(const char* line, const char* name, uint64_t* out)
{
    const size_t n = std::strlen(name);
    return std::strncmp(line, name, n) == 0 && std::sscanf(line + n, " %" SCNu64, out) == 1;
}

} // namespace

// What the system can give: the lock limit leaves its room to the memory locked already (a process
// whose capability lets it lock more is held to it too, as the working set it set), and the memory
// available is taken only down to a sixteenth of the machine, left for everyone else.
size_t lockablePages()
{
    uint64_t total = 0, available = 0, locked = 0;
    bool known = false;
    eachLine("/proc/meminfo", [&](const char* line) {
        kilobytes(line, "MemTotal:", &total);
        known = kilobytes(line, "MemAvailable:", &available) || known;
        return true;
    });
    struct sysinfo info;
    if (!known && sysinfo(&info) == 0) { // a kernel before 3.14 has no estimate: free memory
        total = uint64_t(info.totalram) * info.mem_unit / 1024;
        available = uint64_t(info.freeram + info.bufferram) * info.mem_unit / 1024;
    }
    uint64_t bytes = (available - std::min(available, total / 16)) * 1024;
    rlimit limit;
    if (getrlimit(RLIMIT_MEMLOCK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        eachLine("/proc/self/status", [&](const char* line) { return !kilobytes(line, "VmLck:", &locked); });
        const uint64_t lockedBytes = locked * 1024;
        bytes = std::min<uint64_t>(bytes, limit.rlim_cur > lockedBytes ? limit.rlim_cur - lockedBytes : 0);
    }
    return size_t(std::min<uint64_t>(bytes / uint64_t(sysconf(_SC_PAGESIZE)), SIZE_MAX));
}

} // namespace vyr::os::linux_services
