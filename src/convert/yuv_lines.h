// The YUV kernels (kernels/yuv_kernels.h) in the line frame: whole units of a job through its kernel,
// the converter's count rule around them.
#pragma once

#include "convert/kernels/runner.h"
#include "convert/kernels/yuv_kernels.h"
#include "convert/line.h"
#include "convert/yuv_rules.h"

namespace vyr::convert::yuv {

using kernels::yuv::Decode;
using kernels::yuv::To;

// A rule over whole units, for heads and tails converted in place.
using UnitRule = void (*)(const uint8_t* src, uint8_t* dst, size_t units);

// `units` whole units of Job through kernel K. The head up to the destination's 16-byte boundary and
// the tail go through stack blocks; where the job keeps destination bytes (which a stack block does not
// hold) Rule converts them in place instead.
template <class Job, BlockKernel K, UnitRule Rule = nullptr>
inline void runUnits(const uint8_t* src, uint8_t* dst, size_t units, uint32_t a)
{
    const uint32_t n = uint32_t(units), h0 = kernels::headTo16(dst, Job::kDstBytes);
    if constexpr (Job::kKeeps) {
        const uint32_t h = n < h0 ? n : h0, m = (n - h) / Job::kBlock * Job::kBlock;
        Rule(src, dst, h);
        src += size_t(h) * Job::kSrcBytes;
        dst += size_t(h) * Job::kDstBytes;
        if (m)
            K(src, dst, m, a);
        Rule(src + size_t(m) * Job::kSrcBytes, dst + size_t(m) * Job::kDstBytes, n - h - m);
    } else {
        kernels::runBlocks<Job::kBlock, Job::kSrcBytes, Job::kDstBytes>(
            src, dst, n, h0, [a](const uint8_t* s, uint8_t* d, size_t m) { K(s, d, m, a); });
    }
}

// Line::run<K> for the kernels of Job at every instruction set that has them.
template <class Job, class Line>
constexpr PerIsa<LineFn> kernelsOf()
{
    PerIsa<LineFn> p{};
#if defined(VYR_X86_KERNELS)
    if constexpr (Job::kSse2)
        p[kSse2] = Line::template run<kernels::yuv::sse2<Job>>;
    p[kSsse3] = Line::template run<kernels::yuv::ssse3<Job>>;
    p[kAvx2] = Line::template run<kernels::yuv::avx2<Job>>;
    p[kAvx512] = Line::template run<kernels::yuv::avx512<Job>>;
#endif
    return p;
}

// count / Job::kUnitPixels whole units; what follows is the converter's.
template <class Job, UnitRule Rule = nullptr>
struct WholeUnits {
    template <BlockKernel K>
    static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t a)
    {
        runUnits<Job, K, Rule>(src, dst, count / Job::kUnitPixels, a);
    }
};

// The decoders of Src to D (Dst the rule's pixel writer): whole units, none of a partial last one.
template <class Src, To D, class Dst, bool Keep = false>
constexpr PerIsa<LineFn> kDecodeKernels =
    kernelsOf<Decode<Src, D, Keep>, WholeUnits<Decode<Src, D, Keep>, decodeUnits<Src, Dst>>>();

// The lumas of every pixel: whole units, then those of a partial last unit.
template <class Src>
struct LumaLine {
    using Job = Decode<Src, To::Mono8>;
    template <BlockKernel K>
    static void run(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t a)
    {
        const uint32_t units = count / Job::kUnitPixels;
        runUnits<Job, K>(src, dst, units, a);
        lumaPixels<Src>(src + size_t(units) * Job::kSrcBytes, dst + size_t(units) * Job::kDstBytes,
                        count % Job::kUnitPixels);
    }
};
template <class Src>
constexpr PerIsa<LineFn> kLumaKernels = kernelsOf<Decode<Src, To::Mono8>, LumaLine<Src>>();

} // namespace vyr::convert::yuv
