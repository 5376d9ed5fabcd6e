// Grey and signed integer converters: depth and sign changes, grey expansions, 8-bit luminance.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "convert/mono.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

uint8_t grey16(In s, uint32_t a) { return uint8_t(loadLe(s, 2) >> (8 - a)); }
void mono16ToMono8(In s, Out d, uint32_t a) { d[0] = grey16(s, a); }
void mono32ToMono8(In s, Out d, uint32_t a) { d[0] = uint8_t(loadLe(s, 4) >> (24 - a)); }
void mono8ToMono16(In s, Out d, uint32_t a) { storeLe(d, 2, uint32_t(s[0]) << (8 - a)); }
void mono8ToInt8(In s, Out d, uint32_t) { d[0] = uint8_t((s[0] + 128) % 256); }
void int8ToMono8(In s, Out d, uint32_t) { d[0] = uint8_t((s[0] + 256 - 128) % 256); }
void mono8ToInt16(In s, Out d, uint32_t a) { storeLe(d, 2, (uint32_t(s[0]) << (8 - a)) + 0x8000); }

void int16ToMono8(In s, Out d, uint32_t a)
{
    const int v = int16_t(loadLe(s, 2));
    if (a == 0) {
        d[0] = uint8_t(int(std::floor(v / 256.0)) + 128);
        return;
    }
    const int q = v / (1 << (8 - a)); // C++ division truncates toward zero
    d[0] = uint8_t(std::clamp(q + 128, 0, 255));
}

// A field value in every field (uncut: it spills into the next); RGB565's red and blue drop green's low bit.
void setRgb5551(uint8_t* d, uint32_t c) { storeLe(d, 2, c << 10 | c << 5 | c); }
void setRgb565(uint8_t* d, uint32_t g) { storeLe(d, 2, (g >> 1) << 11 | g << 5 | g >> 1); }

void mono16ToRgb5551(In s, Out d, uint32_t a) { setRgb5551(d, (loadLe(s, 2) >> (11 - a)) & 31); }
void mono16ToRgb565(In s, Out d, uint32_t a) { setRgb565(d, (loadLe(s, 2) >> (10 - a)) & 63); }
void mono16ToRgb888(In s, Out d, uint32_t a) { d[0] = d[1] = d[2] = grey16(s, a); }
void mono16ToRgb8888(In s, Out d, uint32_t a) { d[0] = d[1] = d[2] = d[3] = grey16(s, a); }
void mono8ToRgb5551(In s, Out d, uint32_t a) { setRgb5551(d, s[0] >> (3 - a)); }
void mono8ToRgb565(In s, Out d, uint32_t a) { setRgb565(d, s[0] >> (2 - a)); }
// The vector rule: green is the 5-bit value doubled, so its lowest bit is 0.
void mono8ToRgb565Vector(In s, Out d, uint32_t) { setRgb565(d, (s[0] >> 3) << 1); }
void mono8ToRgb8888(In s, Out d, uint32_t) { d[0] = d[1] = d[2] = d[3] = s[0]; }
void mono8ToRgb888(In s, Out d, uint32_t) { d[0] = d[1] = d[2] = s[0]; }

void rgbToMono8(In s, Out d, uint32_t) { d[0] = uint8_t((117 * s[0] + 601 * s[1] + 306 * s[2]) >> 10); }

constexpr auto kMmx = VectorWhen::Mmx, kMmxNoUnusedBits = VectorWhen::MmxNoUnusedBits;

const LineCase kCases[] = {
    {CONVERTER(MONO16toMONO8, kMono16ToMono8), perPixel<mono16ToMono8, 2, 1>, 2, 8, kMmx},
    {CONVERTER(MONO32toMONO8, kMono32ToMono8), perPixel<mono32ToMono8, 4, 1>, 4, 24},
    {CONVERTER(MONO8toMONO16, kMono8ToMono16), perPixel<mono8ToMono16, 1, 2>, 1, 8},
    {CONVERTER(MONO8toINT8, kMono8ToInt8), perPixel<mono8ToInt8, 1, 1>},
    {CONVERTER(INT8toMONO8, kInt8ToMono8), perPixel<int8ToMono8, 1, 1>},
    {CONVERTER(MONO8toINT16, kMono8ToInt16), perPixel<mono8ToInt16, 1, 2>, 1, 8},
    {CONVERTER(INT16toMONO8, kInt16ToMono8), perPixel<int16ToMono8, 2, 1>, 2, 8},
    {CONVERTER(MONO16toRGB5551, kMono16ToRgb5551), perPixel<mono16ToRgb5551, 2, 2>, 2, 11},
    {CONVERTER(MONO16toRGB565, kMono16ToRgb565), perPixel<mono16ToRgb565, 2, 2>, 2, 10},
    {CONVERTER(MONO16toRGB8888, kMono16ToRgb8888), perPixel<mono16ToRgb8888, 2, 4>, 2, 8},
    {CONVERTER(MONO16toRGB888, kMono16ToRgb888), perPixel<mono16ToRgb888, 2, 3>, 2, 8},
    {CONVERTER(MONO8toRGB5551, kMono8ToRgb5551), perPixel<mono8ToRgb5551, 1, 2>, 1, 3, kMmxNoUnusedBits},
    {CONVERTER(MONO8toRGB565, kMono8ToRgb565), perPixel<mono8ToRgb565, 1, 2>, 1, 2, kMmxNoUnusedBits,
     everyPixel<mono8ToRgb565Vector, 1, 2>},
    {CONVERTER(MONO8toRGB8888, kMono8ToRgb8888), perPixel<mono8ToRgb8888, 1, 4>, 1, kAnyUnusedBits, kMmx},
    {CONVERTER(MONO8toRGB888, kMono8ToRgb888), perPixel<mono8ToRgb888, 1, 3>, 1, kAnyUnusedBits, kMmx},
    {CONVERTER(RGB888toMONO8, kRgb888ToMono8), perPixel<rgbToMono8, 3, 1>},
    {CONVERTER(RGB8888toMONO8, kRgb8888ToMono8), perPixel<rgbToMono8, 4, 1>, 1, kAnyUnusedBits, kMmx},
};

// Where a sweep cannot tell: INT16's rounding and saturation, and the vector path's own RGB565 green.
const std::vector<Telling> kTelling = {
    // -32768, 0, 32767, -1; with 1 unused bit -1 truncates toward 0
    {"INT16toMONO8", 0, {0x00, 0x80, 0x00, 0x00, 0xFF, 0x7F, 0xFF, 0xFF}, {0, 128, 255, 127}},
    {"INT16toMONO8", 1, {0xFF, 0xFF}, {128}},
    // 2047, 2048 saturates, -2048, -3000 saturates
    {"INT16toMONO8", 4, {0xFF, 0x07, 0x00, 0x08, 0x00, 0xF8, 0x48, 0xF4}, {255, 255, 0, 0}},
    // The vector path cuts green from the doubled byte: grey with bit 2 set loses green bit 0.
    {"MONO8toRGB565",
     0,
     {4, 255, 8},
     {0x20, 0x00, 0xFF, 0xFF, 0x41, 0x08},
     {0x00, 0x00, 0xDF, 0xFF, 0x41, 0x08}},
};

// Sources of up to 24 bits take every value, at every unusedBits the converter takes.
VYR_LINE_FAMILY(Mono, kCases, atEveryIsaOfSmallSources(kCases), kTelling, kCountsThroughUnits);

} // namespace
} // namespace vyr::test
