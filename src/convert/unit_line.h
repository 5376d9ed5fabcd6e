// Unit kernels (kernels/unit_kernels.h) in the converter tables: whole units of the run through the
// kernel, the rest through one unit on the stack; table entries for every instruction set a kernel has.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "convert/kernels/unit_kernels.h"
#include "convert/line.h"

namespace vyr::convert {

// The streams of one run: a packed line is one, every plane one more; null where a rule allows it.
struct UnitStreams {
    const uint8_t* in[4] = {};
    uint8_t* out[4] = {};
};

template <size_t N>
constexpr size_t bytesPerPixel(const int (&streams)[N])
{
    size_t sum = 0;
    for (int b : streams)
        sum += size_t(b);
    return sum;
}

// The `bytes` of a stream into its unit block of `blockBytes` (zeros after them), and back. Units of 64
// pixels are AVX-512 kernels: there the bytes move by whole registers (unit_kernels.h).
template <uint32_t Unit>
void intoBlock(uint8_t* block, size_t blockBytes, const uint8_t* from, size_t bytes)
{
#if defined(VYR_X86_KERNELS)
    if constexpr (Unit == 64) {
        kernels::intoUnitBlock(block, blockBytes, from, bytes);
        return;
    }
#endif
    std::memcpy(block, from, bytes);
    std::memset(block + bytes, 0, blockBytes - bytes);
}

template <uint32_t Unit>
void fromBlock(uint8_t* to, const uint8_t* block, size_t bytes)
{
#if defined(VYR_X86_KERNELS)
    if constexpr (Unit == 64) {
        kernels::fromUnitBlock(to, block, bytes);
        return;
    }
#endif
    std::memcpy(to, block, bytes);
}

// The rest after the whole units goes through one unit on the stack: its input (zeros after it) and
// the destination's bytes, so that bytes a rule keeps stay kept; then its output goes back.
template <class K, uint32_t Unit, kernels::UnitKernel Kernel>
void runUnitKernel(const UnitStreams& s, size_t n, uint32_t arg)
{
    const size_t whole = n / Unit * Unit, rest = n - whole;
    if (whole)
        Kernel(s.in, s.out, whole, arg);
    if (!rest)
        return;
    alignas(64) uint8_t in[bytesPerPixel(K::kIn) * Unit];
    alignas(64) uint8_t out[bytesPerPixel(K::kOut) * Unit];
    UnitStreams unit;
    for (size_t k = 0, at = 0; k < std::size(K::kIn); at += Unit * K::kIn[k++]) {
        if (s.in[k]) {
            unit.in[k] = in + at;
            intoBlock<Unit>(in + at, Unit * K::kIn[k], s.in[k] + whole * K::kIn[k], rest * K::kIn[k]);
        }
    }
    for (size_t k = 0, at = 0; k < std::size(K::kOut); at += Unit * K::kOut[k++]) {
        if (s.out[k]) {
            unit.out[k] = out + at;
            intoBlock<Unit>(out + at, Unit * K::kOut[k], s.out[k] + whole * K::kOut[k], rest * K::kOut[k]);
        }
    }
    Kernel(unit.in, unit.out, Unit, arg);
    for (size_t k = 0; k < std::size(K::kOut); ++k) {
        if (s.out[k])
            fromBlock<Unit>(s.out[k] + whole * K::kOut[k], unit.out[k], rest * K::kOut[k]);
    }
}

// Glue<Unit, Kernel>::run at every instruction set K's kernel has: SSSE3 and AVX-512 where it
// shuffles, SSE2, AVX2 and AVX-512 otherwise.
template <class Fn, template <uint32_t, kernels::UnitKernel> class Glue, class K>
constexpr PerIsa<Fn> unitEntries()
{
    PerIsa<Fn> at{};
#if defined(VYR_X86_KERNELS)
    if constexpr (K::kShuffles) {
        at[kSsse3] = Glue<16, kernels::unitsSsse3<K>>::run;
    } else {
        at[kSse2] = Glue<16, kernels::unitsSse2<K>>::run;
        at[kAvx2] = Glue<32, kernels::unitsAvx2<K>>::run;
    }
    at[kAvx512] = Glue<64, kernels::unitsAvx512<K>>::run;
#endif
    return at;
}

// The streams of a run of the 16-byte frame: one each way, or K's planes in the destination `n`
// samples apart.
template <class K>
inline UnitStreams packedStreams(const uint8_t* src, uint8_t* dst, uint32_t)
{
    UnitStreams s;
    s.in[0] = src;
    s.out[0] = dst;
    return s;
}
template <class K>
inline UnitStreams planeStreams(const uint8_t* src, uint8_t* dst, uint32_t n)
{
    UnitStreams s;
    s.in[0] = src;
    for (size_t k = 0; k < std::size(K::kOut) && K::kOut[k]; ++k)
        s.out[k] = dst + k * n * K::kOut[0];
    return s;
}
using StreamsOf = UnitStreams (*)(const uint8_t* src, uint8_t* dst, uint32_t n);

// The 16-byte frame. Outside the converter's range of unusedBits (above MaxBits) the kernels need not
// follow the rule, so the rule runs itself.
template <LineFn Rule, class K, uint32_t MaxBits, StreamsOf Streams>
struct LineUnits {
    template <uint32_t Unit, kernels::UnitKernel Kernel>
    struct At {
        static void run(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t a)
        {
            if (a > MaxBits)
                return Rule(src, dst, n, a);
            runUnitKernel<K, Unit, Kernel>(Streams(src, dst, n), n, a);
        }
    };
};

// The entries of the kernels of K for a rule of the 16-byte frame.
template <LineFn Rule, class K, uint32_t MaxBits = ~0u, StreamsOf Streams = packedStreams<K>>
constexpr PerIsa<LineFn> unitPaths()
{
    return unitEntries<LineFn, LineUnits<Rule, K, MaxBits, Streams>::template At, K>();
}

// A table of one rule of the 16-byte frame: the rule, and K's kernels for unusedBits up to MaxBits.
template <class Rule, class K, uint32_t MaxBits = ~0u>
constexpr LinePaths oneRule()
{
    return {line<Rule>, unitPaths<line<Rule>, K, MaxBits>()};
}

// A rule's kernels as fast entries: without the plain entry of a vector table.
template <class Fn>
constexpr PerIsa<Fn> kernelsOf(PerIsa<Fn> paths)
{
    paths[kPlain] = nullptr;
    return paths;
}

// A converter whose two rules give the same bytes: the vector rule's kernels serve both.
constexpr LinePaths sameBytes(LineFn rule, const PerIsa<LineFn>& vector)
{
    return {rule, kernelsOf(vector), vector};
}

// `paths` with the entries of `more` at the instruction sets listed (named, not found by comparing
// entries with null: sanitizer builds do not fold that to a constant).
template <class Fn, class... Isas>
constexpr PerIsa<Fn> withEntries(PerIsa<Fn> paths, const PerIsa<Fn>& more, Isas... isas)
{
    ((paths[isas] = more[isas]), ...);
    return paths;
}

} // namespace vyr::convert
