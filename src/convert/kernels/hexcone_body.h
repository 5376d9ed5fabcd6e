// The hexcone kernels written once over a register type. A kernel file defines its traits V (a
// struct of static functions over its intrinsics) and includes this header; everything here
// lives in an anonymous namespace, so each instruction set keeps its own copies.
//
// V holds V::kPixels 4-byte pixels per register and supplies:
//   R, load, store<Stream>, zero, set16, set32, and_, or_, xor_, select(mask, ifSet, ifClear),
//   srl16<N>, sll16<N>,
//   srl32<N>, sll32<N>, packs32 and unpacklo16/unpackhi16 (within 128-bit lanes, so that
//   packing two registers and unpacking again gives the pixels back in order), add16, sub16,
//   max16, min16, eq16, gt16, mullo16, mulhi16, mulhiu16, madd16, add32,
//   quotient16(x, n): (x * w + 2^21) >> 22 with w the table entry of n, for 16-bit lanes of
//   0 <= x <= n <= 255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/store.h"

namespace vyr::convert::kernels {
namespace {

// Bytes 0, 1 and 2 of the pixels of two registers, as 16-bit lanes.
template <class V>
struct Planes {
    typename V::R byte0, byte1, byte2;

    template <int Shift>
    static typename V::R channel(typename V::R first, typename V::R second)
    {
        const typename V::R low = V::set32(0xFF);
        return V::packs32(V::and_(V::template srl32<Shift>(first), low),
                          V::and_(V::template srl32<Shift>(second), low));
    }

    explicit Planes(const uint8_t* src)
    {
        const typename V::R first = V::load(src), second = V::load(src + 4 * V::kPixels);
        byte0 = channel<0>(first, second);
        byte1 = channel<8>(first, second);
        byte2 = channel<16>(first, second);
    }
};

// Stores 16-bit lanes of bytes 0 and 1 (packed in low) and byte 2 as pixels of two registers.
template <class V, bool Stream>
inline void storePixels(uint8_t* dst, typename V::R low, typename V::R byte2)
{
    V::template store<Stream>(dst, V::unpacklo16(low, byte2));
    V::template store<Stream>(dst + 4 * V::kPixels, V::unpackhi16(low, byte2));
}

// ---- RGB8888 to HSV and HSI -------------------------------------------------------------------

// Two registers of RGB8888 pixels to bytes (V or I), S, H, 0.
template <class V, bool Intensity, bool Stream>
inline void hexconePass(const uint8_t* src, uint8_t* dst)
{
    using R = typename V::R;
    const Planes<V> pixels(src);
    const R b = pixels.byte0, g = pixels.byte1, r = pixels.byte2;
    const R max = V::max16(V::max16(r, g), b);
    const R d = V::sub16(max, V::min16(V::min16(r, g), b));
    const R s = V::quotient16(d, max);

    // Sector by the first channel equal to the maximum, in the order R, G, B.
    const R rIsMax = V::eq16(r, max);
    const R gIsMax = V::eq16(g, max);
    const R n = V::select(rIsMax, V::sub16(g, b), V::select(gIsMax, V::sub16(b, r), V::sub16(r, g)));
    const R offset = V::select(rIsMax, V::set16(1530), V::select(gIsMax, V::set16(510), V::set16(1020)));
    const R negative = V::gt16(V::zero(), n);
    const R magnitude = V::sub16(V::xor_(n, negative), negative);
    const R q = V::quotient16(magnitude, d);
    const R x = V::add16(V::sub16(V::xor_(q, negative), negative), offset);
    const R third = V::mulhi16(x, V::set16(21846));
    const R h = V::and_(V::template srl16<1>(V::add16(third, V::set16(1))), V::set16(255));

    R level = max;
    if (Intensity)
        level = V::mulhi16(V::add16(V::add16(b, g), r), V::set16(21846));
    storePixels<V, Stream>(dst, V::or_(level, V::template sll16<8>(s)), h);
}

// ---- HSV to RGB8888 ---------------------------------------------------------------------------

// (u * 257 + 128) >> 16 for u up to 65025, in 16-bit lanes: floor((256u + u + 128) / 65536)
// = floor((u + floor((u + 128) / 256)) / 256), and no sum leaves 16 bits.
template <class V>
inline typename V::R divideBy255(typename V::R u)
{
    return V::template srl16<8>(V::add16(u, V::template srl16<8>(V::add16(u, V::set16(128)))));
}

// The ramp of 32-bit y: (2y + 515 (y >> 15) + ((515 (y & 32767)) >> 15) + 65536) >> 17.
template <class V>
inline typename V::R ramp32(typename V::R y)
{
    using R = typename V::R;
    const R by515 = V::set32(515); // words 515, 0: the multiply-adds see one factor
    const R hi = V::madd16(V::template srl32<15>(y), by515);
    const R lo = V::template srl32<15>(V::madd16(V::and_(y, V::set32(32767)), by515));
    const R sum = V::add32(V::add32(V::add32(y, y), hi), V::add32(lo, V::set32(65536)));
    return V::template srl32<17>(sum);
}

template <class V, bool Stream>
inline void hsvToRgbPass(const uint8_t* src, uint8_t* dst)
{
    using R = typename V::R;
    const Planes<V> pixels(src);
    const R v = pixels.byte0, s = pixels.byte1, h = pixels.byte2;

    // Sector: minus the sum of the all-ones masks of the thresholds exceeded.
    const int16_t thresholds[5] = {42, 84, 127, 169, 212};
    R sector = V::zero();
    for (int t = 0; t < 5; ++t)
        sector = V::sub16(sector, V::gt16(h, V::set16(thresholds[t])));
    const R f = V::sub16(V::mullo16(h, V::set16(6)), V::mullo16(sector, V::set16(255)));
    const R odd = V::eq16(V::and_(sector, V::set16(1)), V::set16(1));
    const R rising = V::select(odd, f, V::sub16(V::set16(255), f));

    const R p = divideBy255<V>(V::mullo16(V::sub16(V::set16(255), s), v));
    // y = V (65025 - S F'): both factors fit 16 unsigned bits, the product 24.
    const R k = V::sub16(V::set16(int16_t(65025 - 65536)), V::mullo16(s, rising));
    const R yLow = V::mullo16(v, k), yHigh = V::mulhiu16(v, k);
    const R ramp =
        V::min16(V::packs32(ramp32<V>(V::unpacklo16(yLow, yHigh)), ramp32<V>(V::unpackhi16(yLow, yHigh))),
                 V::set16(255));

    auto in = [&](int16_t a, int16_t b) {
        return V::or_(V::eq16(sector, V::set16(a)), V::eq16(sector, V::set16(b)));
    };
    // (R, G, B) by sector: 0 (V, ramp, P), 1 (ramp, V, P), 2 (P, V, ramp), 3 (P, ramp, V),
    // 4 (ramp, P, V), 5 (V, P, ramp); grey (S = 0) is V in all three.
    const R grey = V::eq16(s, V::zero());
    const R red = V::select(V::or_(grey, in(0, 5)), v, V::select(in(1, 4), ramp, p));
    const R green = V::select(V::or_(grey, in(1, 2)), v, V::select(in(0, 3), ramp, p));
    const R blue = V::select(V::or_(grey, in(3, 4)), v, V::select(in(2, 5), ramp, p));

    storePixels<V, Stream>(dst, V::or_(blue, V::template sll16<8>(green)), red);
}

// ---- The loop ---------------------------------------------------------------------------------

template <class V, bool Intensity>
struct HexconePass {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst)
    {
        hexconePass<V, Intensity, Stream>(src, dst);
    }
};

template <class V>
struct HsvToRgbPass {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst)
    {
        hsvToRgbPass<V, Stream>(src, dst);
    }
};

template <class V, class Pass, bool Stream>
inline size_t wholePasses(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    constexpr size_t kPass = 2 * V::kPixels;
    size_t i = 0;
    for (; i + kPass <= pixels; i += kPass)
        Pass::template run<Stream>(src + 4 * i, dst + 4 * i);
    if (Stream)
        _mm_sfence();
    return i;
}

// Passes of two registers; pixels is a multiple of the block, and what is left after the last
// whole pass goes through a zeroed stack pass (the kernel still reads and writes only its run).
template <class V, class Pass>
inline void runPasses(const uint8_t* src, uint8_t* dst, size_t pixels)
{
    constexpr size_t kPass = 2 * V::kPixels;
    const size_t i = streamable(dst, pixels * 4) ? wholePasses<V, Pass, true>(src, dst, pixels)
                                                 : wholePasses<V, Pass, false>(src, dst, pixels);
    if (i < pixels) {
        alignas(32) uint8_t in[4 * kPass] = {};
        alignas(32) uint8_t out[4 * kPass];
        __builtin_memcpy(in, src + 4 * i, 4 * (pixels - i));
        Pass::template run<false>(in, out);
        __builtin_memcpy(dst + 4 * i, out, 4 * (pixels - i));
    }
}

} // namespace
} // namespace vyr::convert::kernels
