// The hexcone kernels written once over a width of vec.h. A kernel file derives from its width a
// struct H that adds
//   quotient16(x, n): (x * w + 2^21) >> 22 with w the table entry of n, for 16-bit lanes of
//   0 <= x <= n <= 255,
// and instantiates VYR_HEXCONE_KERNELS with it. Everything here lives in an anonymous namespace,
// so each instruction set keeps its own copies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/store.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// Bytes 0, 1 and 2 of the pixels of two registers, as 16-bit lanes (packed within 128-bit lanes,
// so that unpacking two of them again gives the pixels back in order).
template <class H>
struct Planes {
    typename H::V byte0, byte1, byte2;

    template <int Shift>
    static typename H::V channel(typename H::V first, typename H::V second)
    {
        const typename H::V low = H::set32(0xFF);
        return H::packs32(H::and_(H::template srli32<Shift>(first), low),
                          H::and_(H::template srli32<Shift>(second), low));
    }

    explicit Planes(const uint8_t* src)
    {
        const typename H::V first = H::load(src), second = H::load(src + H::kBytes);
        byte0 = channel<0>(first, second);
        byte1 = channel<8>(first, second);
        byte2 = channel<16>(first, second);
    }
};

// Stores 16-bit lanes of bytes 0 and 1 (packed in low) and byte 2 as pixels of two registers.
template <class H, bool Stream>
inline void storePixels(uint8_t* dst, typename H::V low, typename H::V byte2)
{
    H::template store<Stream>(dst, H::unpacklo16(low, byte2));
    H::template store<Stream>(dst + H::kBytes, H::unpackhi16(low, byte2));
}

// ---- RGB8888 to HSV and HSI -------------------------------------------------------------------

// Two registers of RGB8888 pixels to bytes (V or I), S, H, 0.
template <class H, bool Intensity>
struct RgbToHexcone {
    static constexpr size_t kPixels = H::kBytes / 2;

    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        using V = typename H::V;
        const Planes<H> pixels(src);
        const V b = pixels.byte0, g = pixels.byte1, r = pixels.byte2;
        const V max = H::max16(H::max16(r, g), b);
        const V d = H::sub16(max, H::min16(H::min16(r, g), b));
        const V s = H::quotient16(d, max);

        // Sector by the first channel equal to the maximum, in the order R, G, B.
        const V rIsMax = H::eq16(r, max);
        const V gIsMax = H::eq16(g, max);
        const V n = H::select(rIsMax, H::sub16(g, b), H::select(gIsMax, H::sub16(b, r), H::sub16(r, g)));
        const V offset = H::select(rIsMax, H::set16(1530), H::select(gIsMax, H::set16(510), H::set16(1020)));
        const V negative = H::gt16(H::zero(), n);
        const V magnitude = H::sub16(H::xor_(n, negative), negative);
        const V q = H::quotient16(magnitude, d);
        const V x = H::add16(H::sub16(H::xor_(q, negative), negative), offset);
        const V third = H::mulhi16(x, H::set16(21846));
        const V h = H::and_(H::template srli16<1>(H::add16(third, H::set16(1))), H::set16(255));

        V level = max;
        if (Intensity)
            level = H::mulhi16(H::add16(H::add16(b, g), r), H::set16(21846));
        storePixels<H, Stream>(dst, H::or_(level, H::template slli16<8>(s)), h);
    }
};

// ---- HSV to RGB8888 ---------------------------------------------------------------------------

// (u * 257 + 128) >> 16 for u up to 65025, in 16-bit lanes: floor((256u + u + 128) / 65536)
// = floor((u + floor((u + 128) / 256)) / 256), and no sum leaves 16 bits.
template <class H>
inline typename H::V divideBy255(typename H::V u)
{
    return H::template srli16<8>(H::add16(u, H::template srli16<8>(H::add16(u, H::set16(128)))));
}

// The ramp of 32-bit y: (2y + 515 (y >> 15) + ((515 (y & 32767)) >> 15) + 65536) >> 17.
template <class H>
inline typename H::V ramp32(typename H::V y)
{
    using V = typename H::V;
    const V by515 = H::set32(515); // words 515, 0: the multiply-adds see one factor
    const V hi = H::madd16(H::template srli32<15>(y), by515);
    const V lo = H::template srli32<15>(H::madd16(H::and_(y, H::set32(32767)), by515));
    const V sum = H::add32(H::add32(H::add32(y, y), hi), H::add32(lo, H::set32(65536)));
    return H::template srli32<17>(sum);
}

template <class H>
struct HsvToRgb {
    static constexpr size_t kPixels = H::kBytes / 2;

    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        using V = typename H::V;
        const Planes<H> pixels(src);
        const V v = pixels.byte0, s = pixels.byte1, h = pixels.byte2;

        // Sector: minus the sum of the all-ones masks of the thresholds exceeded.
        const int16_t thresholds[5] = {42, 84, 127, 169, 212};
        V sector = H::zero();
        for (int t = 0; t < 5; ++t)
            sector = H::sub16(sector, H::gt16(h, H::set16(thresholds[t])));
        const V f = H::sub16(H::mullo16(h, H::set16(6)), H::mullo16(sector, H::set16(255)));
        const V odd = H::eq16(H::and_(sector, H::set16(1)), H::set16(1));
        const V rising = H::select(odd, f, H::sub16(H::set16(255), f));

        const V p = divideBy255<H>(H::mullo16(H::sub16(H::set16(255), s), v));
        // y = V (65025 - S F'): both factors fit 16 unsigned bits, the product 24.
        const V k = H::sub16(H::set16(int16_t(65025 - 65536)), H::mullo16(s, rising));
        const V yLow = H::mullo16(v, k), yHigh = H::mulhiu16(v, k);
        const V ramp =
            H::min16(H::packs32(ramp32<H>(H::unpacklo16(yLow, yHigh)), ramp32<H>(H::unpackhi16(yLow, yHigh))),
                     H::set16(255));

        auto in = [&](int16_t a, int16_t b) {
            return H::or_(H::eq16(sector, H::set16(a)), H::eq16(sector, H::set16(b)));
        };
        // (R, G, B) by sector: 0 (V, ramp, P), 1 (ramp, V, P), 2 (P, V, ramp), 3 (P, ramp, V),
        // 4 (ramp, P, V), 5 (V, P, ramp); grey (S = 0) is V in all three.
        const V grey = H::eq16(s, H::zero());
        const V red = H::select(H::or_(grey, in(0, 5)), v, H::select(in(1, 4), ramp, p));
        const V green = H::select(H::or_(grey, in(1, 2)), v, H::select(in(0, 3), ramp, p));
        const V blue = H::select(H::or_(grey, in(3, 4)), v, H::select(in(2, 5), ramp, p));

        storePixels<H, Stream>(dst, H::or_(blue, H::template slli16<8>(green)), red);
    }
};

// ---- The loop ---------------------------------------------------------------------------------

template <class Pass>
struct WholePasses {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        for (size_t i = 0; i < pixels; i += Pass::kPixels)
            Pass::template convert<Stream>(src + 4 * i, dst + 4 * i);
    }
};

// Passes of two registers; pixels is a multiple of the block, and what is left after the last
// whole pass goes through a zeroed stack pass (the kernel still reads and writes only its run).
template <class Pass>
inline void runPasses(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    const size_t whole = pixels / Pass::kPixels * Pass::kPixels;
    withStores<WholePasses<Pass>>(dst, 4 * pixels, src, dst, whole);
    if (whole < pixels) {
        alignas(32) uint8_t in[4 * Pass::kPixels] = {};
        alignas(32) uint8_t out[4 * Pass::kPixels];
        __builtin_memcpy(in, src + 4 * whole, 4 * (pixels - whole));
        Pass::template convert<false>(in, out);
        __builtin_memcpy(dst + 4 * whole, out, 4 * (pixels - whole));
    }
}

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its struct H.
#define VYR_HEXCONE_KERNELS(Isa, H)                                                                          \
    namespace vyr::convert::kernels {                                                                        \
    void rgb8888ToHsv##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<RgbToHexcone<H, false>>(s, d, pixels);                                                     \
    }                                                                                                        \
    void rgb8888ToHsi##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<RgbToHexcone<H, true>>(s, d, pixels);                                                      \
    }                                                                                                        \
    void hsvToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<HsvToRgb<H>>(s, d, pixels);                                                                \
    }                                                                                                        \
    }
