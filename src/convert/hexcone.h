// The hexcone that HSV and HSI share: hue and saturation of an RGB colour, by the
// double-precision rule of the scalar paths and by the integer rule of the vector paths.
// Hue runs once round the circle in 255 steps: red 0, green 85, blue 170.
#pragma once

#include <cstddef>
#include <cstdint>

#include "convert/float_env.h"
#include "convert/kernels/hexcone_kernels.h"

namespace vyr::convert::hexcone {

// ---- Scalar rule, double precision --------------------------------------------------------------

// A value on the 0..1 scale as a byte: x * 255 + 0.5, limited to 0..255, truncated.
inline uint8_t byteOf(double x)
{
    double v = x * 255.0 + 0.5;
    if (v > 255.0)
        v = 255.0;
    if (v < 0.0)
        v = 0.0;
    return static_cast<uint8_t>(v);
}

struct Hexcone {
    double hue;        // 0..1, a full turn
    double saturation; // 0..1
    double max;        // the largest channel, 0..1
};

// r, g, b on the 0..1 scale. Where two channels share the maximum every sector rule gives the
// same hue; the first one in the order red, green, blue is taken.
inline Hexcone hexconeOf(double r, double g, double b)
{
    double max = r, min = r;
    if (g > max)
        max = g;
    if (b > max)
        max = b;
    if (g < min)
        min = g;
    if (b < min)
        min = b;
    Hexcone out{0.0, 0.0, max};
    if (max > 0.0) {
        const double d = max - min;
        out.saturation = d / max;
        if (out.saturation > 0.0) {
            const double rc = (max - r) / d;
            const double gc = (max - g) / d;
            const double bc = (max - b) / d;
            double h;
            if (r == max)
                h = bc - gc;
            else if (g == max)
                h = 2.0 + rc - bc;
            else
                h = 4.0 + gc - rc;
            h = h / 6.0;
            if (h < 0.0)
                h = h + 1.0;
            out.hue = h;
        }
    }
    return out;
}

// The channels of an RGB8888 pixel (bytes B, G, R, X) on the 0..1 scale.
struct UnitRgb {
    double r, g, b;
};

inline UnitRgb unitRgbOf(const uint8_t* pixel)
{
    return {pixel[2] / 255.0, pixel[1] / 255.0, pixel[0] / 255.0};
}

// RGB8888 to bytes (first, S, H, 0): the hexcone's saturation and hue, and First::of(c, hexcone).
template <class First>
void fromRgbScalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding;
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const UnitRgb c = unitRgbOf(src);
        const Hexcone hc = hexconeOf(c.r, c.g, c.b);
        dst[0] = byteOf(First::of(c, hc));
        dst[1] = byteOf(hc.saturation);
        dst[2] = byteOf(hc.hue);
        dst[3] = 0;
    }
}

// The sector of hue h (0..1) in sixths, 0..5, and the fraction of it passed; h = 1 is the end of
// the last sector (red again).
struct Sector {
    int index;
    double fraction;
};

inline Sector sectorOf(double h)
{
    const double h6 = 6.0 * h;
    const int index = static_cast<int>(h6);
    if (index == 6)
        return {5, 1.0};
    return {index, h6 - index};
}

// The channels of a sector's colour: the largest channel top, the smallest bottom, and the third
// rising through the even sectors and falling through the odd ones.
template <class T>
struct SectorRgb {
    T r, g, b;
};

template <class T>
inline SectorRgb<T> sectorRgb(int sector, T top, T rising, T falling, T bottom)
{
    switch (sector) {
    case 0: return {top, rising, bottom};
    case 1: return {falling, top, bottom};
    case 2: return {bottom, top, rising};
    case 3: return {bottom, falling, top};
    case 4: return {rising, bottom, top};
    default: return {top, bottom, falling};
    }
}

// Bytes (first, S, H, X) to RGB8888 by the double-precision rule: Colour::of(h, s, first) on the 0..1
// scale.
template <class Colour>
void toRgbScalar(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    const DoubleRounding rounding;
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const SectorRgb<double> c = Colour::of(src[2] / 255.0, src[1] / 255.0, src[0] / 255.0);
        dst[0] = byteOf(c.b);
        dst[1] = byteOf(c.g);
        dst[2] = byteOf(c.r);
        dst[3] = 0;
    }
}

// ---- Vector rule, integers ----------------------------------------------------------------------

// x times a table entry, rounded: (x * w + 2^21) >> 22 with w rebuilt from its two halves.
inline uint32_t timesReciprocal(uint32_t x, uint32_t entry)
{
    const uint32_t w = (entry & 0xFFFFu) * 32768u + (entry >> 16);
    return (x * w + (1u << 21)) >> 22;
}

// The signed 16 x 16-bit multiply that keeps the high 16 bits, by 21846 (about a third).
inline int32_t timesThird(int32_t x) { return (x * 21846) >> 16; }

struct HueSaturationBytes {
    uint8_t hue, saturation;
};

// Hue sector by the first channel equal to the maximum in the order R, G, B; the hue is
// (Q + offset) / 6 rounded, taken modulo 256, so reds towards yellow come out one lower than a
// true division would give, and greys as 255.
inline HueSaturationBytes integerHueSaturation(int32_t r, int32_t g, int32_t b)
{
    const uint32_t* table = kernels::kHexconeReciprocals.entry;
    int32_t max = r > g ? r : g;
    max = max > b ? max : b;
    int32_t min = r < g ? r : g;
    min = min < b ? min : b;
    const int32_t d = max - min;
    const uint32_t s = timesReciprocal(uint32_t(d), table[max]);

    int32_t n, offset;
    if (r == max) {
        n = g - b;
        offset = 1530;
    } else if (g == max) {
        n = b - r;
        offset = 510;
    } else {
        n = r - g;
        offset = 1020;
    }
    const int32_t q = int32_t(timesReciprocal(uint32_t(n < 0 ? -n : n), table[d]));
    const int32_t x = (n < 0 ? -q : q) + offset;
    const int32_t h = ((timesThird(x) + 1) >> 1) & 255;
    return {uint8_t(h), uint8_t(s)};
}

// RGB8888 to bytes (first, S, H, 0) by the integer rule, the first byte First::of(b, g, r).
template <class First>
void rgbToHexconeVector(const uint8_t* src, uint8_t* dst, uint32_t n, uint32_t)
{
    for (uint32_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const HueSaturationBytes hs = integerHueSaturation(src[2], src[1], src[0]);
        dst[0] = First::of(src[0], src[1], src[2]);
        dst[1] = hs.saturation;
        dst[2] = hs.hue;
        dst[3] = 0;
    }
}

} // namespace vyr::convert::hexcone
