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

inline uint32_t get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }
inline void put16(uint8_t* p, uint32_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void put32(uint8_t* p, uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}

// ---- Grey --------------------------------------------------------------------------------------

template <uint32_t Bytes>
struct Grey {
    static constexpr uint32_t kBytes = Bytes;
    static constexpr Bits kBits = {8 * Bytes, 8 * Bytes, 8 * Bytes, 8 * Bytes};
    static constexpr bool kGrey = true;
    static Pixel read(const uint8_t* p)
    {
        const uint32_t v = Bytes == 1 ? p[0] : Bytes == 2 ? get16(p) : get32(p);
        return {v, v, v, v};
    }
    static void write(uint8_t* p, const Pixel& c)
    {
        if constexpr (Bytes == 1)
            p[0] = uint8_t(c.g);
        else if constexpr (Bytes == 2)
            put16(p, c.g);
        else
            put32(p, c.g);
    }
};
using Mono8 = Grey<1>;
using Mono16 = Grey<2>;
using Mono32 = Grey<4>;

// ---- Byte-per-channel RGB ------------------------------------------------------------------------

// Bytes in the order of the Byte* indices; Fourth says whether byte 3 is part of the pixel.
template <uint32_t Bytes, uint32_t BlueByte, uint32_t RedByte, bool WritesFourth>
struct ByteRgb {
    static constexpr uint32_t kBytes = Bytes;
    static constexpr Bits kBits = {8, 8, 8, 8};
    static constexpr bool kGrey = false;
    static Pixel read(const uint8_t* p) { return {p[BlueByte], p[1], p[RedByte], Bytes == 4 ? p[3] : 0u}; }
    static void write(uint8_t* p, const Pixel& c)
    {
        p[BlueByte] = uint8_t(c.b);
        p[1] = uint8_t(c.g);
        p[RedByte] = uint8_t(c.r);
        if constexpr (WritesFourth)
            p[3] = uint8_t(c.x);
    }
};
using Rgb888 = ByteRgb<3, 0, 2, false>;
using Rgbr888 = ByteRgb<3, 2, 0, false>;
using Rgb8888 = ByteRgb<4, 0, 2, true>;
// RGB8888 written colour bytes only: the fourth byte keeps what the destination held.
using Rgb8888Colour = ByteRgb<4, 0, 2, false>;

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
        const uint32_t w = Bytes == 2 ? get16(p) : get32(p);
        return {w & ((1u << BlueBits) - 1), (w >> kGreenAt) & ((1u << GreenBits) - 1),
                (w >> kRedAt) & ((1u << RedBits) - 1), 0};
    }
    // Fields are ORed in as they come; a rule that cuts them does so before.
    static void write(uint8_t* p, const Pixel& c)
    {
        const uint32_t w = c.b | c.g << kGreenAt | c.r << kRedAt;
        if constexpr (Bytes == 2)
            put16(p, w);
        else
            put32(p, w & ((1u << (kRedAt + RedBits)) - 1));
    }
};
using Rgb5551 = WordRgb<2, 5, 5, 5>;
using Rgb565 = WordRgb<2, 5, 6, 5>;
using Rgb101010 = WordRgb<4, 10, 10, 10>;

// ---- 16-bit words per channel -----------------------------------------------------------------------

template <uint32_t Words>
struct WordChannels {
    static constexpr uint32_t kBytes = 2 * Words;
    static constexpr Bits kBits = {16, 16, 16, 16};
    static constexpr bool kGrey = false;
    static Pixel read(const uint8_t* p)
    {
        return {get16(p), get16(p + 2), get16(p + 4), Words == 4 ? get16(p + 6) : 0u};
    }
    static void write(uint8_t* p, const Pixel& c)
    {
        put16(p, c.b);
        put16(p + 2, c.g);
        put16(p + 4, c.r);
        if constexpr (Words == 4)
            put16(p + 6, c.x);
    }
};
using Rgb161616 = WordChannels<3>;
using Rgb16161616 = WordChannels<4>;

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

template <class Rule>
void line(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t a)
{
    eachPixel<Rule>(src, dst, n, a);
}

} // namespace vyr::convert::fmt
