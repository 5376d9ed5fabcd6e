#include "convert/kernels/simd.h"
#include "convert/line.h"
#include "core/cpu.h"

#if defined(VYR_X86_KERNELS)
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace vyr::convert {

#if defined(VYR_X86_KERNELS)
namespace {
__attribute__((target("xsave"))) uint64_t enabledRegisterState() { return _xgetbv(0); }
} // namespace

Isa detectIsa()
{
    if (!core::machine().isSSE2())
        return kPlain;
    uint32_t leaf1[4], leaf7[4] = {0, 0, 0, 0}, leaf0[4];
    const core::Ops& ops = core::processorOps();
    ops.cpuid(0, leaf0);
    ops.cpuid(1, leaf1);
    const bool ssse3 = (leaf1[2] >> 9) & 1;
    const bool osxsave = (leaf1[2] >> 27) & 1;
    const bool avx = (leaf1[2] >> 28) & 1;
    if (leaf0[0] >= 7) {
        // Leaf 7 takes its subleaf in ECX.
        __cpuid_count(7, 0, leaf7[0], leaf7[1], leaf7[2], leaf7[3]);
    }
    const bool avx2 = (leaf7[1] >> 5) & 1;
    // The AVX-512 kernels take F, BW and VL, the byte permutes of VBMI and VBMI2, and the fused
    // multiply-adds of VNNI (every processor with VBMI2 has it).
    const bool avx512 = (leaf7[1] >> 16 & 1) && (leaf7[1] >> 30 & 1) && (leaf7[1] >> 31 & 1) &&
                        (leaf7[2] >> 1 & 1) && (leaf7[2] >> 6 & 1) && (leaf7[2] >> 11 & 1);
    // The system must save the XMM and YMM state (XCR0 bits 1 and 2) for AVX2 code to run, and the
    // opmask and ZMM state (bits 5 to 7) for AVX-512 code.
    const uint64_t saved = avx && osxsave ? enabledRegisterState() : 0;
    if (avx2 && avx512 && (saved & 0xE6) == 0xE6)
        return kAvx512;
    if (avx2 && (saved & 6) == 6)
        return kAvx2;
    return ssse3 ? kSsse3 : kSse2;
}
#else
Isa detectIsa() { return kPlain; }
#endif

const char* isaName(Isa isa)
{
    static const char* const names[kIsaCount] = {"plain", "sse2", "ssse3", "avx2", "avx512"};
    return isa < kIsaCount ? names[isa] : "?";
}

} // namespace vyr::convert
