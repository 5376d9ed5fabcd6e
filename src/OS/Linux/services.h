// The Linux half's services that live in files of their own, gathered into the table by platform.cpp.
#pragma once

#include "OS/os.h"

namespace vyr::os::linux_services {

// /proc/stat: idle and I/O-wait time summed over the processors, and the processors counted there,
// with the monotonic clock, all in nanoseconds.
bool systemTimes(SystemTimes* out);

// Windows privilege names stand for capabilities: enabling raises a permitted capability into the
// effective set of the calling thread, disabling lowers it.
int32_t openProcessToken(Handle* token);
int32_t lookupPrivilege(const char* name, uint64_t* id);
int32_t adjustPrivilege(Handle token, uint64_t id, bool enable, uint32_t* lastError);
void closeToken(Handle token);

// The working set is the amount of memory the process may lock (RLIMIT_MEMLOCK): the minimum
// becomes the soft limit, the maximum the hard one.
int32_t setWorkingSet(size_t minimum, size_t maximum, uint32_t* lastError);

// Pages of physical memory this process may still lock: the available memory, less a reserve for
// the rest of the system, and the room its lock limit leaves.
size_t lockablePages();

} // namespace vyr::os::linux_services
