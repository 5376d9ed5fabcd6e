#include <windows.h>

#include "OS/os.h"
#include "OS/process_lock.h"

namespace vyr::os {

// The system's answer is what a faulting trial instruction would tell, without structured exception
// handling (which the compiler lacks).
bool systemRunsSse() { return IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0; }

bool systemRunsSse2() { return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0; }

uint32_t processorCount()
{
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof info);
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

static_assert(sizeof(SRWLOCK) == sizeof(void*), "an SRWLOCK is one pointer, initially null");

void ProcessLock::lock() { AcquireSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&srw_)); }
void ProcessLock::unlock() { ReleaseSRWLockExclusive(reinterpret_cast<PSRWLOCK>(&srw_)); }

} // namespace vyr::os
