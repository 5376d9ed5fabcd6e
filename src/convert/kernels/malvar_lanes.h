// The Malvar estimates over vector lanes of any width, for the kernel files of each instruction
// set. L gives the vector type, a load that widens kPixels samples to lanes, lane arithmetic
// (16-bit lanes for 8-bit samples: every sum and numerator lies within -3060..7140; 32-bit lanes
// for 16-bit samples) and the stores that clamp the lanes to the output range. Everything here
// has internal linkage: each kernel file compiles its own copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/malvar_kernels.h"

namespace vyr::convert::kernels {
namespace {

template <class L>
struct MalvarColours {
    typename L::Vec red, green, blue;
};

// The pixels of one vector from column x; lanes alternate between the phase of the first column
// and the next one's. The phase is a template argument, so the estimates are chosen at compile time.
template <class L, uint32_t Phase>
inline MalvarColours<L> malvarColours(const MalvarLines& l, size_t x)
{
    using V = typename L::Vec;
    auto at = [x](const uint8_t* line, ptrdiff_t dx) {
        return L::load(line + (ptrdiff_t(x) + dx) * ptrdiff_t(L::kSampleBytes));
    };
    const V c = at(l.centre, 0);
    const V h1 = L::add(at(l.centre, -1), at(l.centre, 1));
    const V h2 = L::add(at(l.centre, -2), at(l.centre, 2));
    const V v1 = L::add(at(l.north, 0), at(l.south, 0));
    const V v2 = L::add(at(l.top, 0), at(l.bottom, 0));
    const V d = L::add(L::add(at(l.north, -1), at(l.north, 1)), L::add(at(l.south, -1), at(l.south, 1)));

    const V hv2 = L::add(h2, v2);
    const V c8 = L::template shl<3>(c);
    const V c10 = L::add(c8, L::template shl<1>(c));
    const V d2 = L::template shl<1>(d);
    V e[5];
    e[kCentre] = c;
    e[kGreenAtColour] =
        L::over16(L::sub(L::add(c8, L::template shl<2>(L::add(h1, v1))), L::template shl<1>(hv2)));
    e[kOpposite] = L::over16(L::sub(L::add(L::add(c8, L::template shl<2>(c)), L::template shl<2>(d)),
                                    L::add(L::template shl<1>(hv2), hv2)));
    e[kLeftRight] = L::over16(
        L::add(L::sub(L::sub(L::add(c10, L::template shl<3>(h1)), L::template shl<1>(h2)), d2), v2));
    e[kUpDown] = L::over16(
        L::add(L::sub(L::sub(L::add(c10, L::template shl<3>(v1)), L::template shl<1>(v2)), d2), h2));

    constexpr MalvarAssignment a = kMalvarAssignments[Phase];
    constexpr MalvarAssignment b = kMalvarAssignments[Phase ^ 1];
    const V first = L::firstPhaseLanes();
    return {L::select(first, e[a.red], e[b.red]), L::select(first, e[a.green], e[b.green]),
            L::select(first, e[a.blue], e[b.blue])};
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

// Whole vectors of pixels from x0, into planes or RGB8888 (L::storeRgb8888 keeps the fourth bytes).
template <class L>
struct MalvarRuns {
    template <uint32_t Phase>
    struct Planar {
        static void run(const MalvarLines& l, uint8_t* red, uint8_t* green, uint8_t* blue, size_t x0,
                        size_t pixels)
        {
            for (size_t x = x0; x < x0 + pixels; x += L::kPixels) {
                const MalvarColours<L> c = malvarColours<L, Phase>(l, x);
                L::storeSamples(red + L::kSampleBytes * x, c.red);
                L::storeSamples(green + L::kSampleBytes * x, c.green);
                L::storeSamples(blue + L::kSampleBytes * x, c.blue);
            }
        }
    };

    template <uint32_t Phase>
    struct Rgb8888 {
        static void run(const MalvarLines& l, uint8_t* dst, size_t x0, size_t pixels)
        {
            for (size_t x = x0; x < x0 + pixels; x += L::kPixels)
                L::storeRgb8888(dst + 4 * x, malvarColours<L, Phase>(l, x));
        }
    };
};

} // namespace
} // namespace vyr::convert::kernels
