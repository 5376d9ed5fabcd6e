#include <cerrno>
#include <linux/capability.h>
#include <strings.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "OS/Linux/services.h"

namespace vyr::os::linux_services {
namespace {

struct PrivilegeName {
    const char* name;
    uint32_t capability;
};

// The Windows privileges that have a clear Linux counterpart.
constexpr PrivilegeName kPrivileges[] = {
    {"SeLockMemoryPrivilege", CAP_IPC_LOCK},
    {"SeIncreaseQuotaPrivilege", CAP_SYS_RESOURCE},
    {"SeIncreaseBasePriorityPrivilege", CAP_SYS_NICE},
    {"SeSystemtimePrivilege", CAP_SYS_TIME},
    {"SeShutdownPrivilege", CAP_SYS_BOOT},
    {"SeDebugPrivilege", CAP_SYS_PTRACE},
    {"SeLoadDriverPrivilege", CAP_SYS_MODULE},
    {"SeBackupPrivilege", CAP_DAC_READ_SEARCH},
    {"SeRestorePrivilege", CAP_DAC_OVERRIDE},
    {"SeTakeOwnershipPrivilege", CAP_CHOWN},
    {"SeAuditPrivilege", CAP_AUDIT_WRITE},
};

// The permission Windows reports when the token lacks a privilege it was asked to enable
// (ERROR_NOT_ALL_ASSIGNED) has no errno of its own.
constexpr uint32_t kNotPermitted = EPERM;

struct Capabilities {
    __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};

    bool get() { return syscall(SYS_capget, &header, data) == 0; }
    bool set() { return syscall(SYS_capset, &header, data) == 0; }
};

} // namespace

// There is no token: the calling thread's capability sets play its part.
int32_t openProcessToken(Handle* token)
{
    Capabilities caps;
    if (!caps.get())
        return 0;
    *token = 1;
    return 1;
}

void closeToken(Handle) {}

// Windows compares privilege names without regard to case.
int32_t lookupPrivilege(const char* name, uint64_t* id)
{
    for (const PrivilegeName& p : kPrivileges) {
        if (strcasecmp(name, p.name) == 0) {
            *id = p.capability;
            return 1;
        }
    }
    errno = ENOENT;
    return 0;
}

int32_t adjustPrivilege(Handle, uint64_t id, bool enable, uint32_t* lastError)
{
    Capabilities caps;
    const uint32_t word = uint32_t(id / 32), bit = 1u << (id % 32);
    if (word >= _LINUX_CAPABILITY_U32S_3 || !caps.get()) {
        *lastError = word >= _LINUX_CAPABILITY_U32S_3 ? EINVAL : uint32_t(errno);
        return 0;
    }
    if (enable && !(caps.data[word].permitted & bit)) {
        *lastError = kNotPermitted;
        return 1;
    }
    if (enable)
        caps.data[word].effective |= bit;
    else
        caps.data[word].effective &= ~bit;
    if (!caps.set()) {
        *lastError = uint32_t(errno);
        return 0;
    }
    *lastError = 0;
    return 1;
}

int32_t setWorkingSet(size_t minimum, size_t maximum, uint32_t* lastError)
{
    const rlimit limit = {rlim_t(minimum), rlim_t(maximum)};
    if (setrlimit(RLIMIT_MEMLOCK, &limit) != 0) {
        *lastError = uint32_t(errno);
        return 0;
    }
    return 1;
}

} // namespace vyr::os::linux_services
