#include <elf.h>
#include <fcntl.h>
#include <unistd.h>

#include "OS/os.h"

namespace vyr::os {
namespace {

// The kernel's own copy of EDX of CPUID leaf 1 (AT_HWCAP on x86): a feature whose register state the
// kernel does not save and enable (no FXSAVE, or turned off at boot) is cleared there. Asking it
// needs no trial instruction, and so no signal handler that would race the application's. It comes
// from /proc/self/auxv because glibc's getauxval(AT_HWCAP) answers with glibc's own bits on x86;
// without /proc the processor's word stands (every Linux since 2.4 enables what the processor has).
bool kernelEnables(unsigned bit)
{
#if defined(__i386__) || defined(__x86_64__)
    const int fd = open("/proc/self/auxv", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    bool enabled = true;
    for (unsigned long entry[2];
         read(fd, entry, sizeof entry) == ssize_t(sizeof entry) && entry[0] != AT_NULL;) {
        if (entry[0] == AT_HWCAP) {
            enabled = (entry[1] >> bit & 1) != 0;
            break;
        }
    }
    close(fd);
    return enabled;
#else
    (void)bit;
    return false;
#endif
}

} // namespace

bool systemRunsSse() { return kernelEnables(25); }

bool systemRunsSse2() { return kernelEnables(26); }

uint32_t processorCount()
{
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<uint32_t>(n) : 1;
}

} // namespace vyr::os
