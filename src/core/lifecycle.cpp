#include "core/lifecycle.h"

#include "VyrLog.h"
#include "core/log.h"

namespace vyr::core {
namespace {
int32_t g_fpgaEmuEnabled = 0; // per process, never in the machine-wide block
} // namespace

VyrBool VyrUtilInitInstance() { return 1; }

bool startProcess()
{
    if (VyrUtilInitInstance())
        return true;
    VyrLogPutLog(1, kFileVyrUtil, __LINE__, "VYRUTILITY.DLL: DLLMAIN => VyrUtilInitInstance failed");
    return false;
}

} // namespace vyr::core

extern "C" {

VYR_API int32_t VYR_CALL VyrUtilGetFpgaEmuEnabled(void)
{
    return __atomic_load_n(&vyr::core::g_fpgaEmuEnabled, __ATOMIC_RELAXED);
}

VYR_API void VYR_CALL VyrUtilSetFpgaEmuEnabled(int32_t value)
{
    __atomic_store_n(&vyr::core::g_fpgaEmuEnabled, value, __ATOMIC_RELAXED);
}

} // extern "C"
