#include <windows.h>

#include "OS/os.h"

namespace vyr::os {

// Without compiler support for structured exception handling, the trial asks the system whether
// it saves and enables the SSE register state, which is what a faulting trial would tell.
bool trySseInstruction() { return IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE) != 0; }

bool trySse2Instruction() { return IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE) != 0; }

uint32_t processorCount()
{
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof info);
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

} // namespace vyr::os
