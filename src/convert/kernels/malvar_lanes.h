// The Malvar kernels written once over a width W of vec.h, for the kernel files of each
// instruction set. Samples are widened to lanes twice their size: 8-bit samples to 16-bit lanes
// (every sum and numerator lies within -3060..7140), 16-bit samples to 32-bit lanes. Everything
// here has internal linkage: each kernel file compiles its own copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/malvar_kernels.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// The lane arithmetic of samples of SampleBytes bytes on W, and the stores that clamp the lanes
// to the output range.
template <class W, size_t SampleBytes>
struct MalvarLanes {
    using V = typename W::V;
    static constexpr bool kWords = SampleBytes == 1; // 16-bit lanes
    static constexpr size_t kPixels = W::kBytes / (2 * SampleBytes);

    static V load(const uint8_t* p) { return kWords ? W::loadWidened8(p) : W::loadWidened16(p); }
    static V add(V a, V b) { return kWords ? W::add16(a, b) : W::add32(a, b); }
    static V sub(V a, V b) { return kWords ? W::sub16(a, b) : W::sub32(a, b); }
    template <int N>
    static V slli(V a)
    {
        return kWords ? W::template slli16<N>(a) : W::template slli32<N>(a);
    }
    template <int N>
    static V srai(V a)
    {
        return kWords ? W::template srai16<N>(a) : W::template srai32<N>(a);
    }
    static V over16(V a) { return srai<4>(a); }
    // Of lanes holding two samples each, the first sample or the second.
    static V low(V a) { return kWords ? W::and_(a, W::set16(0xFF)) : W::and_(a, W::set32(0xFFFF)); }
    static V high(V a) { return kWords ? W::template srli16<8>(a) : W::template srli32<16>(a); }
    // The lanes of the columns with the phase of the first column.
    static V firstPhaseLanes() { return kWords ? W::pair16(-1, 0) : W::pair32(-1, 0); }
    // Two registers of lanes as samples limited to 0..255 or 0..32767, in the order the packs leave them.
    static V pack(V a, V b) { return kWords ? W::packus16(a, b) : W::max16(W::packs32(a, b), W::zero()); }
    // One register of lanes stored as samples, limited likewise.
    static void storeSamples(uint8_t* p, V v)
    {
        W::storeLow(p, kWords ? W::packus16Ordered(v, v) : W::max16(W::packs32Ordered(v, v), W::zero()));
    }
};

template <class W>
struct MalvarColours {
    typename W::V red, green, blue;
};

// The pixels of one vector from column x; lanes alternate between the phase of the first column
// and the next one's. The phase is a template argument, so the estimates are chosen at compile time.
template <class W, size_t SampleBytes, uint32_t Phase>
inline MalvarColours<W> malvarColours(const MalvarLines& l, size_t x)
{
    using L = MalvarLanes<W, SampleBytes>;
    using V = typename W::V;
    auto at = [x](const uint8_t* line, ptrdiff_t dx) {
        return L::load(line + (ptrdiff_t(x) + dx) * ptrdiff_t(SampleBytes));
    };
    const V c = at(l.centre, 0);
    const V h1 = L::add(at(l.centre, -1), at(l.centre, 1));
    const V h2 = L::add(at(l.centre, -2), at(l.centre, 2));
    const V v1 = L::add(at(l.north, 0), at(l.south, 0));
    const V v2 = L::add(at(l.top, 0), at(l.bottom, 0));
    const V d = L::add(L::add(at(l.north, -1), at(l.north, 1)), L::add(at(l.south, -1), at(l.south, 1)));

    const V hv2 = L::add(h2, v2);
    const V c8 = L::template slli<3>(c);
    const V c10 = L::add(c8, L::template slli<1>(c));
    const V d2 = L::template slli<1>(d);
    V e[5];
    e[kCentre] = c;
    e[kGreenAtColour] =
        L::over16(L::sub(L::add(c8, L::template slli<2>(L::add(h1, v1))), L::template slli<1>(hv2)));
    e[kOpposite] = L::over16(L::sub(L::add(L::add(c8, L::template slli<2>(c)), L::template slli<2>(d)),
                                    L::add(L::template slli<1>(hv2), hv2)));
    e[kLeftRight] = L::over16(
        L::add(L::sub(L::sub(L::add(c10, L::template slli<3>(h1)), L::template slli<1>(h2)), d2), v2));
    e[kUpDown] = L::over16(
        L::add(L::sub(L::sub(L::add(c10, L::template slli<3>(v1)), L::template slli<1>(v2)), d2), h2));

    constexpr MalvarAssignment a = kMalvarAssignments[Phase];
    constexpr MalvarAssignment b = kMalvarAssignments[Phase ^ 1];
    const V first = L::firstPhaseLanes();
    return {W::select(first, e[a.red], e[b.red]), W::select(first, e[a.green], e[b.green]),
            W::select(first, e[a.blue], e[b.blue])};
}

// Runs Body<Phase>::run(args...) with the phase as a constant.
template <template <uint32_t> class Body, class... Args>
inline void withMalvarPhase(uint32_t phase, Args... args)
{
    switch (phase & 3) {
    case 0: Body<0>::run(args...); break;
    case 1: Body<1>::run(args...); break;
    case 2: Body<2>::run(args...); break;
    default: Body<3>::run(args...); break;
    }
}

// Whole vectors of pixels from x0, into planes or (8-bit samples) RGB8888 keeping the fourth bytes.
template <class W, size_t SampleBytes>
struct MalvarRuns {
    using L = MalvarLanes<W, SampleBytes>;

    template <uint32_t Phase>
    struct Planar {
        static void run(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                        size_t pixels)
        {
            for (size_t x = x0; x < x0 + pixels; x += L::kPixels) {
                const MalvarColours<W> c = malvarColours<W, SampleBytes, Phase>(l, x);
                L::storeSamples(red + SampleBytes * x, c.red);
                L::storeSamples(green + SampleBytes * x, c.green);
                L::storeSamples(blue + SampleBytes * x, c.blue);
            }
        }
    };

    template <uint32_t Phase>
    struct Rgb8888 {
        static void run(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels)
        {
            const typename W::V fourth = W::set32(int32_t(0xFF000000u));
            for (size_t x = x0; x < x0 + pixels; x += L::kPixels) {
                const MalvarColours<W> c = malvarColours<W, SampleBytes, Phase>(l, x);
                typename W::V first, second;
                bgrxFromWords<W>(c.blue, c.green, c.red, first, second);
                uint8_t* p = dst + 4 * x;
                W::template store<false>(
                    p, W::or_(W::lanesOrderedLow(first, second), W::and_(fourth, W::load(p))));
                p += W::kBytes;
                W::template store<false>(
                    p, W::or_(W::lanesOrderedHigh(first, second), W::and_(fourth, W::load(p))));
            }
        }
    };
};

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register.
#define VYR_MALVAR_KERNELS(Isa, W)                                                                           \
    namespace vyr::convert::kernels {                                                                        \
    void malvar8ToRgb8888##Isa(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels, uint32_t phase) \
    {                                                                                                        \
        withMalvarPhase<MalvarRuns<W, 1>::Rgb8888>(phase, l, dst, x0, pixels);                               \
    }                                                                                                        \
    void malvar8ToPlanar##Isa(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,  \
                              size_t pixels, uint32_t phase)                                                 \
    {                                                                                                        \
        withMalvarPhase<MalvarRuns<W, 1>::Planar>(phase, l, red, green, blue, x0, pixels);                   \
    }                                                                                                        \
    void malvar15ToPlanar##Isa(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0, \
                               size_t pixels, uint32_t phase)                                                \
    {                                                                                                        \
        withMalvarPhase<MalvarRuns<W, 2>::Planar>(phase, l, red, green, blue, x0, pixels);                   \
    }                                                                                                        \
    }
