// The hexcone kernels (HSV and HSI) written once over a width W of vec.h, for both rules: the integer
// vector rule, and the double-precision scalar rule in integers wherever that rule has no tie to break.
// A kernel file instantiates VYR_HEXCONE_KERNELS with its widest register and the way it settles the
// scalar rule's ties (ExactPixels here, or a vector form of the rule). Everything here lives in an
// anonymous namespace, so each instruction set keeps its own copies.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/kernels/byte_plane.h"
#include "convert/kernels/hexcone_kernels.h"
#include "convert/kernels/passes.h"
#include "convert/kernels/vec.h"

namespace vyr::convert::kernels {
namespace {

// ---- Whole quotients -------------------------------------------------------------------------------

// floor(num / den) for 32-bit lanes 0 <= num < 2^24 and whole den >= 1 held as floats, and whether the
// quotient is whole. The single-precision quotient is off by at most q 2^-24 < 1 / den, less than a
// quotient that is not whole lies from the integers on either side; a whole one comes out exact.
template <class W>
inline typename W::V floorQuotient(typename W::V num, typename W::V den, typename W::V& whole)
{
    const typename W::V q = W::divF(W::toFloat(num), den);
    const typename W::V t = W::truncToInt(q);
    whole = W::eq32(W::toFloat(t), q);
    return t;
}

// The 32-bit halves of 16-bit lanes 0..32767, and the other way.
template <class W>
struct Halves {
    typename W::V low, high;
    explicit Halves(typename W::V v) : low(W::unpacklo16(v, W::zero())), high(W::unpackhi16(v, W::zero())) {}
    Halves(typename W::V l, typename W::V h) : low(l), high(h) {}
    typename W::V packed() const { return W::packs32(low, high); }
};

// x * 255 / n rounded half up for 16-bit lanes 0 <= x <= n <= 255: floor((510 x + n) / (2 n)), the value
// of the vector rule's reciprocal table (x = n = 0 gives 0).
template <class W>
inline typename W::V quotient16(typename W::V x, typename W::V n)
{
    using V = typename W::V;
    auto half = [](V x32, V n32) {
        V whole;
        const V den = W::maxF(W::toFloat(W::add32(n32, n32)), W::setF(1.0f));
        return floorQuotient<W>(W::add32(W::madd16(x32, W::set32(510)), n32), den, whole);
    };
    const Halves<W> x2(x), n2(n);
    return W::packs32(half(x2.low, n2.low), half(x2.high, n2.high));
}

// ---- Pixels in 16-bit lanes ---------------------------------------------------------------------------

// Bytes 0, 1 and 2 of the pixels of two registers, as 16-bit lanes (packed within 128-bit lanes,
// so that unpacking two of them again gives the pixels back in order).
template <class W>
struct Planes {
    typename W::V byte0, byte1, byte2;

    template <int Shift>
    static typename W::V channel(typename W::V first, typename W::V second)
    {
        const typename W::V low = W::set32(0xFF);
        return W::packs32(W::and_(W::template srli32<Shift>(first), low),
                          W::and_(W::template srli32<Shift>(second), low));
    }

    explicit Planes(const uint8_t* src)
    {
        const typename W::V first = W::load(src), second = W::load(src + W::kBytes);
        byte0 = channel<0>(first, second);
        byte1 = channel<8>(first, second);
        byte2 = channel<16>(first, second);
    }
};

// Stores 16-bit lanes of bytes 0 and 1 (packed in low) and byte 2 as pixels of two registers.
template <class W, bool Stream>
inline void storePixels(uint8_t* dst, typename W::V low, typename W::V byte2)
{
    W::template store<Stream>(dst, W::unpacklo16(low, byte2));
    W::template store<Stream>(dst + W::kBytes, W::unpackhi16(low, byte2));
}

// The hexcone of 16-bit lanes of R, G, B: the largest channel, the smallest, their difference, and the
// sector by the first channel equal to the largest in the order R, G, B, with its signed numerator
// (G - B, B - R or R - G) in hue steps of the sector.
template <class W>
struct Sectors {
    using V = typename W::V;
    V max, d, rIsMax, gIsMax, n;

    Sectors(V r, V g, V b)
    {
        max = W::max16(W::max16(r, g), b);
        d = W::sub16(max, W::min16(W::min16(r, g), b));
        rIsMax = W::eq16(r, max);
        gIsMax = W::eq16(g, max);
        n = W::select(rIsMax, W::sub16(g, b), W::select(gIsMax, W::sub16(b, r), W::sub16(r, g)));
    }
    // k[0] where red is the largest, k[1] green, k[2] blue.
    V bySector(int16_t red, int16_t green, int16_t blue) const
    {
        return W::select(rIsMax, W::set16(red), W::select(gIsMax, W::set16(green), W::set16(blue)));
    }
};

// ---- RGB8888 to HSV and HSI, the vector rule -----------------------------------------------------------

// Two registers of RGB8888 pixels to bytes (V or I), S, H, 0.
template <class W, bool Intensity>
struct RgbToHexcone {
    static constexpr size_t kPixels = W::kBytes / 2;

    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        using V = typename W::V;
        const Planes<W> pixels(src);
        const V b = pixels.byte0, g = pixels.byte1, r = pixels.byte2;
        const Sectors<W> c(r, g, b);
        const V s = quotient16<W>(c.d, c.max);
        const V negative = W::gt16(W::zero(), c.n);
        const V magnitude = W::sub16(W::xor_(c.n, negative), negative);
        const V q = quotient16<W>(magnitude, c.d);
        const V x = W::add16(W::sub16(W::xor_(q, negative), negative), c.bySector(1530, 510, 1020));
        const V third = W::mulhi16(x, W::set16(21846));
        const V h = W::and_(W::template srli16<1>(W::add16(third, W::set16(1))), W::set16(255));

        V level = c.max;
        if (Intensity)
            level = W::mulhi16(W::add16(W::add16(b, g), r), W::set16(21846));
        storePixels<W, Stream>(dst, W::or_(level, W::template slli16<8>(s)), h);
    }
};

// ---- RGB8888 to HSV and HSI, the scalar rule --------------------------------------------------------------
//
// In exact arithmetic the rule's bytes are x + 1/2 truncated for the rationals x = 255 d / max (S) and
// x = 255 (k d + n) / (6 d) (H; k the sector's offset 0, 2 or 4, one turn more below 0), and V = max or
// I = (R + G + B) / 3. The double-precision steps move x by less than 1e-12, while x + 1/2 is a whole
// number or lies at least 1 / (12 d) from one (I: at least 1/6), so the bytes are floor(x + 1/2) except
// where x + 1/2 is whole: there the rounding of the rule's steps decides (about 3 % of all colours). The
// kernels compute the integers and leave those ties to the rule.

// Pixels the kernel leaves to the rule, settled eight at a time by Settle::pixels(src, dst, n).
template <class Settle>
struct OpenPixels {
    const uint8_t* src[8];
    uint8_t* dst[8];
    unsigned count = 0;

    // Before the rule overwrites pixels the kernel wrote with streaming stores, those must be done.
    template <bool Stream>
    void settle()
    {
        if (count == 0)
            return;
        if (Stream)
            _mm_sfence();
        Settle::pixels(src, dst, count);
        count = 0;
    }
    template <bool Stream>
    void add(uint64_t lanes, const uint8_t* s, uint8_t* d)
    {
        for (; lanes; lanes &= lanes - 1) {
            const unsigned i = unsigned(__builtin_ctzll(lanes));
            src[count] = s + 4 * i;
            dst[count] = d + 4 * i;
            if (++count == 8)
                settle<Stream>();
        }
    }
};

// The rule pixel by pixel (hexcone_kernels.h).
template <bool Intensity>
struct ExactPixels {
    static void pixels(const uint8_t* const* src, uint8_t* const* dst, unsigned n)
    {
        for (unsigned i = 0; i < n; ++i)
            (Intensity ? rgb8888ToHsiExact : rgb8888ToHsvExact)(src[i], dst[i], 1);
    }
};

template <class W, bool Intensity>
struct RgbToHexconeRounded {
    using V = typename W::V;
    static constexpr size_t kPixels = W::kBytes / 2;

    // Two registers of pixels; returns the ties, one bit a pixel.
    template <bool Stream>
    static uint64_t convert(const uint8_t* src, uint8_t* dst)
    {
        const Planes<W> pixels(src);
        const V b = pixels.byte0, g = pixels.byte1, r = pixels.byte2;
        const Sectors<W> c(r, g, b);
        const Halves<W> d(c.d), max(c.max);
        // S: floor((510 d + max) / (2 max)); H: floor((510 n + d (6 + 510 k)) / (12 d)), at most 255.
        const V turn =
            W::and_(W::and_(c.rIsMax, W::gt16(W::zero(), c.n)), W::set16(3060)); // below 0: a turn up
        const V offsets = W::add16(c.bySector(6, 6 + 1020, 6 + 2040), turn);
        const V pairs[2] = {W::unpacklo16(c.n, c.d), W::unpackhi16(c.n, c.d)};
        const V factors[2] = {W::unpacklo16(W::set16(510), offsets), W::unpackhi16(W::set16(510), offsets)};
        V s[2], h[2], ties[2];
        for (int k = 0; k < 2; ++k) {
            const V dk = k ? d.high : d.low, maxk = k ? max.high : max.low;
            const V dFloat = W::toFloat(dk);
            V sWhole, hWhole;
            s[k] = floorQuotient<W>(W::add32(W::madd16(dk, W::set32(510)), maxk),
                                    W::maxF(W::toFloat(W::add32(maxk, maxk)), W::setF(1.0f)), sWhole);
            h[k] = floorQuotient<W>(W::madd16(pairs[k], factors[k]),
                                    W::maxF(W::mulF(dFloat, W::setF(12.0f)), W::setF(1.0f)), hWhole);
            // d = 0: S and H are 0, no tie
            ties[k] = W::and_(W::or_(sWhole, hWhole), W::xor_(W::eq32(dk, W::zero()), W::set32(-1)));
        }
        const V hue = W::min16(Halves<W>(h[0], h[1]).packed(), W::set16(255));
        V level = c.max;
        if (Intensity) // floor((2 (R + G + B) + 3) / 6)
            level = W::mulhiu16(W::add16(W::template slli16<1>(W::add16(W::add16(b, g), r)), W::set16(3)),
                                W::set16(10923));
        storePixels<W, Stream>(dst, W::or_(level, W::template slli16<8>(Halves<W>(s[0], s[1]).packed())),
                               hue);
        const V tie = Halves<W>(ties[0], ties[1]).packed();
        constexpr size_t kPerRegister = W::kBytes / 4;
        return W::lanes32(W::unpacklo16(tie, tie)) | uint64_t(W::lanes32(W::unpackhi16(tie, tie)))
                                                         << kPerRegister;
    }
};

// A kernel of the scalar rule: whole passes whose ties Settle settles, then the rest through a zeroed
// stack pass. Pass::convert<Stream>(src, dst) writes Pass::kPixels pixels and returns their ties.
template <class Pass, class Settle>
struct SettledPasses {
    template <bool Stream>
    static void run(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        OpenPixels<Settle> open;
        for (size_t i = 0; i < pixels; i += Pass::kPixels) {
            const uint64_t ties = Pass::template convert<Stream>(src + 4 * i, dst + 4 * i);
            open.template add<Stream>(ties, src + 4 * i, dst + 4 * i);
        }
        open.template settle<Stream>();
    }

    static void line(const uint8_t* src, uint8_t* dst, size_t pixels)
    {
        runWholeThenRest<SettledPasses, Pass::kPixels>(src, dst, pixels);
    }
};

// ---- HSV to RGB8888 ---------------------------------------------------------------------------

// (u * 257 + 128) >> 16 for u up to 65025, in 16-bit lanes: floor((256u + u + 128) / 65536)
// = floor((u + floor((u + 128) / 256)) / 256), and no sum leaves 16 bits.
template <class W>
inline typename W::V divideBy255(typename W::V u)
{
    return W::template srli16<8>(W::add16(u, W::template srli16<8>(W::add16(u, W::set16(128)))));
}

// u / 255 rounded to nearest for u up to 65025 (never a tie: 255 is odd): floor(x / 255) for
// x = u + 127 as (x + 1 + (x >> 8)) >> 8, which holds for every x up to 65152 and stays in 16 bits.
template <class W>
inline typename W::V roundedOver255(typename W::V u)
{
    const typename W::V x = W::add16(u, W::set16(127));
    return W::template srli16<8>(W::add16(W::add16(x, W::set16(1)), W::template srli16<8>(x)));
}

// The ramp of 32-bit y: (2y + 515 (y >> 15) + ((515 (y & 32767)) >> 15) + 65536) >> 17.
template <class W>
inline typename W::V ramp32(typename W::V y)
{
    using V = typename W::V;
    const V by515 = W::set32(515); // words 515, 0: the multiply-adds see one factor
    const V hi = W::madd16(W::template srli32<15>(y), by515);
    const V lo = W::template srli32<15>(W::madd16(W::and_(y, W::set32(32767)), by515));
    const V sum = W::add32(W::add32(W::add32(y, y), hi), W::add32(lo, W::set32(65536)));
    return W::template srli32<17>(sum);
}

// y / 65025 rounded to nearest (never a tie: 65025 is odd): floor((y + 32512) / 65025).
template <class W>
inline typename W::V roundedRamp32(typename W::V y)
{
    typename W::V whole;
    return floorQuotient<W>(W::add32(y, W::set32(32512)), W::setF(65025.0f), whole);
}

// Rounded: P = (255 - S) V / 255 and the ramp V (65025 - S F') / 65025 rounded to nearest, which is what the
// double-precision rule gives (its steps move them by less than 1e-12, and rationals over 255 and 65025 lie
// at least 1 / 130050 from a half); else the vector rule's multiply-and-shift forms.
template <class W, bool Rounded>
struct HsvToRgb {
    static constexpr size_t kPixels = W::kBytes / 2;

    template <bool Stream>
    static void convert(const uint8_t* src, uint8_t* dst)
    {
        using V = typename W::V;
        const Planes<W> pixels(src);
        const V v = pixels.byte0, s = pixels.byte1, h = pixels.byte2;

        // Sector: minus the sum of the all-ones masks of the thresholds exceeded.
        const int16_t thresholds[5] = {42, 84, 127, 169, 212};
        V sector = W::zero();
        for (int t = 0; t < 5; ++t)
            sector = W::sub16(sector, W::gt16(h, W::set16(thresholds[t])));
        const V f = W::sub16(W::mullo16(h, W::set16(6)), W::mullo16(sector, W::set16(255)));
        const V odd = W::eq16(W::and_(sector, W::set16(1)), W::set16(1));
        const V rising = W::select(odd, f, W::sub16(W::set16(255), f));

        const V u = W::mullo16(W::sub16(W::set16(255), s), v);
        const V p = Rounded ? roundedOver255<W>(u) : divideBy255<W>(u);
        // y = V (65025 - S F'): both factors fit 16 unsigned bits, the product 24.
        const V k = W::sub16(W::set16(int16_t(65025 - 65536)), W::mullo16(s, rising));
        const V yLow = W::mullo16(v, k), yHigh = W::mulhiu16(v, k);
        const Halves<W> y(W::unpacklo16(yLow, yHigh), W::unpackhi16(yLow, yHigh));
        const V ramp = Rounded
                           ? Halves<W>(roundedRamp32<W>(y.low), roundedRamp32<W>(y.high)).packed()
                           : W::min16(Halves<W>(ramp32<W>(y.low), ramp32<W>(y.high)).packed(), W::set16(255));

        auto in = [&](int16_t a, int16_t b) {
            return W::or_(W::eq16(sector, W::set16(a)), W::eq16(sector, W::set16(b)));
        };
        // (R, G, B) by sector: 0 (V, ramp, P), 1 (ramp, V, P), 2 (P, V, ramp), 3 (P, ramp, V),
        // 4 (ramp, P, V), 5 (V, P, ramp); grey (S = 0) is V in all three.
        const V grey = W::eq16(s, W::zero());
        const V red = W::select(W::or_(grey, in(0, 5)), v, W::select(in(1, 4), ramp, p));
        const V green = W::select(W::or_(grey, in(1, 2)), v, W::select(in(0, 3), ramp, p));
        const V blue = W::select(W::or_(grey, in(3, 4)), v, W::select(in(2, 5), ramp, p));

        storePixels<W, Stream>(dst, W::or_(blue, W::template slli16<8>(green)), red);
    }
};

// A line of whole passes and the rest through a stack pass.
template <class Pass>
struct PassLine {
    static void line(const uint8_t* src, uint8_t* dst, size_t pixels) { runPasses<Pass>(src, dst, pixels); }
};

// The passes of RGB8888 to HSV (Intensity false) or HSI written over W: FromRgb of the vector rule,
// RoundedLine, the kernel of the scalar rule, whose ties ExactPixels settles pixel by pixel, and ToRgb
// back to RGB8888 by the scalar rule (Rounded) or the vector rule.
template <class W>
struct HexconePasses {
    template <bool Intensity>
    using FromRgb = RgbToHexcone<W, Intensity>;
    template <bool Intensity>
    using RoundedLine = SettledPasses<RgbToHexconeRounded<W, Intensity>, ExactPixels<Intensity>>;
    template <bool Rounded>
    using ToRgb = PassLine<HsvToRgb<W, Rounded>>;
};

} // namespace
} // namespace vyr::convert::kernels

// The exported kernels of one instruction set, over its widest register W and its passes P (HexconePasses).
#define VYR_HEXCONE_KERNELS(Isa, W, P)                                                                       \
    namespace vyr::convert::kernels {                                                                        \
    void rgb8888ToHsv##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<P::FromRgb<false>>(s, d, pixels);                                                          \
    }                                                                                                        \
    void rgb8888ToHsi##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        runPasses<P::FromRgb<true>>(s, d, pixels);                                                           \
    }                                                                                                        \
    void hsvToRgb8888##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                                      \
    {                                                                                                        \
        P::ToRgb<false>::line(s, d, pixels);                                                                 \
    }                                                                                                        \
    void rgb8888ToHsvRounded##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                               \
    {                                                                                                        \
        P::RoundedLine<false>::line(s, d, pixels);                                                           \
    }                                                                                                        \
    void rgb8888ToHsiRounded##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                               \
    {                                                                                                        \
        P::RoundedLine<true>::line(s, d, pixels);                                                            \
    }                                                                                                        \
    void hexconeToRgb8888Rounded##Isa(const uint8_t* s, uint8_t* d, size_t pixels)                           \
    {                                                                                                        \
        P::ToRgb<true>::line(s, d, pixels);                                                                  \
    }                                                                                                        \
    void hsvToMono8##Isa(const uint8_t* s, uint8_t* d, size_t pixels) { bytePlane<W, 0>(s, d, pixels); }     \
    }
