// The vector path of a line converter: a block kernel on the middle of the run, head and tail through
// stack blocks (kernels/runner.h), with the rule's bytes per pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "convert/formats.h"
#include "convert/kernels/runner.h"
#include "convert/kernels/simd.h"
#include "convert/line.h"

// A SIMD kernel, or null where the build has none.
#if defined(VYR_X86_KERNELS)
#define VYR_KERNEL(fn) fn
#else
#define VYR_KERNEL(fn) nullptr
#endif

namespace vyr::convert {

// A kernel over a nonzero multiple of the block size, with the converter's unusedBits.
using BlockKernel = void (*)(const uint8_t* src, uint8_t* dst, size_t pixels, uint32_t unusedBits);
using HeadRule = uint32_t (*)(const void* dst);

template <uint32_t B, HeadRule Head, class Rule, BlockKernel K>
void blockLine(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t a)
{
    kernels::runBlocks<B, Rule::Source::kBytes, Rule::Destination::kBytes>(
        src, dst, n, Head(dst), [a](const uint8_t* s, uint8_t* d, size_t m) { K(s, d, m, a); });
}

// The vector rule in plain C++, as a block kernel: what runs where no SIMD kernel can.
template <class Rule>
void rulePixels(const uint8_t* src, uint8_t* dst, size_t n, uint32_t a)
{
    fmt::eachPixel<Rule>(src, dst, n, a);
}

// K is a BlockKernel, or nullptr where there is none (told by its type: sanitizer builds do not
// take a function's address compared with null as a constant).
template <uint32_t B, HeadRule Head, class Rule, auto K>
constexpr LineFn variant()
{
    if constexpr (std::is_same_v<decltype(K), std::nullptr_t>)
        return nullptr;
    else
        return blockLine<B, Head, Rule, K>;
}

// A converter's two paths: the scalar rule pixel by pixel; the vector rule in blocks of B pixels with
// head rule Head, in plain C++ and through each SIMD kernel there is (nullptr where there is none).
template <class ScalarRule, class VectorRule, uint32_t B, HeadRule Head, auto Sse2, auto Ssse3 = nullptr,
          auto Avx2 = nullptr>
constexpr Paths vectorPaths()
{
    return {fmt::line<ScalarRule>,
            {blockLine<B, Head, VectorRule, rulePixels<VectorRule>>, variant<B, Head, VectorRule, Sse2>(),
             variant<B, Head, VectorRule, Ssse3>(), variant<B, Head, VectorRule, Avx2>()}};
}

// A converter with one path: no processor question.
inline uint32_t runScalar(LineFn fn, const void* src, void* dst, uint32_t count, uint32_t unusedBits)
{
    fn(static_cast<const uint8_t*>(src), static_cast<uint8_t*>(dst), count, unusedBits);
    return 0;
}

} // namespace vyr::convert

// The body of a 16-byte export: `paths` with a vector path taken when `condition` holds, or one LineFn.
#define VYR_LINE_EXPORT(name, paths, condition)                                                              \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t unusedBits)          \
    {                                                                                                        \
        return vyr::convert::dispatch(paths, src, dst, count, unusedBits, condition);                        \
    }
#define VYR_SCALAR_EXPORT(name, fn)                                                                          \
    VYR_API uint32_t VYR_CALL name(const void* src, void* dst, uint32_t count, uint32_t unusedBits)          \
    {                                                                                                        \
        return vyr::convert::runScalar(fn, src, dst, count, unusedBits);                                     \
    }
