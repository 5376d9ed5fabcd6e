#include <windows.h>

#include "core/lifecycle.h"
#include "core/shared.h"

namespace vyr::os {
namespace {
// One copy for every process that loads the DLL: a data section with the shared attribute.
__attribute__((section(".shared"), shared)) core::Shared g_shared = core::kFreshShared;
} // namespace

core::Shared* machineShared() { return &g_shared; }

} // namespace vyr::os

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID)
{
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        if (!vyr::core::startProcess())
            return FALSE;
        InterlockedIncrement(reinterpret_cast<volatile LONG*>(&vyr::os::machineShared()->attach));
        return TRUE;
    case DLL_PROCESS_DETACH:
        InterlockedDecrement(reinterpret_cast<volatile LONG*>(&vyr::os::machineShared()->attach));
        return TRUE;
    default: return TRUE;
    }
}
