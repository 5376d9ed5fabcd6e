// Format traits of the grey and RGB pixel formats, and the rule that moves channels between two of
// them. A trait knows its bytes per pixel, the significant bits of each channel and how to read a
// pixel into channels and write one from them; a converter of these families is one Repack (or a
// small rule of its own) run by a generic loop.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vyr::convert::fmt {

// Blue, green, red and the fourth channel of one pixel, as unsigned numbers. Grey formats read their
// value into all four and write the green one.
struct Pixel {
    uint32_t b, g, r, x;
};

struct Bits {
    uint32_t b, g, r, x;
};

// Little-endian words of Bytes bytes (1, 2 or 4) at any address.
template <uint32_t Bytes>
inline uint32_t loadLe(const uint8_t* p)
{
    static_assert(Bytes == 1 || Bytes == 2 || Bytes == 4, "a byte, a 16-bit or a 32-bit word");
    uint32_t v = 0;
    for (uint32_t i = Bytes; i-- > 0;)
        v = v << 8 | p[i];
    return v;
}

// The low 8 * Bytes bits of v.
template <uint32_t Bytes>
inline void storeLe(uint8_t* p, uint32_t v)
{
    static_assert(Bytes == 1 || Bytes == 2 || Bytes == 4, "a byte, a 16-bit or a 32-bit word");
    for (uint32_t i = 0; i < Bytes; ++i, v >>= 8)
        p[i] = uint8_t(v);
}

// ---- Grey --------------------------------------------------------------------------------------

template <uint32_t Bytes>
struct Grey {
    static constexpr uint32_t kBytes = Bytes;
    static constexpr Bits kBits = {8 * Bytes, 8 * Bytes, 8 * Bytes, 8 * Bytes};
    static constexpr bool kGrey = true;
    static Pixel read(const uint8_t* p)
    {
        const uint32_t v = loadLe<Bytes>(p);
        return {v, v, v, v};
    }
    static void write(uint8_t* p, const Pixel& c) { storeLe<Bytes>(p, c.g); }
};
using Mono8 = Grey<1>;
using Mono16 = Grey<2>;
using Mono32 = Grey<4>;

// ---- RGB in samples of 8 or 16 bits -------------------------------------------------------------

// What a converter writes in the fourth sample of a four-sample RGB pixel: the pixel's fourth channel,
// 0, or nothing (the destination keeps what it held).
enum class Fourth { Channel, Zero, Keep };

// Samples samples of SampleBytes bytes a pixel: red at sample RedAt, green at 1, blue at BlueAt, and in
// four-sample pixels a fourth sample written as X says.
template <uint32_t SampleBytes, uint32_t Samples, uint32_t RedAt, uint32_t BlueAt, Fourth X>
struct RgbSamples {
    static constexpr uint32_t kBytes = SampleBytes * Samples;
    static constexpr uint32_t kSampleBits = 8 * SampleBytes;
    static constexpr Bits kBits = {kSampleBits, kSampleBits, kSampleBits, kSampleBits};
    static constexpr bool kGrey = false;
    static uint32_t sample(const uint8_t* p, uint32_t k) { return loadLe<SampleBytes>(p + SampleBytes * k); }
    static Pixel read(const uint8_t* p)
    {
        return {sample(p, BlueAt), sample(p, 1), sample(p, RedAt), Samples == 4 ? sample(p, 3) : 0u};
    }
    static void write(uint8_t* p, const Pixel& c)
    {
        storeLe<SampleBytes>(p + SampleBytes * BlueAt, c.b);
        storeLe<SampleBytes>(p + SampleBytes, c.g);
        storeLe<SampleBytes>(p + SampleBytes * RedAt, c.r);
        if constexpr (Samples == 4 && X != Fourth::Keep)
            storeLe<SampleBytes>(p + 3 * SampleBytes, X == Fourth::Channel ? c.x : 0u);
    }
};

// Blue first, and RGBR888 red first; the fourth channel of RGB8888 and RGB16161616 is written.
template <uint32_t SampleBytes, uint32_t Samples, Fourth X = Fourth::Channel>
using BlueFirst = RgbSamples<SampleBytes, Samples, 2, 0, X>;
using Rgb888 = BlueFirst<1, 3>;
using Rgbr888 = RgbSamples<1, 3, 0, 2, Fourth::Keep>;
using Rgb8888 = BlueFirst<1, 4>;
using Rgb161616 = BlueFirst<2, 3>;
using Rgb16161616 = BlueFirst<2, 4>;
// RGB8888 written colour bytes only: the fourth byte keeps what the destination held.
using Rgb8888Colour = BlueFirst<1, 4, Fourth::Keep>;

// ---- RGB fields in one little-endian word --------------------------------------------------------

// Fields at bit positions 0, GreenAt and RedAt; the bits above the red field are written as 0.
template <uint32_t Bytes, uint32_t BlueBits, uint32_t GreenBits, uint32_t RedBits>
struct WordRgb {
    static constexpr uint32_t kBytes = Bytes;
    static constexpr uint32_t kGreenAt = BlueBits;
    static constexpr uint32_t kRedAt = BlueBits + GreenBits;
    static constexpr Bits kBits = {BlueBits, GreenBits, RedBits, 8};
    static constexpr bool kGrey = false;
    static Pixel read(const uint8_t* p)
    {
        const uint32_t w = loadLe<Bytes>(p);
        return {w & ((1u << BlueBits) - 1), (w >> kGreenAt) & ((1u << GreenBits) - 1),
                (w >> kRedAt) & ((1u << RedBits) - 1), 0};
    }
    // Fields are ORed in as they come; a rule that cuts them does so before.
    static void write(uint8_t* p, const Pixel& c)
    {
        const uint32_t w = c.b | c.g << kGreenAt | c.r << kRedAt;
        storeLe<Bytes>(p, Bytes == 2 ? w : w & ((1u << (kRedAt + RedBits)) - 1));
    }
};
using Rgb5551 = WordRgb<2, 5, 5, 5>;
using Rgb565 = WordRgb<2, 5, 6, 5>;
using Rgb101010 = WordRgb<4, 10, 10, 10>;

// ---- Channel rules -------------------------------------------------------------------------------

// A channel of From significant bits moved to To bits by a shift alone: the top bits kept when
// narrowing, zeros below when widening. `a` unused bits of the deeper side shorten the shift; the
// count is taken mod 32 so that a value outside the valid range gives some value, never undefined code.
template <uint32_t From, uint32_t To>
inline uint32_t rescale(uint32_t v, uint32_t a)
{
    if constexpr (From > To)
        return v >> ((From - To - a) & 31u);
    else if constexpr (From < To)
        return v << ((To - From - a) & 31u);
    else
        return v;
}

// The channels as read.
struct Separate {
    static Pixel mix(const Pixel& c) { return c; }
};

// Luminance: Wb, Wg, Wr in units of 2^-Unit; the weights sum to one, so Y keeps the channels' depth.
template <uint32_t Wb, uint32_t Wg, uint32_t Wr, uint32_t Unit>
struct Luma {
    static_assert(Wb + Wg + Wr == 1u << Unit, "weights must sum to one");
    static Pixel mix(const Pixel& c)
    {
        const uint32_t y = (Wb * c.b + Wg * c.g + Wr * c.r) >> Unit;
        return {y, y, y, y};
    }
};
using Luma8 = Luma<117, 601, 306, 10>;     // 8-bit channels
using Luma16 = Luma<1868, 9617, 4899, 14>; // up to 16-bit channels

// Whether a rescaled channel is cut to its destination field, or may spill into the next one.
enum class Fields { Cut, Spill };
// Whether the converter takes unusedBits or ignores it (the shift stays the full difference).
enum class UnusedBits { Taken, Ignored };

template <class Src, class Dst, class Mix = Separate, Fields F = Fields::Cut,
          UnusedBits U = UnusedBits::Taken>
struct Repack {
    using Source = Src;
    using Destination = Dst;

    template <uint32_t From, uint32_t To>
    static uint32_t channel(uint32_t v, uint32_t a)
    {
        const uint32_t moved = rescale<From, To>(v, U == UnusedBits::Taken ? a : 0u);
        if constexpr (F == Fields::Cut && To < 32)
            return moved & ((1u << To) - 1);
        else
            return moved;
    }

    static void pixel(const uint8_t* s, uint8_t* d, uint32_t a)
    {
        constexpr Bits from = Src::kBits, to = Dst::kBits;
        const Pixel c = Mix::mix(Src::read(s));
        Dst::write(d, {channel<from.b, to.b>(c.b, a), channel<from.g, to.g>(c.g, a),
                       channel<from.r, to.r>(c.r, a), channel<from.x, to.x>(c.x, a)});
    }
};

// ---- Loops -----------------------------------------------------------------------------------------

// The plain loop of a rule: pixel by pixel in increasing order.
template <class Rule>
inline void eachPixel(const uint8_t* src, uint8_t* dst, size_t n, uint32_t a)
{
    for (size_t i = 0; i < n; ++i, src += Rule::Source::kBytes, dst += Rule::Destination::kBytes)
        Rule::pixel(src, dst, a);
}

} // namespace vyr::convert::fmt
