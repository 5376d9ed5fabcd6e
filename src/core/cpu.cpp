#include "core/cpu.h"

#include <cstring>

#include "OS/os.h"
#include "core/strings.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#define VYR_HAVE_CPUID 1
#endif

namespace vyr::core {
namespace {

inline void atomicStore(uint32_t* p, uint32_t v, int order) { __atomic_store_n(p, v, order); }

bool realCpuid(uint32_t leaf, uint32_t regs[4])
{
#if defined(VYR_HAVE_CPUID)
#if defined(__i386__)
    // __get_cpuid_max tests the EFLAGS ID bit: a processor without CPUID reads as zeros.
    if (__get_cpuid_max(0, nullptr) == 0) {
        regs[0] = regs[1] = regs[2] = regs[3] = 0;
        return false;
    }
#endif
    __cpuid(leaf, regs[0], regs[1], regs[2], regs[3]);
    return true;
#else
    (void)leaf;
    regs[0] = regs[1] = regs[2] = regs[3] = 0;
    return false;
#endif
}

const Ops kProcessorOps = {realCpuid, os::systemRunsSse, os::systemRunsSse2};

} // namespace

const Ops& processorOps() { return kProcessorOps; }

void readCpu(uint32_t* cache, const Ops& ops)
{
    uint32_t vendor[3] = {0, 0, 0};
    uint32_t feature = 0, signature = 0, processor = 0;
    uint32_t regs[4];
    if (ops.cpuid(0, regs) && regs[0] != 0) {
        vendor[0] = regs[1];
        vendor[1] = regs[3];
        vendor[2] = regs[2];
        if (ops.cpuid(1, regs)) {
            signature = regs[0];
            processor = regs[1];
            feature = regs[3];
        }
    }
    atomicStore(&cache[kSignature], signature, __ATOMIC_RELAXED);
    atomicStore(&cache[kProcessor], processor, __ATOMIC_RELAXED);
    for (unsigned i = 0; i < 3; ++i)
        atomicStore(&cache[kVendor0 + i], vendor[i], __ATOMIC_RELAXED);
    // A flag stays as it was when its feature bit is clear.
    if (feature & kBitSse)
        atomicStore(&cache[kOsSse], ops.runsSse() ? 1u : 0u, __ATOMIC_RELAXED);
    if (feature & kBitSse2)
        atomicStore(&cache[kOsSse2], ops.runsSse2() ? 1u : 0u, __ATOMIC_RELAXED);
    atomicStore(&cache[kFeature], feature, __ATOMIC_RELEASE);
}

uint32_t Machine::cpuType() const
{
    ensure();
    return load(kFeature);
}

uint32_t Machine::cpuFamily() const
{
    ensure();
    return load(kSignature);
}

uint32_t Machine::cpuInfo() const
{
    ensure();
    return load(kProcessor);
}

uint32_t Machine::brandId() const
{
    ensure();
    return load(kProcessor) & 0xFF;
}

uint32_t Machine::clFlushSize() const
{
    ensure();
    return (load(kProcessor) >> 8) & 0xFF;
}

uint32_t Machine::apicId() const
{
    ensure();
    return load(kProcessor) >> 24;
}

uint32_t Machine::logicalProcessorsPerProcessor() const
{
    // Relies on the filled test inside isHTSupported.
    return isHTSupported() ? (load(kProcessor) >> 16) & 0xFF : 1;
}

bool Machine::vendorId(uint8_t* buffer, uint32_t size) const
{
    ensure();
    if (size < 12)
        return false;
    for (unsigned i = 0; i < 3; ++i) {
        uint32_t w = load(CacheWord(kVendor0 + i));
        std::memcpy(buffer + 4 * i, &w, 4);
    }
    return true;
}

bool Machine::vendorString(char* buffer, uint32_t size) const
{
    ensure();
    if (size <= 12)
        return false;
    char name[13];
    for (unsigned i = 0; i < 3; ++i) {
        uint32_t w = load(CacheWord(kVendor0 + i));
        std::memcpy(name + 4 * i, &w, 4);
    }
    name[12] = '\0';
    boundedCopy(buffer, size, name);
    buffer[12] = '\0';
    return true;
}

bool Machine::vendorIs(const char (&name)[13]) const
{
    for (unsigned i = 0; i < 3; ++i) {
        uint32_t w;
        std::memcpy(&w, name + 4 * i, 4);
        if (load(CacheWord(kVendor0 + i)) != w)
            return false;
    }
    return true;
}

bool Machine::isGenuineIntel() const
{
    ensure();
    return vendorIs("GenuineIntel");
}

bool Machine::isAuthenticAMD() const
{
    ensure();
    return vendorIs("AuthenticAMD");
}

bool Machine::isSSE() const
{
    ensure();
    return (load(kFeature) & kBitSse) != 0 && isOsSupportSSE();
}

bool Machine::isSSE2() const
{
    ensure();
    return (load(kFeature) & kBitSse2) != 0 && isOsSupportSSE2();
}

bool Machine::isOsSupportSSE() const
{
    ensure();
    return load(kOsSse) != 0;
}

bool Machine::isOsSupportSSE2() const
{
    ensure();
    return load(kOsSse2) != 0;
}

bool Machine::isPentium4OrLater() const
{
    ensure();
    uint32_t sig = load(kSignature);
    return ((sig >> 8) & 0xF) == 15 || ((sig >> 20) & 0xFF) != 0;
}

bool Machine::isHTSupported() const
{
    ensure();
    return isPentium4OrLater() && isGenuineIntel() && (load(kFeature) & kBitHtt) != 0;
}

uint32_t Machine::extendedFeatures() const
{
    uint32_t regs[4];
    if (!ops_->cpuid(0x80000000u, regs) || regs[0] < 0x80000001u)
        return 0;
    if (!ops_->cpuid(0x80000001u, regs))
        return 0;
    return regs[3];
}

bool Machine::is3DNow() const
{
    ensure();
    return (extendedFeatures() & (1u << 31)) != 0;
}

bool Machine::isE3DNow() const
{
    ensure();
    return is3DNow() && (extendedFeatures() & (1u << 30)) != 0;
}

} // namespace vyr::core
