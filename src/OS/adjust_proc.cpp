#include "OS/adjust_proc.h"

#include "VyrUtility.h"
#include "core/log.h"

// Pointer-sized unsigned values: the Windows C runtime spells them %Iu, the C standard %zu.
#if defined(_WIN32)
#define VYR_SIZE_FORMAT "%Iu"
#else
#define VYR_SIZE_FORMAT "%zu"
#endif

namespace vyr::os::adjust_proc {

using core::kFileAdjustProc;
using core::LogPrintf;

uint32_t adjustPrivilege(const os::Platform& platform, const char* name, uint32_t enable)
{
    os::Handle token = 0;
    if (platform.openProcessToken(&token) != 1) {
        LogPrintf("VyrUtilAdjustProcessPrivilege => Cannot open process token", kFileAdjustProc, __LINE__);
        return 0;
    }
    uint64_t id = 0;
    // A null name is a name the system does not know; it prints as the C runtimes print it.
    if (!name || platform.lookupPrivilege(name, &id) != 1) {
        LogPrintf("VyrUtilAdjustProcessPrivilege => Cannot get privilege value for %s", kFileAdjustProc,
                  __LINE__, name ? name : "(null)");
        platform.closeToken(token);
        return 0;
    }
    uint32_t lastError = 0;
    if (platform.adjustPrivilege(token, id, enable != 0, &lastError) != 1) {
        LogPrintf("VyrUtilAdjustProcessPrivilege => Cannot adjust token privileges, error %u",
                  kFileAdjustProc, __LINE__, static_cast<unsigned>(lastError));
        platform.closeToken(token);
        return 0;
    }
    // Applying succeeds even where the process may not hold the privilege; the error tells.
    if (lastError != 0) {
        LogPrintf(
            "VyrUtilAdjustProcessPrivilege => Cannot %s \"%s\" privilege, please check the local policy",
            kFileAdjustProc, __LINE__, enable ? "enable" : "disable", name);
        platform.closeToken(token);
        return 0;
    }
    platform.closeToken(token);
    return 1;
}

uint32_t adjustWorkingSet(const os::Platform& platform, uint32_t minimum, uint32_t maximum)
{
    if (!adjustPrivilege(platform, "SeIncreaseQuotaPrivilege", 1))
        return 0;
    uint32_t lastError = 0;
    const int32_t result = platform.setWorkingSet(minimum, maximum, &lastError);
    if (result == 0) {
        LogPrintf("VyrUtilAdjustWorkingSet => Cannot change size of working set (lastError: %#lx "
                  "min: " VYR_SIZE_FORMAT " max: " VYR_SIZE_FORMAT " )",
                  kFileAdjustProc, __LINE__, static_cast<unsigned long>(lastError), size_t(minimum),
                  size_t(maximum));
        return 0;
    }
    return static_cast<uint32_t>(result);
}

uint32_t is64BitKernel(const os::Platform& platform) { return platform.is64BitKernel(); }

uint32_t isWindows8AndGreater(const os::Platform& platform, VersionRecord& record)
{
    if (!record.filled.load(std::memory_order_acquire)) {
        uint32_t major = 0, minor = 0;
        if (!platform.windowsVersion(&major, &minor))
            major = minor = 0;
        record.major.store(major, std::memory_order_relaxed);
        record.minor.store(minor, std::memory_order_relaxed);
        record.filled.store(true, std::memory_order_release);
    }
    const uint32_t major = record.major.load(std::memory_order_relaxed);
    const uint32_t minor = record.minor.load(std::memory_order_relaxed);
    return major > 6 || (major == 6 && minor >= 2) ? 1 : 0;
}

} // namespace vyr::os::adjust_proc

namespace {
vyr::os::adjust_proc::VersionRecord g_version; // filled on the first query in the process
} // namespace

extern "C" {

using vyr::os::platform;

VYR_API uint32_t VYR_CALL VyrUtilAdjustProcessPrivilege(const char* name, uint32_t enable)
{
    return vyr::os::adjust_proc::adjustPrivilege(platform(), name, enable);
}
VYR_API uint32_t VYR_CALL VyrUtilAdjustProcessWorkingSet(uint32_t minimum, uint32_t maximum)
{
    return vyr::os::adjust_proc::adjustWorkingSet(platform(), minimum, maximum);
}
VYR_API uint32_t VYR_CALL VyrUtilIs64BitKernel(void)
{
    return vyr::os::adjust_proc::is64BitKernel(platform());
}
VYR_API uint32_t VYR_CALL VyrUtilIsWindows8AndGreater(void)
{
    return vyr::os::adjust_proc::isWindows8AndGreater(platform(), g_version);
}

} // extern "C"
