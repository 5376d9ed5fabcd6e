// Processor identification: the CPUID reader, its cache in the machine-wide block and the queries.
//
// Queries run over a Machine (a cache and the operations that fill it), so that tests can inject
// CPUID words into a private cache; the exports use the machine-wide block and the real processor.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/shared.h"

namespace vyr::core {

// Word indices in the cache. The feature word doubles as the "filled" mark.
enum CacheWord : unsigned {
    kFeature = 0, // EDX of leaf 1
    kSignature,   // EAX of leaf 1
    kProcessor,   // EBX of leaf 1
    kVendor0,     // EBX, EDX, ECX of leaf 0
    kVendor1,
    kVendor2,
    kOsSse,  // 1 when SSE instructions run
    kOsSse2, // the same for SSE2
};
static_assert(kOsSse2 + 1 == kCpuCacheWords, "cache layout");

constexpr uint32_t kBitMmx = 1u << 23;
constexpr uint32_t kBitSse = 1u << 25;
constexpr uint32_t kBitSse2 = 1u << 26;
constexpr uint32_t kBitHtt = 1u << 28;

struct Ops {
    // Executes CPUID for leaf into eax, ebx, ecx, edx; false when the processor has no CPUID.
    bool (*cpuid)(uint32_t leaf, uint32_t regs[4]);
    // Whether SSE (SSE2) instructions run, or would fault because the system does not enable them.
    bool (*runsSse)();
    bool (*runsSse2)();
};

// The real processor (every word reads as zero on a build without CPUID).
const Ops& processorOps();

// Fills the cache: the vendor and the signature and processor words first, the support flags next,
// the feature word last, so that whoever sees a nonzero feature word sees the rest.
void readCpu(uint32_t* cache, const Ops& ops);

class Machine {
public:
    Machine(uint32_t* cache, const Ops& ops) : cache_(cache), ops_(&ops) {}

    uint32_t cpuType() const;
    uint32_t cpuFamily() const;
    uint32_t cpuInfo() const;
    uint32_t brandId() const;
    uint32_t clFlushSize() const;
    uint32_t apicId() const;
    uint32_t logicalProcessorsPerProcessor() const;
    bool vendorId(uint8_t* buffer, uint32_t size) const;
    bool vendorString(char* buffer, uint32_t size) const;
    bool isGenuineIntel() const;
    bool isAuthenticAMD() const;
    bool isMMX() const
    {
        ensure();
        return (load(kFeature) & kBitMmx) != 0;
    }
    bool isSSE() const;
    bool isSSE2() const;
    bool isOsSupportSSE() const;
    bool isOsSupportSSE2() const;
    bool isPentium4OrLater() const;
    bool isHTSupported() const;
    bool is3DNow() const;
    bool isE3DNow() const;

private:
    // The filled test: a zero feature word runs the reader. Inline, as every converter call asks for MMX.
    void ensure() const
    {
        if (__atomic_load_n(&cache_[kFeature], __ATOMIC_ACQUIRE) == 0)
            readCpu(cache_, *ops_);
    }
    uint32_t load(CacheWord w) const
    {
        return __atomic_load_n(&cache_[w], w == kFeature ? __ATOMIC_ACQUIRE : __ATOMIC_RELAXED);
    }
    bool vendorIs(const char (&name)[13]) const;
    uint32_t extendedFeatures() const;

    uint32_t* cache_;
    const Ops* ops_;
};

// Queries over the machine-wide cache and the real processor.
inline Machine machine() { return Machine(os::machineShared()->cpu, processorOps()); }

} // namespace vyr::core
