// Packed RGB converters: channel moves by shifts alone, and the 16-bit luminances.
#include <gtest/gtest.h>

#include "convert/packed_rgb.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

struct Bgr {
    uint32_t b, g, r;
};

// Each channel in `bytes` little-endian bytes, blue first.
void put(Out d, const Bgr& c, size_t bytes = 1)
{
    storeLe(d, bytes, c.b);
    storeLe(d + bytes, bytes, c.g);
    storeLe(d + 2 * bytes, bytes, c.r);
}
void put101010(Out d, const Bgr& c) { storeLe(d, 4, c.r << 20 | c.g << 10 | c.b); }
Bgr words(In s) { return {loadLe(s, 2), loadLe(s + 2, 2), loadLe(s + 4, 2)}; }
// Blue in the low bits, then green and red, each `width` bits wide, cut by `mask`.
Bgr fields(uint32_t w, unsigned width, unsigned mask)
{
    return {w & mask, (w >> width) & mask, (w >> 2 * width) & mask};
}
Bgr fields101010(In s) { return fields(loadLe(s, 4), 10, 0x3FF); }
Bgr shifted(const Bgr& c, int right) // a negative count shifts left
{
    if (right < 0)
        return {c.b << -right, c.g << -right, c.r << -right};
    return {c.b >> right, c.g >> right, c.r >> right};
}

// The first three bytes, in their order or with red and blue swapped; a fourth byte is kept.
void keepOrder(In s, Out d, uint32_t) { put(d, {s[0], s[1], s[2]}); }
void swapRedBlue(In s, Out d, uint32_t) { put(d, {s[2], s[1], s[0]}); }

void rgb888ToRgb5551(In s, Out d, uint32_t)
{
    storeLe(d, 2, (s[2] >> 3) << 10 | (s[1] >> 3) << 5 | s[0] >> 3);
}
void rgb888ToRgb565(In s, Out d, uint32_t a)
{
    storeLe(d, 2, (s[2] >> (3 - a)) << 11 | (s[1] >> (2 - a)) << 5 | (s[0] >> (3 - a)));
}
void rgb5551ToRgb888(In s, Out d, uint32_t a) { put(d, shifted(fields(loadLe(s, 2), 5, 31), int(a) - 3)); }
void rgb565ToRgb888(In s, Out d, uint32_t a)
{
    const uint32_t w = loadLe(s, 2);
    put(d, {(w & 31) << (3 - a), ((w >> 5) & 63) << (2 - a), (w >> 11) << (3 - a)});
}

// A three-channel rule, then a fourth channel of `Bytes` bytes written 0 (as the vector rules do).
template <PixelRule R, size_t Bytes>
void zeroFourth(In s, Out d, uint32_t a)
{
    R(s, d, a);
    storeLe(d + 3 * Bytes, Bytes, 0);
}

// The shift-then-mask form of the 8-bit cut, against the field form of rgb101010ToRgb888.
void rgb101010Cut(In s, Out d, uint32_t a) { put(d, fields(loadLe(s, 4) >> (2 - a), 10, 255)); }
void rgb101010ToRgb888(In s, Out d, uint32_t a) { put(d, shifted(fields101010(s), 2 - a)); }
void rgb101010ToRgb161616(In s, Out d, uint32_t a) { put(d, shifted(fields101010(s), int(a) - 6), 2); }

// The mask form of the rule.
void rgb161616ToRgb101010(In s, Out d, uint32_t a)
{
    const uint32_t m = 0xFFC0u >> a;
    const Bgr c = words(s);
    put101010(d, shifted({c.b & m, c.g & m, c.r & m}, 6 - a));
}
// The shift-then-mask form.
void rgb16161616ToRgb101010(In s, Out d, uint32_t a)
{
    const Bgr c = shifted(words(s), 6 - a);
    put101010(d, {c.b & 0x3FF, c.g & 0x3FF, c.r & 0x3FF});
}

void rgb161616ToRgb888(In s, Out d, uint32_t a) { put(d, shifted(words(s), 8 - a)); }
void rgb16161616ToRgb8888(In s, Out d, uint32_t a)
{
    rgb161616ToRgb888(s, d, a);
    d[3] = uint8_t(loadLe(s + 6, 2) >> (8 - a));
}

uint32_t luma16(const Bgr& c) { return (1868 * c.b + 9617 * c.g + 4899 * c.r) >> 14; }
void rgb16161616ToMono16(In s, Out d, uint32_t) { storeLe(d, 2, luma16(words(s))); }
void rgb101010ToMono16(In s, Out d, uint32_t a) { storeLe(d, 2, luma16(fields101010(s)) << (6 - a)); }

constexpr auto kAny = kAnyUnusedBits;
constexpr auto kMmx = VectorWhen::Mmx;

const LineCase kCases[] = {
    {CONVERTER(RGB888toRGB8888, kRgb888ToRgb8888), perPixel<keepOrder, 3, 4>, 1, kAny, kMmx,
     everyPixel<zeroFourth<keepOrder, 1>, 3, 4>},
    {CONVERTER(RGBR888toRGB8888, kRgbr888ToRgb8888), perPixel<swapRedBlue, 3, 4>, 1, kAny, kMmx,
     everyPixel<zeroFourth<swapRedBlue, 1>, 3, 4>},
    {CONVERTER(RGBR888toRGB888, kRgbr888ToRgb888), perPixel<swapRedBlue, 3, 3>, 1, kAny, kMmx},
    {CONVERTER(RGB8888toRGB888, kRgb8888ToRgb888), perPixel<keepOrder, 4, 3>},
    {CONVERTER(RGB888toRGB5551, kRgb888ToRgb5551), perPixel<rgb888ToRgb5551, 3, 2>},
    {CONVERTER(RGB888toRGB565, kRgb888ToRgb565), perPixel<rgb888ToRgb565, 3, 2>, 1, 2},
    {CONVERTER(RGB5551toRGB888, kRgb5551ToRgb888), perPixel<rgb5551ToRgb888, 2, 3>, 2, 3},
    {CONVERTER(RGB565toRGB888, kRgb565ToRgb888), perPixel<rgb565ToRgb888, 2, 3>, 2, 2},
    {CONVERTER(RGB101010toRGB8888, kRgb101010ToRgb8888), perPixel<zeroFourth<rgb101010Cut, 1>, 4, 4>, 4, 2,
     VectorWhen::MmxNoUnusedBits},
    {CONVERTER(RGB101010toRGB888, kRgb101010ToRgb888), perPixel<rgb101010ToRgb888, 4, 3>, 4, 2},
    {CONVERTER(RGB101010toRGB161616, kRgb101010ToRgb161616), perPixel<rgb101010ToRgb161616, 4, 6>, 4, 6},
    {CONVERTER(RGB101010toRGB16161616, kRgb101010ToRgb16161616),
     perPixel<zeroFourth<rgb101010ToRgb161616, 2>, 4, 8>, 4, 6},
    {CONVERTER(RGB161616toRGB101010, kRgb161616ToRgb101010), perPixel<rgb161616ToRgb101010, 6, 4>, 2, 6},
    {CONVERTER(RGB16161616toRGB101010, kRgb16161616ToRgb101010), perPixel<rgb16161616ToRgb101010, 8, 4>, 2,
     6},
    {CONVERTER(RGB161616toRGB8888, kRgb161616ToRgb8888), perPixel<zeroFourth<rgb161616ToRgb888, 1>, 6, 4>, 2,
     8},
    {CONVERTER(RGB161616toRGB888, kRgb161616ToRgb888), perPixel<rgb161616ToRgb888, 6, 3>, 2, 8},
    {CONVERTER(RGB16161616toRGB8888, kRgb16161616ToRgb8888), perPixel<rgb16161616ToRgb8888, 8, 4>, 2, 8},
    {CONVERTER(RGB16161616toRGB888, kRgb16161616ToRgb888), perPixel<rgb161616ToRgb888, 8, 3>, 2, 8},
    {CONVERTER(RGB16161616toMONO16, kRgb16161616ToMono16), perPixel<rgb16161616ToMono16, 8, 2>, 2},
    {CONVERTER(RGB101010toMONO16, kRgb101010ToMono16), perPixel<rgb101010ToMono16, 4, 2>, 4, 6},
};

// The fourth byte of RGB8888: kept by the scalar paths, written 0 by the vector paths.
const std::vector<Telling> kTelling = {
    {"RGB888toRGB8888", 0, {1, 2, 3}, {1, 2, 3, 0xAA}, {1, 2, 3, 0}},
    {"RGBR888toRGB8888", 0, {1, 2, 3}, {3, 2, 1, 0xAA}, {3, 2, 1, 0}},
};

// Sources of up to 24 bits take every value, at every unusedBits the converter takes.
VYR_LINE_FAMILY(PackedRgb, kCases, atEveryIsaOfSmallSources(kCases), kTelling, kCountsThroughUnits);

} // namespace
} // namespace vyr::test
