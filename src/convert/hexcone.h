// The hexcone that HSV and HSI share: hue and saturation of an RGB colour, by the
// double-precision rule of the scalar paths and by the integer rule of the vector paths.
// Hue runs once round the circle in 255 steps: red 0, green 85, blue 170.
#pragma once

#include <cstdint>

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

} // namespace vyr::convert::hexcone
