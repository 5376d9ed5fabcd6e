// The LAB kernels written once over a width of vec.h; each kernel file instantiates VYR_LAB_KERNELS for
// its widest register. Everything here has internal linkage.
#pragma once

#include <cfloat>
#include <cstddef>
#include <cstdint>

#include "convert/kernels/byte_plane.h"
#include "convert/kernels/lab_kernels.h"
#include "convert/kernels/passes.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// ---- RGB8888 to LAB ----------------------------------------------------------------------------------
//
// The rule raises each tristimulus value T to the power 1/3f with the C runtime's pow in double
// precision. The kernels take single-precision cube roots with a bounded error and leave to the rule
// every pixel whose bytes that bound cannot settle. With u = 2^-24 and f the rule's root:
// - T is formed in single precision from the weights over 255, all terms positive: four roundings, so the
//   root of it is off by at most 4u/3 (the rule's own double-precision T adds 2^-52).
// - The roots are within 1.62u (NewtonRoot; 1.41u the AVX-512 one) of the cube root of every float in
//   [2^-15, 2), measured on each of them when they were written; every nonzero T lies in [0.0193 /
//   255, 1.09].
// - 1/3f exceeds 1/3 by e = 9.93e-9: T^(1/3f) / T^(1/3) = exp(e ln T) lies in [1 - 1.59u, 1 + 0.02u].
// - pow itself may be off by 2^-30 (0.02u), more than any C runtime is.
// So the kernel's root is within 4.6u of f. In the units of the bytes, before truncation:
//   L = (116 fy - 16) 2.55   295.8 * 4.6u * fy <= 8.2e-5 (fy <= 1.0001); the single-precision steps
//                            2.55 (2^-18 + 2^-18) + 2^-17 = 2.71e-5
//   a = 500 (fx - fy)        500 * 4.6u * (fx + fy) <= 2.72e-4 (fx <= 0.984); steps 500 * 2^-27 + 2^-18
//   b = 200 (fy - fz)        200 * 4.6u * (fy + fz) <= 1.12e-4 (fz <= 1.029); steps 200 * 2^-25 + 2^-18
// and the rule's double-precision steps less than 1e-12. With half an ulp more for forming each end of
// the interval (2^-17, 2^-18, 2^-18), the margins 1.2e-4, 2.9e-4 and 1.3e-4 hold the rule's value.
// Limiting and truncating is monotonic: where both ends of its interval give the same byte, the rule's
// value gives it too. Black (T = 0, pow gives 0) takes 2^-15 for all three T: the roots are equal, so a
// and b come out exactly 128 and L far below 0, as the rule's.

// The cube root of every kernel but AVX-512's: x^(-1/3) to within 3.5 % from the bits of x, two Newton
// steps for it, one for the cube root itself.
template <class W>
struct NewtonRoot {
    using V = typename W::V;

    static V cubeRoot(V x)
    {
        const V third = W::setF(1.0f / 3.0f), one = W::setF(1.0f);
        V r = W::sub32(W::set32(0x54A23400), W::truncToInt(W::mulF(W::toFloat(x), third)));
        for (int step = 0; step < 2; ++step) {
            const V shortfall = W::subF(one, W::mulF(x, W::mulF(W::mulF(r, r), r)));
            r = W::addF(r, W::mulF(W::mulF(r, shortfall), third));
        }
        const V y = W::mulF(W::mulF(x, r), r);
        const V excess = W::subF(x, W::mulF(W::mulF(y, y), y));
        return W::addF(y, W::mulF(W::mulF(excess, W::mulF(r, r)), third));
    }
};

template <class W, class Root>
struct RgbToLab {
    using V = typename W::V;
    static constexpr size_t kPixels = W::kBytes / 2; // two registers a pass

    // The weights of G, R and B over 255 in single precision; T of black taken as 2^-15.
    static V tristimulus(V g, V r, V b, double byG, double byR, double byB)
    {
        const V sum =
            W::addF(W::addF(W::mulF(g, W::setF(float(byG / 255))), W::mulF(r, W::setF(float(byR / 255)))),
                    W::mulF(b, W::setF(float(byB / 255))));
        return W::maxF(sum, W::setF(0x1p-15f));
    }

    // L, a and b before truncation.
    struct Lab {
        V lightness, redGreen, blueYellow;
    };

    static Lab channels(V p)
    {
        const V byte = W::set32(0xFF);
        const V b = W::toFloat(W::and_(p, byte));
        const V g = W::toFloat(W::and_(W::template srli32<8>(p), byte));
        const V r = W::toFloat(W::and_(W::template srli32<16>(p), byte));
        const V fx = Root::cubeRoot(tristimulus(g, r, b, double(0.3576f), double(0.4124f), double(0.1805f)));
        const V fy = Root::cubeRoot(tristimulus(g, r, b, double(0.7152f), double(0.2126f), double(0.0722f)));
        const V fz = Root::cubeRoot(tristimulus(g, r, b, double(0.1192f), double(0.0193f), double(0.9505f)));
        return {W::mulF(W::subF(W::mulF(fy, W::setF(116.0f)), W::setF(16.0f)), W::setF(2.55f)),
                W::mulF(W::subF(fx, fy), W::setF(500.0f)), W::mulF(W::subF(fy, fz), W::setF(200.0f))};
    }

    // The pixels (b, a, L, 0) of two registers with every channel moved by `side` times its margin; the
    // packs limit the bytes to 0..255.
    static void pixelsAt(const Lab& first, const Lab& second, float side, V& out0, V& out1)
    {
        const V middle = W::set32(128);
        auto truncated = [side](V v, float margin) {
            return W::truncToInt(W::addF(v, W::setF(side * margin)));
        };
        auto l = [&](const Lab& c) { return truncated(c.lightness, 1.2e-4f); };
        auto a = [&](const Lab& c) { return W::add32(truncated(c.redGreen, 2.9e-4f), middle); };
        auto b = [&](const Lab& c) { return W::add32(truncated(c.blueYellow, 1.3e-4f), middle); };
        bgrxFromWords<W>(W::packs32(b(first), b(second)), W::packs32(a(first), a(second)),
                         W::packs32(l(first), l(second)), out0, out1);
    }

    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        const Lab first = channels(W::load(src)), second = channels(W::load(src + W::kBytes));
        V low[2], high[2];
        pixelsAt(first, second, -1.0f, low[0], low[1]);
        pixelsAt(first, second, 1.0f, high[0], high[1]);
        constexpr size_t kPerRegister = W::kBytes / 4;
        uint64_t open = ~(W::lanes32(W::eq32(low[0], high[0])) |
                          uint64_t(W::lanes32(W::eq32(low[1], high[1]))) << kPerRegister) &
                        ((uint64_t(1) << kPixels) - 1);
        if (open) {
            alignas(64) uint8_t out[2 * W::kBytes];
            W::template store<false>(out, low[0]);
            W::template store<false>(out + W::kBytes, low[1]);
            for (; open; open &= open - 1) {
                const unsigned i = unsigned(__builtin_ctzll(open));
                rgb8888ToLabExact(src + 4 * i, out + 4 * i, 1);
            }
            low[0] = W::load(out);
            low[1] = W::load(out + W::kBytes);
        }
        W::template store<Stream>(dst, low[0]);
        W::template store<Stream>(dst + W::kBytes, low[1]);
    }
};

// ---- LAB to RGB8888 ------------------------------------------------------------------------------------

// L / 2.55f is L times the reciprocal, rounded once, for every byte L.
constexpr float kPerLightnessStep = 1.0f / 2.55f;
constexpr bool reciprocalDividesEveryLightness()
{
    for (int l = 0; l < 256; ++l) {
        if (float(l) * kPerLightnessStep != float(l) / 2.55f)
            return false;
    }
    return true;
}

// (a - 128) / 500 and (b - 128) / 200 without a division: the reciprocal split into a high part of 16 bits,
// whose product with a numerator of 8 bits is exact, and the rest; the sum of the two products rounds
// once, to the quotient, for every numerator (checked below). A multiplication alone misses some.
struct SplitReciprocal {
    float high, low;
};
constexpr SplitReciprocal splitReciprocal(float high, double divisor)
{
    return {high, float(1.0 / divisor - double(high))};
}
constexpr SplitReciprocal kPerRedGreenStep = splitReciprocal(0x1.0624p-9f, 500.0);
constexpr SplitReciprocal kPerBlueYellowStep = splitReciprocal(0x1.47aep-8f, 200.0);
constexpr bool splitDividesEveryByte(SplitReciprocal s, float divisor)
{
    for (int x = -128; x < 128; ++x) {
        const float high = float(x) * s.high;
        if (double(high) != double(x) * double(s.high) || high + float(x) * s.low != float(x) / divisor)
            return false;
    }
    return true;
}

#if FLT_EVAL_METHOD == 0 // the rounding of vector arithmetic
static_assert(reciprocalDividesEveryLightness(), "L / 2.55f by multiplication");
static_assert(splitDividesEveryByte(kPerRedGreenStep, 500.0f), "(a - 128) / 500 by two products");
static_assert(splitDividesEveryByte(kPerBlueYellowStep, 200.0f), "(b - 128) / 200 by two products");
#endif

// The cube roots fx, fy and fz of one register of pixels, scaled as the steps' onByteScale takes them.
template <class W>
struct LabRoots {
    typename W::V fx, fy, fz;
};

// The steps of every width: fy divides by 116, the other quotients take the split reciprocals; X' is the
// integer part of 255 fx^3 (and Y', Z' likewise); blue B = 0.0557 X' - 0.2040 Y' + 1.0570 Z' in the rule's
// order.
template <class W>
struct PlainLabSteps {
    using V = typename W::V;
    static V quotient(V x, SplitReciprocal s)
    {
        return W::addF(W::mulF(x, W::setF(s.high)), W::mulF(x, W::setF(s.low)));
    }
    static LabRoots<W> roots(V p)
    {
        const V byte = W::set32(0xFF), middle = W::set32(128);
        const V l = W::toFloat(W::and_(W::template srli32<16>(p), byte));
        const V a = W::toFloat(W::sub32(W::and_(W::template srli32<8>(p), byte), middle));
        const V b = W::toFloat(W::sub32(W::and_(p, byte), middle));
        const V fy =
            W::divF(W::addF(W::mulF(l, W::setF(kPerLightnessStep)), W::setF(16.0f)), W::setF(116.0f));
        return {W::addF(quotient(a, kPerRedGreenStep), fy), fy, W::subF(fy, quotient(b, kPerBlueYellowStep))};
    }
    static V onByteScale(V f) { return W::truncProduct(W::mulF(W::mulF(f, f), f), 255.0f); }
    static void bgrx(V b, V g, V r, V& first, V& second) { bgrxFromWords<W>(b, g, r, first, second); }
    static V blue(V x, V y, V z)
    {
        return W::addF(W::subF(W::mulF(W::setF(0.0557f), x), W::mulF(W::setF(0.2040f), y)),
                       W::mulF(W::setF(1.0570f), z));
    }
};

// Two registers a pass: the roots, the integer cubes, blue and the bytes as Steps takes them, green and red
// in the rule's single-precision steps and order.
template <class W, class Steps>
struct LabToRgb {
    using V = typename W::V;
    static constexpr size_t kPixels = W::kBytes / 2;

    struct Bgr {
        V b, g, r;
    };

    static Bgr pixels(V p)
    {
        const LabRoots<W> f = Steps::roots(p);
        const V x = Steps::onByteScale(f.fx), y = Steps::onByteScale(f.fy), z = Steps::onByteScale(f.fz);
        auto times = [](float k, V v) { return W::mulF(W::setF(k), v); };
        return {W::truncToInt(Steps::blue(x, y, z)),
                W::truncToInt(W::addF(W::subF(times(1.8758f, y), times(0.9689f, x)), times(0.0415f, z))),
                W::truncToInt(W::subF(W::subF(times(3.2406f, x), times(1.5372f, y)), times(0.4986f, z)))};
    }

    // The packs limit each channel to 0..255. Beyond the caches the widest registers outrun the hardware
    // prefetcher: the source is fetched ahead.
    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        const Bgr first = pixels(W::load(src)), second = pixels(W::load(src + W::kBytes));
        if constexpr (Stream && W::kBytes == 64)
            fetchAhead<2 * W::kBytes>(src);
        V out0, out1;
        Steps::bgrx(W::packs32(first.b, second.b), W::packs32(first.g, second.g),
                    W::packs32(first.r, second.r), out0, out1);
        W::template store<Stream>(dst, out0);
        W::template store<Stream>(dst + W::kBytes, out1);
    }
};

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register.
#define VYR_LAB_KERNELS(Isa, W, Root, LabSteps)                                                              \
    namespace vyr::convert::kernels {                                                                        \
    void rgb8888ToLab##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<RgbToLab<W, Root>>(s, d, pixels);                                                          \
    }                                                                                                        \
    void labToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<LabToRgb<W, LabSteps>>(s, d, pixels);                                                      \
    }                                                                                                        \
    void labToMono8##Isa(const uint8_t* s, uint8_t* d, size_t pixels) { bytePlane<W, 2>(s, d, pixels); }     \
    }
