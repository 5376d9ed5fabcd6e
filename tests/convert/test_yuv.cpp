// Packed YUV to and from MONO, RGB and YUV 4:4:4: the integer equations on every path and every input.
#include <gtest/gtest.h>

#include "convert/yuv422.h"
#include "convert/yuv444.h"
#include "convert/yuv_encode.h"
#include "line_harness.h"

namespace vyr::test {
namespace {

// ---- To RGB, MONO and YUV --------------------------------------------------------------------------

// B = Y + 1.7790 u, G = Y - 0.3455 u - 0.7169 v, R = Y + 1.4075 v in units of 1/16384, rounded down.
void putBgr(uint8_t* p, int y, int u, int v)
{
    const int du = u - 128, dv = v - 128;
    p[0] = clampByte(floorDiv(16384 * y + 29147 * du, 16384));
    p[1] = clampByte(floorDiv(16384 * y - 5661 * du - 11746 * dv, 16384));
    p[2] = clampByte(floorDiv(16384 * y + 23060 * dv, 16384));
}

// A unit of `pixels` pixels sharing one U and V: its size and where it keeps each sample.
struct Layout {
    uint32_t pixels, bytes;
    int u, v, y[4];
};
constexpr Layout kUyvy{2, 4, 0, 2, {1, 3}}, kYuy2{2, 4, 1, 3, {0, 2}}, kYvyu{2, 4, 3, 1, {0, 2}};
constexpr Layout kY411{4, 6, 0, 3, {1, 2, 4, 5}}, kIyu2{1, 3, 0, 2, {1}}, kYuv{1, 4, 1, 0, {2}};

enum class Out { Mono8, Rgb8888, Rgb888, Yuv };
constexpr uint32_t outBytes(Out o) { return o == Out::Mono8 ? 1 : o == Out::Rgb888 ? 3 : 4; }

// MONO8 takes every pixel's luma, others whole units only; the vector rules zero a fourth byte (!Keep).
template <const Layout& L, Out O, bool Keep = true>
void refDecode(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    const uint32_t pixels = O == Out::Mono8 ? count : count - count % L.pixels;
    for (uint32_t i = 0; i < pixels; ++i) {
        const uint8_t* unit = src + L.bytes * (i / L.pixels);
        const uint8_t y = unit[L.y[i % L.pixels]], u = unit[L.u], v = unit[L.v];
        uint8_t* p = dst + outBytes(O) * i;
        if (O == Out::Mono8)
            p[0] = y;
        else if (O == Out::Yuv)
            p[0] = v, p[1] = u, p[2] = y;
        else
            putBgr(p, y, u, v);
        if (outBytes(O) == 4 && !Keep)
            p[3] = 0;
    }
}

// Sweep input n is Y = n + 37 U, U = n >> 8, V = n >> 16: for every U and V all 256 lumas, turned
// with U so that each meets every position in a register. A unit takes its first pixel's U and V.
template <const Layout& L>
void putTriple(uint8_t* src, uint32_t i, uint32_t n)
{
    uint8_t* unit = src + L.bytes * (i / L.pixels);
    unit[L.y[i % L.pixels]] = uint8_t(n + 37 * (n >> 8));
    if (i % L.pixels == 0)
        unit[L.u] = uint8_t(n >> 8), unit[L.v] = uint8_t(n >> 16);
}

#define DECODER(Name, L, O, paths, when)                                                                     \
    {                                                                                                        \
        CONVERTER(Name, paths), {refDecode<L, Out::O>, {L.bytes, L.pixels}, {outBytes(Out::O)}}, 0,          \
            kAnyUnusedBits, VectorWhen::when, refDecode<L, Out::O, false>, putTriple<L>                      \
    }

// ---- From RGB and MONO ------------------------------------------------------------------------------

// BT.601 weights in units of 1/1024, rounded down: Y and the colour differences of U and V.
struct RefYuv {
    int y, u, v;
};
RefYuv refYuv(const uint8_t* bgr)
{
    const int b = bgr[0], g = bgr[1], r = bgr[2];
    return {floorDiv(306 * r + 601 * g + 117 * b, 1024), floorDiv(512 * b - 339 * g - 173 * r, 1024),
            floorDiv(512 * r - 429 * g - 83 * b, 1024)};
}
int refScalarChroma(int c) { return 128 + c * 229 / 255; } // C++ division truncates towards zero
int refVectorChroma(int c) { return 128 + floorDiv(c * 29426, 32768); }

// Byte b of cell k is written when pixel 2k + b / 2 is in the run; U and V come from the cell's first pixel.
template <size_t SrcBpp, int Y0, int U, int Y1, int V>
void refRgbToCells(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t byte = 0; byte < 2 * count; ++byte) {
        const int at = int(byte % 4);
        const uint8_t* p = src + SrcBpp * 2 * (byte / 4);
        const RefYuv first = refYuv(p);
        dst[byte] = uint8_t(at == Y0   ? first.y
                            : at == Y1 ? refYuv(p + SrcBpp).y
                            : at == U  ? refScalarChroma(first.u)
                                       : refScalarChroma(first.v));
    }
}

template <bool Vector>
void refRgb8888ToYuv(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    auto chroma = Vector ? refVectorChroma : refScalarChroma;
    for (uint32_t i = 0; i < count; ++i) {
        const RefYuv p = refYuv(src + 4 * i);
        storeLe(dst + 4 * i, 4, uint32_t(chroma(p.v) | chroma(p.u) << 8 | p.y << 16));
    }
}

void refMono8ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[2 * i] = src[i], dst[2 * i + 1] = 128;
}

// An odd last pixel is dropped; beyond 8 unused bits no significant bit reaches Y.
void refMono16ToYuy2(const uint8_t* src, uint8_t* dst, uint32_t count, uint32_t unusedBits)
{
    for (uint32_t i = 0; i < (count & ~1u); ++i) {
        const unsigned p = src[2 * i] + 256u * src[2 * i + 1];
        dst[2 * i] = unusedBits > 8 ? 0 : uint8_t((p / (1u << (8 - unusedBits))) % 256);
        dst[2 * i + 1] = 128;
    }
}

const LineCase kCases[] = {
    DECODER(UYVYtoMONO8, kUyvy, Mono8, kUyvyToMono8, Mmx),
    DECODER(UYVYtoRGB8888, kUyvy, Rgb8888, kUyvyToRgb8888, Mmx),
    DECODER(UYVYtoRGB888, kUyvy, Rgb888, kUyvyToRgb888, Never),
    DECODER(UYVYtoYUV, kUyvy, Yuv, kUyvyToYuv, Never),
    DECODER(YUY2toMONO8, kYuy2, Mono8, kYuy2ToMono8, Mmx),
    DECODER(YUY2toRGB8888, kYuy2, Rgb8888, kYuy2ToRgb8888, Mmx),
    DECODER(YUY2toRGB888, kYuy2, Rgb888, kYuy2ToRgb888, Never),
    DECODER(YUY2toYUV, kYuy2, Yuv, kYuy2ToYuv, Mmx),
    DECODER(YVYUtoRGB8888, kYvyu, Rgb8888, kYvyuToRgb8888, Never),
    DECODER(YVYUtoRGB888, kYvyu, Rgb888, kYvyuToRgb888, Never),
    DECODER(YVYUtoYUV, kYvyu, Yuv, kYvyuToYuv, Never),
    DECODER(Y411toMONO8, kY411, Mono8, kY411ToMono8, Never),
    DECODER(Y411toRGB8888, kY411, Rgb8888, kY411ToRgb8888, MmxAndSse),
    DECODER(Y411toRGB888, kY411, Rgb888, kY411ToRgb888, Never),
    DECODER(Y411toYUV, kY411, Yuv, kY411ToYuv, Never),
    DECODER(IYU2toMONO8, kIyu2, Mono8, kIyu2ToMono8, Never),
    DECODER(IYU2toRGB8888, kIyu2, Rgb8888, kIyu2ToRgb8888, Never),
    DECODER(IYU2toRGB888, kIyu2, Rgb888, kIyu2ToRgb888, Never),
    DECODER(IYU2toYUV, kIyu2, Yuv, kIyu2ToYuv, Never),
    DECODER(YUVtoMONO8, kYuv, Mono8, kYuvToMono8, Never),
    DECODER(YUVtoRGB8888, kYuv, Rgb8888, kYuvToRgb8888, Mmx),
    // From RGB and MONO.
    {CONVERTER(RGB888toUYVY, kRgb888ToUyvy), {refRgbToCells<3, 1, 0, 3, 2>, {3}, {2}}},
    {CONVERTER(RGB888toYUY2, kRgb888ToYuy2), {refRgbToCells<3, 0, 1, 2, 3>, {3}, {2}}},
    {CONVERTER(RGB888toYVYU, kRgb888ToYvyu), {refRgbToCells<3, 0, 3, 2, 1>, {3}, {2}}},
    {CONVERTER(RGB8888toUYVY, kRgb8888ToUyvy), {refRgbToCells<4, 1, 0, 3, 2>, {4}, {2}}},
    {CONVERTER(RGB8888toYUY2, kRgb8888ToYuy2), {refRgbToCells<4, 0, 1, 2, 3>, {4}, {2}}},
    {CONVERTER(RGB8888toYUV, kRgb8888ToYuv),
     {refRgb8888ToYuv<false>, {4}, {4}},
     0,
     kAnyUnusedBits,
     VectorWhen::Mmx,
     refRgb8888ToYuv<true>},
    {CONVERTER(MONO8toYUY2, kMono8ToYuy2), {refMono8ToYuy2, {1}, {2}}, 0, kAnyUnusedBits, VectorWhen::Mmx},
    // unusedBits 0..8, and 9..16 with every Y 0
    {CONVERTER(MONO16toYUY2, kMono16ToYuy2), {refMono16ToYuy2, {2}, {2}}, 2, 16, VectorWhen::Mmx},
};

// Clamps both ways, no range expansion, fractions discarded; the scalar rule keeps the fourth byte.
// In Y, U, V: 0 128 128; 16 128 128; 128 255 128; 128 0 0; 81 90 240 (the bytes V, U, Y).
// Then white and green: the vector rule's chroma rounds down. Out the bytes V, U, Y.
const std::vector<Telling> kTelling = {
    {"YUVtoRGB8888",
     0,
     {128, 128, 0, 0x5A, 128, 128, 16, 0x5A, 128, 255, 128, 0x5A, 0, 0, 128, 0x5A, 240, 90, 81, 0x5A},
     {0, 0, 0, 0xAA, 16, 16, 16, 0xAA, 255, 84, 128, 0xAA, 0, 255, 0, 0xAA, 13, 13, 238, 0xAA},
     {0, 0, 0, 0, 16, 16, 16, 0, 255, 84, 128, 0, 0, 255, 0, 0, 13, 13, 238, 0}},
    {"RGB8888toYUV",
     0,
     {255, 255, 255, 0x5A, 0, 255, 0, 0x5A},
     {128, 128, 255, 0, 32, 52, 149, 0},
     {128, 128, 255, 0, 31, 51, 149, 0}},
};

// The kernels convert up to four 16-byte steps at a time, then single steps, then a tail: counts through
// all of them. Every input: triples, RGB colours (a cell's second pixel adds only its luma), MONO samples.
VYR_LINE_FAMILY(Yuv, kCases, atEveryIsa(kCases), kTelling, kCountsThroughUnits);

} // namespace
} // namespace vyr::test
