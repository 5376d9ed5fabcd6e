// The converter frame: every converter is one table of paths, filled once, and one export that picks
// a path from it.
//
// One converter from export to kernel, VyrUtilConvertMONO16toMONO8 (mono.cpp):
//
//   using Mono16ToMono8 = Repack<Mono16, Mono8>;       // formats.h: the rule, as format traits
//   const LinePaths kMono16ToMono8 = {
//       line<Mono16ToMono8>,                          // scalar: the rule pixel by pixel
//       {},                                           // fast: no kernel of the scalar rule
//       vectorBlocks<Mono16ToMono8, 16, headTo8,      // vector: the rule in blocks of 16 pixels
//                    VYR_KERNEL(kernels::mono16ToMono8Sse2)>()};
//   VYR_LINE_EXPORT(VyrUtilConvertMONO16toMONO8, kMono16ToMono8)
//
// The export asks VyrUtilIsMMX (the converter has a vector rule) and calls pick(true). pick returns
// the widest entry of `vector` that this processor runs: vector[kSse2], which is blockLine (below)
// around the SSE2 kernel. blockLine hands the run to kernels::runBlocks (kernels/runner.h): the head
// up to the destination's 8-byte boundary and the tail go through stack blocks, the middle straight
// through mono16ToMono8Sse2 (kernels/mono_sse2.cpp), which converts whole blocks of 16 pixels.
//
// A table has three kinds of entries:
//   scalar          the scalar rule in plain C++: what the export runs where nothing faster does.
//   fast[isa]       kernels that give exactly the scalar rule's bytes, faster ([kPlain] unused).
//   vector[kPlain]  the vector rule in plain C++, for a converter that has one (null otherwise);
//   vector[isa]     its kernels. The vector rule is taken where the processor reports MMX and the
//                   converter's own condition holds; it may differ from the scalar rule where the
//                   converter's documentation says so.
// A converter with one rule is `{scalar}` (or `{scalar, fast}`), and never asks the processor.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "VyrUtility.h"
#include "convert/formats.h"
#include "convert/kernels/runner.h"
#include "convert/kernels/simd.h"

namespace vyr::convert {

// Instruction sets of the kernels, narrowest first.
enum Isa : unsigned { kPlain, kSse2, kSsse3, kAvx2, kAvx512, kIsaCount };

const char* isaName(Isa isa);

// The widest instruction set this process runs, from the library's own CPUID reading (once; inline, as
// every converter call picks its kernel by it).
Isa detectIsa();
inline Isa processorIsa()
{
    static const Isa isa = detectIsa();
    return isa;
}

template <class Fn>
using PerIsa = std::array<Fn, kIsaCount>;

template <class Fn>
struct Paths {
    Fn scalar;
    PerIsa<Fn> fast{};
    PerIsa<Fn> vector{};

    bool hasVectorRule() const { return vector[kPlain] != nullptr; }

    // The vector rule if `vectorRule` holds and the converter has one, else the scalar rule; each
    // through the widest kernel the processor runs.
    Fn pick(bool vectorRule) const
    {
        const bool v = vectorRule && hasVectorRule();
        const PerIsa<Fn>& kernels = v ? vector : fast;
        for (unsigned i = processorIsa(); i > kPlain; --i) {
            if (kernels[i])
                return kernels[i];
        }
        return v ? vector[kPlain] : scalar;
    }
};

// ---- The 16-byte line frame ------------------------------------------------------------------------

using LineFn = void (*)(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits);
using LinePaths = Paths<LineFn>;

// A converter's condition for its vector rule besides MMX (none, or one expression).
inline bool alsoWhen() { return true; }
inline bool alsoWhen(bool condition) { return condition; }

// The scalar rule pixel by pixel.
template <class Rule>
void line(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t a)
{
    fmt::eachPixel<Rule>(src, dst, n, a);
}

// ---- Block kernels in the line frame --------------------------------------------------------------

// A kernel over a nonzero multiple of the block size, with the converter's unusedBits.
using BlockKernel = void (*)(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t unusedBits);
using HeadRule = uint32_t (*)(const void* dst);

template <uint32_t B, HeadRule Head, class Rule, BlockKernel K>
void blockLine(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t a)
{
    kernels::runBlocks<B, Rule::Source::kBytes, Rule::Destination::kBytes>(
        src, dst, n, Head(dst), [a](const uint8_t* s, uint8_t* d, size_t m) { K(s, d, m, a); });
}

// A rule in plain C++ as a block kernel: what runs where no SIMD kernel can.
template <class Rule>
void rulePixels(const uint8_t* src, uint8_t* dst, size_t n, uint32_t a)
{
    fmt::eachPixel<Rule>(src, dst, n, a);
}

// K is a BlockKernel, or nullptr where the build has none (told by its type: sanitizer builds do not
// take a function's address compared with null as a constant).
template <uint32_t B, HeadRule Head, class Rule, auto K>
constexpr LineFn blockVariant()
{
    if constexpr (std::is_same_v<decltype(K), std::nullptr_t>)
        return nullptr;
    else
        return blockLine<B, Head, Rule, K>;
}

// Rule in blocks of B pixels with head rule Head, through the kernels given for SSE2, SSSE3, AVX2 and
// AVX-512 in that order (nullptr where there is none, trailing ones may be left out).
template <class Rule, uint32_t B, HeadRule Head, auto... Kernels>
constexpr PerIsa<LineFn> vectorBlocks()
{
    return {blockLine<B, Head, Rule, rulePixels<Rule>>, blockVariant<B, Head, Rule, Kernels>()...};
}
template <class Rule, uint32_t B, HeadRule Head, auto... Kernels>
constexpr PerIsa<LineFn> fastBlocks()
{
    return {nullptr, blockVariant<B, Head, Rule, Kernels>()...};
}

// A vector rule: its plain C++ form and its kernels.
constexpr PerIsa<LineFn> withPlain(LineFn plain, PerIsa<LineFn> kernels)
{
    kernels[kPlain] = plain;
    return kernels;
}

} // namespace vyr::convert

// An export of the 16-byte line frame; the optional last argument is the converter's condition for
// its vector rule besides MMX, an expression of the export's arguments.
#define VYR_LINE_EXPORT(name, paths, ...)                                                                    \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t unusedBits)          \
    {                                                                                                        \
        if (count != 0) {                                                                                    \
            const bool vectorRule =                                                                          \
                (paths).hasVectorRule() && VyrUtilIsMMX() && vyr::convert::alsoWhen(__VA_ARGS__);            \
            (paths).pick(vectorRule)(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), count,    \
                                     unusedBits);                                                            \
        }                                                                                                    \
        return 0;                                                                                            \
    }
